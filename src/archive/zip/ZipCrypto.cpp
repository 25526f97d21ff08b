#include "archive/zip/ZipCrypto.h"

#include "archive/zip/Crc32.h"

namespace km::zip {

void ZipCrypto::Init(std::string_view password) {
    key0_ = 0x12345678u;
    key1_ = 0x23456789u;
    key2_ = 0x34567890u;
    for (char c : password)
        update(static_cast<uint8_t>(c));
}

uint8_t ZipCrypto::streamByte() const {
    const uint32_t temp = (key2_ | 2) & 0xffff;
    return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

void ZipCrypto::update(uint8_t plain) {
    key0_ = Crc32Step(key0_, plain);
    key1_ = (key1_ + (key0_ & 0xff)) * 134775813u + 1;
    key2_ = Crc32Step(key2_, static_cast<uint8_t>(key1_ >> 24));
}

uint8_t ZipCrypto::DecryptByte(uint8_t cipher) {
    const uint8_t plain = cipher ^ streamByte();
    update(plain);
    return plain;
}

uint8_t ZipCrypto::EncryptByte(uint8_t plain) {
    const uint8_t cipher = plain ^ streamByte();
    update(plain);
    return cipher;
}

void ZipCrypto::Decrypt(uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i)
        data[i] = DecryptByte(data[i]);
}

bool ZipCrypto::CheckHeader(uint8_t* header, uint8_t check) {
    Decrypt(header, kHeaderSize);
    return header[kHeaderSize - 1] == check;
}

} // namespace km::zip
