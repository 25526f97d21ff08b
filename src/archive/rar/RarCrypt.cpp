#include "archive/rar/RarCrypt.h"

namespace km::rar {

namespace {

struct CrcTable {
    uint32_t t[256];
    constexpr CrcTable() : t() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[i] = c;
        }
    }
};
constexpr CrcTable kCrc;

uint16_t Ror16(uint16_t v) {
    return static_cast<uint16_t>((v >> 1) | (v << 15));
}

} // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        crc = kCrc.t[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

uint32_t Crc32Of(const uint8_t* data, size_t size) {
    return ~Crc32(0xFFFFFFFFu, data, size);
}

StreamCipher::StreamCipher(int unpackVersion, const std::string& password)
    : v13_(unpackVersion < 15) {
    const auto* p = reinterpret_cast<const uint8_t*>(password.data());
    if (v13_) {
        for (size_t i = 0; i < password.size(); ++i) {
            key13_[0] = static_cast<uint8_t>(key13_[0] + p[i]);
            key13_[1] = static_cast<uint8_t>(key13_[1] ^ p[i]);
            key13_[2] = static_cast<uint8_t>(key13_[2] + p[i]);
            key13_[2] = static_cast<uint8_t>((key13_[2] << 1) | (key13_[2] >> 7));
        }
        return;
    }
    const uint32_t crc = Crc32(0xFFFFFFFFu, p, password.size());
    key15_[0] = static_cast<uint16_t>(crc);
    key15_[1] = static_cast<uint16_t>(crc >> 16);
    for (size_t i = 0; i < password.size(); ++i) {
        const uint8_t c = p[i];
        key15_[2] = static_cast<uint16_t>(key15_[2] ^ c ^ kCrc.t[c]);
        key15_[3] = static_cast<uint16_t>(key15_[3] + c + (kCrc.t[c] >> 16));
    }
}

void StreamCipher::Decrypt(uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (v13_) {
            key13_[1] = static_cast<uint8_t>(key13_[1] + key13_[2]);
            key13_[0] = static_cast<uint8_t>(key13_[0] + key13_[1]);
            data[i] = static_cast<uint8_t>(data[i] - key13_[0]);
            continue;
        }
        key15_[0] = static_cast<uint16_t>(key15_[0] + 0x1234);
        const uint32_t c = kCrc.t[(key15_[0] & 0x1FE) >> 1];
        key15_[1] = static_cast<uint16_t>(key15_[1] ^ c);
        key15_[2] = static_cast<uint16_t>(key15_[2] - (c >> 16));
        key15_[0] = static_cast<uint16_t>(key15_[0] ^ key15_[2]);
        key15_[3] = static_cast<uint16_t>(Ror16(key15_[3]) ^ key15_[1]);
        key15_[3] = Ror16(key15_[3]);
        key15_[0] = static_cast<uint16_t>(key15_[0] ^ key15_[3]);
        data[i] ^= static_cast<uint8_t>(key15_[0] >> 8);
    }
}

} // namespace km::rar
