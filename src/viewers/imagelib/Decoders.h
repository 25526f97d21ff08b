#pragma once
// The library's own decoders over bytes in memory, for the loaders, the tests
// and the fuzz targets. Each returns ErrNone and fills `out`, or an error code.
// `progress` may be empty.
#include "viewers/imagelib/ImageLib.h"

#include <cstddef>
#include <cstdint>

namespace km::imagelib {

// JPEG, PNG and TIFF go through libjpeg, libpng and libtiff.
int DecodeJpeg(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int DecodePng(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int DecodeTiff(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int DecodeBmp(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int DecodeGif(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int DecodeTga(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int DecodePcx(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress);
int RenderWmf(const uint8_t* data, size_t size, uint32_t background, PixelBlock& out,
              const ProgressFn& progress);

} // namespace km::imagelib
