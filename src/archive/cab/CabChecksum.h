#pragma once
// The data block checksum: 32-bit little-endian words XORed together, the tail bytes folded
// in with the first of them highest.
#include <cstddef>
#include <cstdint>

namespace km::cab {

uint32_t CabChecksum(const uint8_t* data, size_t size, uint32_t seed);

// The checksum a data block header stores: over the payload, then over the two size fields.
uint32_t CabDataBlockChecksum(const uint8_t* header8, const uint8_t* payload, size_t size);

} // namespace km::cab
