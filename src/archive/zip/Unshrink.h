#pragma once
// Method 1, shrunk: LZW with 9 to 13 bit codes that the compressor widens (256, 1) and
// partially clears (256, 2), as the ZIP application note describes.
#include "archive/zip/ZipStreams.h"

namespace km::zip {

DecodeStatus Unshrink(ZipByteSource& in, ZipByteSink& out, uint64_t size);

} // namespace km::zip
