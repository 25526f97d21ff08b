#include "archive/rar/RarFormat.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace km::rar {

namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr size_t kBaseHeader = 7;
constexpr size_t kFileFixed = 32;
constexpr size_t kMaxNameKept = 259;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// The Unicode form that follows the OEM name: 16-bit characters coded against a high byte
// and the OEM bytes. Returns UTF-8, empty when it does not decode.
std::string DecodeUnicodeName(const std::string& oem, const uint8_t* enc, size_t size) {
    constexpr size_t kMaxChars = 1024;
    std::vector<uint16_t> wide;
    size_t pos = 0;
    if (size == 0)
        return {};
    const uint32_t high = enc[pos++];
    uint32_t flags = 0;
    int flagBits = 0;
    while (pos < size && wide.size() < kMaxChars) {
        if (flagBits == 0) {
            flags = enc[pos++];
            flagBits = 8;
        }
        switch (flags >> 6) {
        case 0:
            if (pos >= size)
                return {};
            wide.push_back(enc[pos++]);
            break;
        case 1:
            if (pos >= size)
                return {};
            wide.push_back(static_cast<uint16_t>(enc[pos++] + (high << 8)));
            break;
        case 2:
            if (pos + 1 >= size)
                return {};
            wide.push_back(static_cast<uint16_t>(enc[pos] | (enc[pos + 1] << 8)));
            pos += 2;
            break;
        default: {
            if (pos >= size)
                return {};
            uint32_t length = enc[pos++];
            uint32_t correction = 0;
            const bool corrected = (length & 0x80) != 0;
            if (corrected) {
                if (pos >= size)
                    return {};
                correction = enc[pos++];
                length &= 0x7F;
            }
            for (length += 2; length > 0 && wide.size() < kMaxChars; --length) {
                const size_t at = wide.size();
                if (at >= oem.size())
                    return {};
                const uint32_t b = static_cast<uint8_t>(oem[at]);
                wide.push_back(
                    static_cast<uint16_t>(corrected ? ((b + correction) & 0xFF) + (high << 8) : b));
            }
            break;
        }
        }
        flags = (flags << 2) & 0xFF;
        flagBits -= 2;
    }
    std::string out;
    for (uint16_t c : wide) {
        if (c == 0)
            return {};
        km::AppendUtf8(out, c);
    }
    return out;
}

} // namespace

size_t MemorySource::ReadAt(uint64_t offset, uint8_t* buffer, size_t count) {
    if (offset >= size_)
        return 0;
    const size_t n = std::min<uint64_t>(count, size_ - offset);
    std::memcpy(buffer, data_ + offset, n);
    return n;
}

size_t FindRarArchiveStart(const uint8_t* data, size_t size) {
    // A program may hold the marker's bytes as text: a main header must follow.
    const auto startsAt = [&](size_t at) {
        return at + sizeof kMarker + 13 <= size && std::memcmp(data + at, kMarker, sizeof kMarker) == 0 &&
               data[at + 9] == 0x73 && Le16(data + at + 12) >= 13;
    };
    if (startsAt(0))
        return 0;
    // Only a program carries an archive behind it.
    const bool program = (size >= 2 && data[0] == 'M' && data[1] == 'Z') ||
                         (size >= 4 && std::memcmp(data, "\x7f" "ELF", 4) == 0);
    if (!program)
        return SIZE_MAX;
    for (const uint8_t* p = data; (p = static_cast<const uint8_t*>(std::memchr(p, kMarker[0], static_cast<size_t>(data + size - p)))) != nullptr; ++p) {
        if (startsAt(static_cast<size_t>(p - data)))
            return static_cast<size_t>(p - data);
    }
    return SIZE_MAX;
}

bool BlockReader::Open() {
    std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(source_.Size(), kRarStubSearch)));
    head.resize(source_.ReadAt(0, head.data(), head.size()));
    const size_t start = FindRarArchiveStart(head.data(), head.size());
    if (start == SIZE_MAX)
        return false;
    const uint8_t* main = head.data() + start + 7;
    // An old-style archive comment makes the main header longer than 13 bytes; it is skipped.
    const uint16_t mainSize = Le16(main + 5);
    if (start + 7u + mainSize > source_.Size())
        return false;
    mainFlags_ = Le16(main + 3);
    pos_ = start + 7 + mainSize;
    return true;
}

