#include "archive/cab/CabChecksum.h"

#include "archive/cab/CabBytes.h"

namespace km::cab {

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
    uint32_t sum = seed;
    size_t i = 0;
    for (; i + 4 <= size; i += 4)
        sum ^= Le32(data + i);
    uint32_t tail = 0;
    switch (size - i) {
    case 3:
        tail |= static_cast<uint32_t>(data[i++]) << 16;
        [[fallthrough]];
    case 2:
        tail |= static_cast<uint32_t>(data[i++]) << 8;
        [[fallthrough]];
    case 1:
        tail |= data[i];
        break;
    default:
        break;
    }
    return sum ^ tail;
}

uint32_t CabDataBlockChecksum(const uint8_t* header8, const uint8_t* payload, size_t size) {
    return CabChecksum(header8 + 4, 4, CabChecksum(payload, size, 0));
}

} // namespace km::cab
