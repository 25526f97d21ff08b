#include "archive/cab/HuffmanTable.h"

#include <algorithm>
#include <cstring>

namespace km::cab {

bool HuffmanTable::Build(const uint8_t* lengths, unsigned count) {
    lengths_.assign(lengths, lengths + count);
    symbols_.resize(1u << kMaxBits);
    empty_ = true;
    auto refuse = [this] {
        MarkInvalid(0);
        return false;
    };
    unsigned perLength[kMaxBits + 1] = {};
    for (unsigned i = 0; i < count; ++i) {
        if (lengths[i] > kMaxBits)
            return refuse();
        ++perLength[lengths[i]];
    }
    // Kraft sum in units of 2^-16: more than 1 means over-subscribed.
    uint32_t kraft = 0;
    for (int len = 1; len <= kMaxBits; ++len)
        kraft += perLength[len] << (kMaxBits - len);
    if (kraft > (1u << kMaxBits))
        return refuse();

    uint32_t code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
        for (unsigned sym = 0; sym < count; ++sym) {
            if (lengths[sym] != len)
                continue;
            const uint32_t first = code << (kMaxBits - len);
            const uint32_t span = 1u << (kMaxBits - len);
            std::fill(symbols_.begin() + first, symbols_.begin() + first + span,
                      static_cast<uint16_t>(sym));
            ++code;
            empty_ = false;
        }
        code <<= 1;
    }
    // Canonical codes fill the table from the front without gaps, up to the Kraft sum; only
    // the rest of an incomplete code is left to mark.
    MarkInvalid(kraft);
    return true;
}

void HuffmanTable::MarkInvalid(size_t from) {
    static_assert(kInvalid == 0xFFFF, "cleared bytewise");
    std::memset(symbols_.data() + from, 0xFF, (symbols_.size() - from) * sizeof(uint16_t));
}

} // namespace km::cab