BlockStatus BlockReader::Next(FileHeader& file) {
    uint8_t base[kBaseHeader + 4];
    const size_t got = source_.ReadAt(pos_, base, sizeof base);
    if (got == 0)
        return BlockStatus::End;
    if (got < kBaseHeader)
        return BlockStatus::Corrupt;
    const uint8_t type = base[2];
    const uint16_t flags = Le16(base + 3);
    const uint16_t headSize = Le16(base + 5);
    if (headSize < kBaseHeader || pos_ + headSize > source_.Size())
        return BlockStatus::Corrupt;
    if (type == 0x7B)
        return BlockStatus::End;
    uint64_t dataSize = 0;
    if (type != 0x74) {
        if (flags & 0x8000) {
            if (headSize < kBaseHeader + 4 || got < kBaseHeader + 4)
                return BlockStatus::Corrupt;
            dataSize = Le32(base + 7);
        }
        const uint64_t next = pos_ + headSize + dataSize;
        if (next > source_.Size())
            return BlockStatus::Corrupt;
        pos_ = next;
        return BlockStatus::Other;
    }
    if (headSize < kFileFixed)
        return BlockStatus::Corrupt;
    uint8_t h[kFileFixed + 8];
    const size_t fixed = std::min<size_t>(headSize, sizeof h);
    if (source_.ReadAt(pos_, h, fixed) != fixed)
        return BlockStatus::Corrupt;
    file = FileHeader{};
    file.flags = flags;
    file.packSize = Le32(h + 7);
    file.unpSize = Le32(h + 11);
    file.hostOs = h[15];
    file.crc = Le32(h + 16);
    file.dosTime = Le32(h + 20);
    file.unpVer = h[24];
    file.method = h[25];
    const uint16_t nameSize = Le16(h + 26);
    file.attributes = Le32(h + 28);
    size_t nameAt = kFileFixed;
    if (flags & 0x100) {
        // 64-bit sizes: the high halves come before the name.
        if (headSize < kFileFixed + 8)
            return BlockStatus::Corrupt;
        file.packSize |= uint64_t(Le32(h + 32)) << 32;
        file.unpSize |= uint64_t(Le32(h + 36)) << 32;
        nameAt += 8;
    }
    if (nameAt + nameSize > headSize)
        return BlockStatus::Corrupt;
    std::string name(nameSize, '\0');
    if (source_.ReadAt(pos_ + nameAt, reinterpret_cast<uint8_t*>(name.data()), name.size()) !=
        name.size())
        return BlockStatus::Corrupt;
    // With flag 0x200 a Unicode form follows the OEM name after a zero byte; it is the one
    // shown, since the OEM form of non-Latin names is only question marks.
    if (const size_t zero = name.find('\0'); zero != std::string::npos) {
        std::string unicode;
        if (flags & 0x200)
            unicode = DecodeUnicodeName(name.substr(0, zero),
                                        reinterpret_cast<const uint8_t*>(name.data()) + zero + 1,
                                        name.size() - zero - 1);
        name = unicode.empty() ? name.substr(0, zero) : unicode;
    }
    if (name.size() > kMaxNameKept)
        name.resize(kMaxNameKept);
    file.name = std::move(name);
    file.dataOffset = pos_ + headSize;
    if (file.packSize > source_.Size() || file.dataOffset + file.packSize > source_.Size())
        return BlockStatus::Corrupt;
    const bool dosAttributes = file.hostOs <= 2;
    file.isDirectory = (flags & 0xE0) == 0xE0 || (dosAttributes && (file.attributes & 0x10)) ||
                       (file.hostOs == 3 && (file.attributes & 0xF000) == 0x4000);
    pos_ = file.dataOffset + file.packSize;
    return BlockStatus::File;
}

} // namespace km::rar
