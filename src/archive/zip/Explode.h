#pragma once
// Method 6, imploded: Shannon-Fano coded literals, lengths and distances over a 4 or 8 KiB
// window, as the ZIP application note describes.
#include "archive/zip/ZipStreams.h"

namespace km::zip {

// eightKWindow: general-purpose flag bit 1; literalTree: flag bit 2.
DecodeStatus Explode(ZipByteSource& in, ZipByteSink& out, uint64_t size, bool eightKWindow,
                     bool literalTree);

} // namespace km::zip
