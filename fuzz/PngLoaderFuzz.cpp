// PNG files from any source, decoded through libpng from memory: what the library hands
// back is copied inside the block, and a success always comes with a whole block of the size
// it reports.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Hostile sizes would only spend the run allocating.
    km::imagelib::detail::PixelLimit() = 4u << 20;
    km::imagelib::PixelBlock block;
    if (km::imagelib::DecodePng(data, size, block, {}) != km::imagelib::ErrNone)
        return 0;
    if (block.width <= 0 || block.height <= 0 ||
        block.pixels.size() !=
            static_cast<size_t>(block.width) * static_cast<size_t>(block.height) * 3)
        std::abort();
    return 0;
}
