// Quantum data blocks from any source, fed to the decoder as a folder feeds them; the first
// byte picks the window size.
#include "CabBlockFeed.h"
#include "archive/cab/QuantumDecoder.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    km::cab::QuantumDecoder decoder(10 + data[0] % 12);
    fuzzcab::FeedBlocks(decoder, data + 1, size - 1);
    return 0;
}
