#pragma once
// Helpers of the libarchive bridge's tests: peers run without a shell (the TAR tests'
// runner and sink), trees compared with modes and link targets, and a writer of small
// stored RAR 5 archives, which no Debian tool makes.
#include "archive/tar_gzip/TarTestSupport.h"
#include "support/TempDir.h"

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

namespace km::test {

inline std::string Octal(unsigned v) {
    char text[16];
    std::snprintf(text, sizeof text, "%o", v);
    return text;
}

// Every entry below `root`: files as mode, link count and bytes, links as their text.
inline std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        // Lexically: relative() would resolve a link to where it points.
        const std::string rel = e.path().lexically_relative(root).string();
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        if (S_ISLNK(st.st_mode))
            out[rel] = "link " + std::filesystem::read_symlink(e.path()).string();
        else if (S_ISDIR(st.st_mode))
            out[rel + "/"] = "dir";
        else
            out[rel] = Octal(st.st_mode & 07777) + " x" + std::to_string(st.st_nlink) + " " +
                       ReadAll(e.path());
    }
    return out;
}

// Listed names as paths relative to the archive's root ("./a" and "a" alike, no ".").
inline std::vector<std::string> Normalised(const std::vector<std::string>& names) {
    std::vector<std::string> out;
    for (std::string n : names) {
        while (n.rfind("./", 0) == 0)
            n.erase(0, 2);
        if (!n.empty() && n != ".")
            out.push_back(n);
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline std::string Vint(uint64_t v) {
    std::string out;
    do {
        const char low = static_cast<char>(v & 0x7f);
        v >>= 7;
        out += static_cast<char>(low | (v ? 0x80 : 0));
    } while (v);
    return out;
}

inline std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

inline uint32_t Crc(const std::string& s) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

inline std::string Rar5Header(const std::string& body) {
    const std::string checked = Vint(body.size()) + body;
    return Le32(Crc(checked)) + checked;
}

inline const std::string kRar5Signature("Rar!\x1a\x07\x01\x00", 8);

struct Rar5File {
    std::string name;
    std::string data;
    bool encrypted = false; // an AES record in the extra area; the data stays as given
};

// Stored files as a Unix RAR 5 writes them.
inline std::string Rar5Archive(const std::vector<Rar5File>& files) {
    std::string out = kRar5Signature + Rar5Header(Vint(1) + Vint(0) + Vint(0));
    for (const Rar5File& f : files) {
        std::string extra;
        if (f.encrypted) {
            const std::string record = Vint(1) + Vint(0) + Vint(0) + "\x0f" + std::string(32, 's');
            extra = Vint(record.size()) + record;
        }
        std::string body = Vint(2) + Vint(extra.empty() ? 0x2 : 0x3);
        if (!extra.empty())
            body += Vint(extra.size());
        body += Vint(f.data.size()) + Vint(0x2 | 0x4) + Vint(f.data.size()) + Vint(0100644) +
                Le32(1600000000) + Le32(Crc(f.data)) + Vint(0) + Vint(1) + Vint(f.name.size()) +
                f.name + extra;
        out += Rar5Header(body) + f.data;
    }
    return out + Rar5Header(Vint(5) + Vint(0) + Vint(0));
}

// An archive whose headers are encrypted: the encryption header, then cipher text.
inline std::string Rar5EncryptedHeaders() {
    return kRar5Signature +
           Rar5Header(Vint(4) + Vint(0) + Vint(0) + Vint(0) + "\x0f" + std::string(16, 's')) +
           std::string(64, '\x5a');
}

} // namespace km::test
