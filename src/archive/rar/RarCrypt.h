#pragma once
// CRC32 and the RAR 1.3, 1.5 and 2.0 ciphers for the packed data of encrypted files.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace km::rar {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size); // pre-/post-inverted by caller
uint32_t Crc32Of(const uint8_t* data, size_t size);

// What decrypts the packed data of an encrypted file, in whole blocks.
class PackedCipher {
public:
    virtual ~PackedCipher() = default;
    // 1 for a stream cipher; `size` given to Decrypt is a multiple of it.
    virtual size_t BlockSize() const = 0;
    virtual void Decrypt(uint8_t* data, size_t size) = 0;
};

// The cipher of files packed by `unpackVersion` (1.3, 1.5 or 2.0).
std::unique_ptr<PackedCipher> MakePackedCipher(int unpackVersion, const std::string& password);

// RAR 1.3 and 1.5 stream ciphers; Decrypt works on any byte count.
class StreamCipher : public PackedCipher {
public:
    StreamCipher(int unpackVersion, const std::string& password);
    size_t BlockSize() const override { return 1; }
    void Decrypt(uint8_t* data, size_t size) override;

private:
    bool v13_;
    uint8_t key13_[3] = {};
    uint16_t key15_[4] = {};
};

// The RAR 2.0 cipher: 32 Feistel rounds over 16-byte blocks through a
// substitution table shuffled by the password, the keys changing with every
// block of ciphertext.
class BlockCipher20 : public PackedCipher {
public:
    explicit BlockCipher20(const std::string& password);
    size_t BlockSize() const override { return 16; }
    void Decrypt(uint8_t* data, size_t size) override;
    // The other direction, which the key setup itself uses.
    void Encrypt(uint8_t* data, size_t size);

private:
    uint32_t substLong(uint32_t v) const;
    void updateKeys(const uint8_t* block);
    void cryptBlock(uint8_t* block, bool decrypt);

    uint32_t key_[4];
    uint8_t subst_[256];
};

} // namespace km::rar
