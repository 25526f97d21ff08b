#pragma once
// Traditional PKWARE encryption: three 32-bit keys updated by every plain byte.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace km::zip {

class ZipCrypto {
public:
    static constexpr size_t kHeaderSize = 12;

    void Init(std::string_view password);
    uint8_t DecryptByte(uint8_t cipher);
    uint8_t EncryptByte(uint8_t plain);
    void Decrypt(uint8_t* data, size_t length);

    // Decrypts the 12-byte header in place; true when its last byte equals `check`
    // (the high byte of the CRC-32, or of the DOS time when the sizes follow the data).
    bool CheckHeader(uint8_t* header, uint8_t check);

private:
    uint8_t streamByte() const;
    void update(uint8_t plain);

    uint32_t key0_ = 0;
    uint32_t key1_ = 0;
    uint32_t key2_ = 0;
};

} // namespace km::zip
