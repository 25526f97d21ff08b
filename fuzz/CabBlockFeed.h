#pragma once
// Feeds a cabinet decoder raw data blocks as a folder does, one after the other until one is
// refused. Each block is a 2-byte input length and a 2-byte output length (little-endian; the
// output length taken modulo the largest block, 0 meaning the largest) and then the input.
// Input and output sit in buffers of exactly their size, so a step past either is caught.
#include "archive/cab/CabDecoder.h"
#include "archive/cab/CabFormat.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace fuzzcab {

inline void FeedBlocks(km::cab::CabDecoder& decoder, const uint8_t* data, size_t size) {
    constexpr size_t kMaxBlocks = 64;
    size_t at = 0;
    for (size_t block = 0; block < kMaxBlocks && size - at >= 4; ++block) {
        size_t inSize = static_cast<size_t>(data[at] | data[at + 1] << 8);
        size_t outSize =
            static_cast<size_t>(data[at + 2] | data[at + 3] << 8) % km::cab::kMaxBlockUncompressed;
        if (outSize == 0)
            outSize = km::cab::kMaxBlockUncompressed;
        at += 4;
        inSize = std::min(inSize, size - at);
        const std::vector<uint8_t> in(data + at, data + at + inSize);
        std::vector<uint8_t> out(outSize);
        at += inSize;
        if (!decoder.DecodeBlock(in.data(), in.size(), out.data(), out.size()))
            return;
    }
}

} // namespace fuzzcab
