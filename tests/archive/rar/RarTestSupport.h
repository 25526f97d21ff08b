#pragma once
// RAR archives made byte by byte: stored files, also encrypted with the RAR 1.5
// stream cipher, for the reader's tests and the browser's.
#include "archive/rar/RarCrypt.h"

#include <cstdint>
#include <string>
#include <vector>

namespace km::test {

inline std::vector<uint8_t> ArchiveStart(uint8_t mainFlags = 0) {
    return {0x52,      0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0, 0, 0x73,
            mainFlags, 0,    13,   0,    0,    0,    0,    0, 0, 0};
}

// Appends a stored file dated 2005-03-14 09:26; with a password its data is encrypted with
// the RAR 1.5 stream cipher (an XOR stream, so decrypting encrypts).
inline void AppendStored(std::vector<uint8_t>& out, const std::string& name, const std::string& data,
                  uint16_t flags = 0, uint8_t unpVer = 20, const std::string& password = {}) {
    auto le = [&](uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    std::vector<uint8_t> bytes(data.begin(), data.end());
    const uint32_t crc = km::rar::Crc32Of(bytes.data(), bytes.size());
    if (!password.empty())
        km::rar::StreamCipher(unpVer, password).Decrypt(bytes.data(), bytes.size());
    le(0, 2);
    out.push_back(0x74);
    le(0x8000 | flags, 2);
    le(32 + name.size(), 2);
    le(bytes.size(), 4);
    le(bytes.size(), 4);
    out.push_back(0);
    le(crc, 4);
    le((25u << 25) | (3u << 21) | (14u << 16) | (9u << 11) | (26u << 5), 4);
    out.push_back(unpVer);
    out.push_back(0x30);
    le(name.size(), 2);
    le(0x20, 4);
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), bytes.begin(), bytes.end());
}

inline std::vector<uint8_t> StoredArchive(const std::string& name, const std::string& data,
                                   uint8_t mainFlags = 0) {
    auto out = ArchiveStart(mainFlags);
    AppendStored(out, name, data);
    return out;
}

inline std::vector<uint8_t> ThreeEncrypted(uint8_t mainFlags) {
    auto out = ArchiveStart(mainFlags);
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        AppendStored(out, name, std::string("secret ") + name, 0x04, 15, "pw");
    return out;
}

} // namespace km::test
