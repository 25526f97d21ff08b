#pragma once
// Method 8: raw deflate (RFC 1951) through zlib.
#include "archive/zip/ZipStreams.h"

namespace km::zip {

// Inflates until the final block; more output than `expectedSize` counts as corrupt.
DecodeStatus InflateRaw(ZipByteSource& in, ZipByteSink& out, uint64_t expectedSize);

} // namespace km::zip
