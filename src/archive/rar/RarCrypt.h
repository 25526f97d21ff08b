#pragma once
// CRC32 and the RAR 1.3, 1.5 and 2.0 ciphers for the packed data of encrypted files.
#include <cstddef>
#include <cstdint>
#include <string>

namespace km::rar {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size); // pre-/post-inverted by caller
uint32_t Crc32Of(const uint8_t* data, size_t size);

// RAR 1.3 and 1.5 stream ciphers; Decrypt works on any byte count.
class StreamCipher {
public:
    StreamCipher(int unpackVersion, const std::string& password);
    void Decrypt(uint8_t* data, size_t size);

private:
    bool v13_;
    uint8_t key13_[3] = {};
    uint16_t key15_[4] = {};
};

} // namespace km::rar
