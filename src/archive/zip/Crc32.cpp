#include "archive/zip/Crc32.h"

#include <array>

namespace km::zip {

namespace {

// Table 0 is the classic byte table; table k advances a byte that sits k positions further back.
struct Tables {
    std::array<std::array<uint32_t, 256>, 8> t{};
    Tables() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
        }
    }
};

const Tables& tables() {
    static const Tables tab;
    return tab;
}

} // namespace

uint32_t Crc32Step(uint32_t reg, uint8_t byte) {
    return tables().t[0][(reg ^ byte) & 0xff] ^ (reg >> 8);
}

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t length) {
    const auto& t = tables().t;
    uint32_t c = ~crc;
    while (length >= 8) {
        const uint32_t lo =
            c ^ (static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
                 (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24));
        c = t[7][lo & 0xff] ^ t[6][(lo >> 8) & 0xff] ^ t[5][(lo >> 16) & 0xff] ^ t[4][lo >> 24] ^
            t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
        data += 8;
        length -= 8;
    }
    while (length--)
        c = t[0][(c ^ *data++) & 0xff] ^ (c >> 8);
    return ~c;
}

} // namespace km::zip
