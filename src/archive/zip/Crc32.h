#pragma once
// CRC-32 of ZIP entries: the reflected polynomial 0xEDB88320, computed eight bytes at a time.
#include <cstddef>
#include <cstdint>

namespace km::zip {

// Continues a CRC: start with 0, feed the data in any number of pieces.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t length);

// One byte of the raw (non-inverted) register step the traditional encryption uses.
uint32_t Crc32Step(uint32_t reg, uint8_t byte);

} // namespace km::zip
