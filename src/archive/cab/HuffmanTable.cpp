#include "archive/cab/HuffmanTable.h"

#include <algorithm>

namespace km::cab {

bool HuffmanTable::Build(const uint8_t* lengths, unsigned count) {
    lengths_.assign(lengths, lengths + count);
    std::fill(symbols_.begin(), symbols_.end(), kInvalid);
    empty_ = true;
    unsigned perLength[kMaxBits + 1] = {};
    for (unsigned i = 0; i < count; ++i) {
        if (lengths[i] > kMaxBits)
            return false;
        ++perLength[lengths[i]];
    }
    // Kraft sum in units of 2^-16: more than 1 means over-subscribed.
    uint32_t kraft = 0;
    for (int len = 1; len <= kMaxBits; ++len)
        kraft += perLength[len] << (kMaxBits - len);
    if (kraft > (1u << kMaxBits))
        return false;

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
    return true;
}

} // namespace km::cab
