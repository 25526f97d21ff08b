// MSZIP data blocks from any source, fed to the decoder as a folder feeds them.
#include "CabBlockFeed.h"
#include "archive/cab/MszipDecoder.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    km::cab::MszipDecoder decoder;
    if (decoder.ok())
        fuzzcab::FeedBlocks(decoder, data, size);
    return 0;
}
