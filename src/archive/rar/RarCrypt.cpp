#include "archive/rar/RarCrypt.h"

#include <algorithm>
#include <iterator>
#include <vector>

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

namespace {

// The table the RAR 2.0 key setup starts from.
constexpr uint8_t kInitSubst20[256] = {
    215, 19,  149, 35,  73,  197, 192, 205, 249, 28,  16,  119, 48,  221, 2,   42,  //
    232, 1,   177, 233, 14,  88,  219, 25,  223, 195, 244, 90,  87,  239, 153, 137, //
    255, 199, 147, 70,  92,  66,  246, 13,  216, 40,  62,  29,  217, 230, 86,  6,   //
    71,  24,  171, 196, 101, 113, 218, 123, 93,  91,  163, 178, 202, 67,  44,  235, //
    107, 250, 75,  234, 49,  167, 125, 211, 83,  114, 157, 144, 32,  193, 143, 36,  //
    158, 124, 247, 187, 89,  214, 141, 47,  121, 228, 61,  130, 213, 194, 174, 251, //
    97,  110, 54,  229, 115, 57,  152, 94,  105, 243, 212, 55,  209, 245, 63,  11,  //
    164, 200, 31,  156, 81,  176, 227, 21,  76,  99,  139, 188, 127, 17,  248, 51,  //
    207, 120, 189, 210, 8,   226, 41,  72,  183, 203, 135, 165, 166, 60,  98,  7,   //
    122, 38,  155, 170, 69,  172, 252, 238, 39,  134, 59,  128, 236, 27,  240, 80,  //
    131, 3,   85,  206, 145, 79,  154, 142, 159, 220, 201, 133, 74,  64,  20,  129, //
    224, 185, 138, 103, 173, 182, 43,  34,  254, 82,  198, 151, 231, 180, 58,  10,  //
    118, 26,  102, 12,  50,  132, 22,  191, 136, 111, 162, 179, 45,  4,   148, 108, //
    161, 56,  78,  126, 242, 222, 15,  175, 146, 23,  33,  241, 181, 190, 77,  225, //
    0,   46,  169, 186, 68,  95,  237, 65,  53,  208, 253, 168, 9,   18,  100, 52,  //
    116, 184, 160, 96,  109, 37,  30,  106, 140, 104, 150, 5,   204, 117, 112, 84,
};

uint32_t rotl32(uint32_t v, int n) {
    return (v << n) | (v >> (32 - n));
}

uint32_t load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void store32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

} // namespace

std::unique_ptr<PackedCipher> MakePackedCipher(int unpackVersion, const std::string& password) {
    if (unpackVersion >= 20)
        return std::make_unique<BlockCipher20>(password);
    return std::make_unique<StreamCipher>(unpackVersion, password);
}

BlockCipher20::BlockCipher20(const std::string& password)
    : key_{0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u} {
    std::copy(std::begin(kInitSubst20), std::end(kInitSubst20), subst_);
    const auto* p = reinterpret_cast<const uint8_t*>(password.data());
    const size_t n = password.size();
    for (unsigned j = 0; j < 256; ++j) {
        for (size_t i = 0; i < n; i += 2) {
            unsigned n1 = kCrc.t[(p[i] - j) & 0xFF] & 0xFF;
            const size_t i1 = std::min(i + 1, n - 1);
            const unsigned n2 = kCrc.t[(p[i1] + j) & 0xFF] & 0xFF;
            for (unsigned k = 1; n1 != n2; n1 = (n1 + 1) & 0xFF, ++k)
                std::swap(subst_[n1], subst_[(n1 + i + k) & 0xFF]);
        }
    }
    // The password itself, padded to whole blocks, goes through the cipher
    // once to mix the keys.
    std::vector<uint8_t> padded(p, p + n);
    padded.resize((n + 15) / 16 * 16, 0);
    Encrypt(padded.data(), padded.size());
}

uint32_t BlockCipher20::substLong(uint32_t v) const {
    return static_cast<uint32_t>(subst_[v & 0xFF]) | static_cast<uint32_t>(subst_[(v >> 8) & 0xFF]) << 8 |
           static_cast<uint32_t>(subst_[(v >> 16) & 0xFF]) << 16 |
           static_cast<uint32_t>(subst_[(v >> 24) & 0xFF]) << 24;
}

void BlockCipher20::updateKeys(const uint8_t* block) {
    for (int i = 0; i < 16; i += 4) {
        key_[0] ^= kCrc.t[block[i]];
        key_[1] ^= kCrc.t[block[i + 1]];
        key_[2] ^= kCrc.t[block[i + 2]];
        key_[3] ^= kCrc.t[block[i + 3]];
    }
}

void BlockCipher20::cryptBlock(uint8_t* block, bool decrypt) {
    uint8_t cipherText[16];
    std::copy(block, block + 16, cipherText);
    uint32_t a = load32(block) ^ key_[0], b = load32(block + 4) ^ key_[1];
    uint32_t c = load32(block + 8) ^ key_[2], d = load32(block + 12) ^ key_[3];
    for (int round = 0; round < 32; ++round) {
        const uint32_t key = key_[(decrypt ? 31 - round : round) & 3];
        const uint32_t ta = a ^ substLong((c + rotl32(d, 11)) ^ key);
        const uint32_t tb = b ^ substLong((d ^ rotl32(c, 17)) + key);
        a = c;
        b = d;
        c = ta;
        d = tb;
    }
    store32(block, c ^ key_[0]);
    store32(block + 4, d ^ key_[1]);
    store32(block + 8, a ^ key_[2]);
    store32(block + 12, b ^ key_[3]);
    // The keys follow the ciphertext: the one that came in, or the one made.
    updateKeys(decrypt ? cipherText : block);
}

void BlockCipher20::Decrypt(uint8_t* data, size_t size) {
    for (size_t at = 0; at + 16 <= size; at += 16)
        cryptBlock(data + at, true);
}

void BlockCipher20::Encrypt(uint8_t* data, size_t size) {
    for (size_t at = 0; at + 16 <= size; at += 16)
        cryptBlock(data + at, false);
}

} // namespace km::rar
