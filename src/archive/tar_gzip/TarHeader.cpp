#include "archive/tar_gzip/TarHeader.h"

#include <cstring>

namespace km::tar {

namespace {

constexpr size_t kNameOffset = 0, kNameLength = 100;
constexpr size_t kSizeOffset = 124, kSizeLength = 12;
constexpr size_t kTimeOffset = 136, kTimeLength = 12;
constexpr size_t kSumOffset = 148, kSumLength = 8;
constexpr size_t kModeOffset = 100, kModeLength = 8;
constexpr size_t kTypeOffset = 156;
constexpr size_t kLinkOffset = 157, kLinkLength = 100;
constexpr size_t kMagicOffset = 257;
constexpr size_t kPrefixOffset = 345, kPrefixLength = 155;

bool IsBlank(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Bytes up to the first zero, never past the field.
std::string FieldText(const uint8_t* field, size_t length) {
    const void* zero = std::memchr(field, 0, length);
    const size_t used =
        zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - field) : length;
    return std::string(reinterpret_cast<const char*>(field), used);
}

bool ParseDecimal(const std::string& text, uint64_t& value) {
    if (text.empty())
        return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        if (__builtin_mul_overflow(v, 10u, &v) || __builtin_add_overflow(v, unsigned(c - '0'), &v))
            return false;
    }
    value = v;
    return true;
}

} // namespace

bool ParseTarNumber(const uint8_t* field, size_t length, uint64_t& value) {
    if (length > 0 && field[0] == 0x80) {
        uint64_t v = 0;
        for (size_t i = 1; i < length; ++i) {
            if (v >> 56)
                return false;
            v = (v << 8) | field[i];
        }
        value = v;
        return true;
    }
    size_t i = 0;
    while (i < length && IsBlank(field[i]))
        ++i;
    uint64_t v = 0;
    for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (v >> 61)
            return false;
        v = (v << 3) | static_cast<uint64_t>(field[i] - '0');
    }
    value = v;
    return true;
}

int64_t ParseTarTime(const uint8_t* field, size_t length) {
    size_t i = 0;
    while (i < length && IsBlank(field[i]))
        ++i;
    const size_t first = i;
    int64_t v = 0;
    for (; i < length && i - first < 12 && field[i] >= '0' && field[i] <= '7'; ++i)
        v = v * 8 + (field[i] - '0');
    if (i < length && field[i] != 0 && !IsBlank(field[i]))
        return -1;
    return v;
}

bool TarChecksumMatches(const uint8_t* block) {
    uint64_t stored = 0;
    if (!ParseTarNumber(block + kSumOffset, kSumLength, stored))
        return false;
    uint32_t unsignedSum = 8 * ' ';
    int32_t signedSum = 8 * ' ';
    for (size_t i = 0; i < kTarBlockSize; ++i) {
        if (i >= kSumOffset && i < kSumOffset + kSumLength)
            continue;
        unsignedSum += block[i];
        signedSum += static_cast<int8_t>(block[i]);
    }
    return stored == unsignedSum || static_cast<int64_t>(stored) == signedSum;
}

bool IsZeroBlock(const uint8_t* block) {
    for (size_t i = 0; i < kTarBlockSize; ++i) {
        if (block[i] != 0)
            return false;
    }
    return true;
}

TarHeader ParseTarHeader(const uint8_t* block) {
    TarHeader h;
    // A name of exactly 100 bytes has no terminator; it ends with the field.
    h.name = FieldText(block + kNameOffset, kNameLength);
    // POSIX ustar ("ustar\0") splits long names into prefix and name. The old GNU magic
    // ("ustar  \0") keeps other data where the prefix would be.
    if (std::memcmp(block + kMagicOffset, "ustar\0", 6) == 0) {
        const std::string prefix = FieldText(block + kPrefixOffset, kPrefixLength);
        if (!prefix.empty())
            h.name = prefix + "/" + h.name;
    }
    if (!ParseTarNumber(block + kSizeOffset, kSizeLength, h.size))
        h.size = 0;
    h.mtime = ParseTarTime(block + kTimeOffset, kTimeLength);
    h.typeFlag = static_cast<char>(block[kTypeOffset]);
    uint64_t mode = 0;
    if (ParseTarNumber(block + kModeOffset, kModeLength, mode))
        h.mode = static_cast<int>(mode & 07777);
    h.linkName = FieldText(block + kLinkOffset, kLinkLength);
    return h;
}

bool ParsePaxRecords(const uint8_t* data, size_t size, PaxValues& out) {
    size_t at = 0;
    while (at < size) {
        // "LEN key=value\n", LEN counting the whole record.
        uint64_t length = 0;
        size_t i = at;
        while (i < size && data[i] >= '0' && data[i] <= '9') {
            if (__builtin_mul_overflow(length, 10u, &length) ||
                __builtin_add_overflow(length, unsigned(data[i] - '0'), &length))
                return false;
            ++i;
        }
        if (i == at || i >= size || data[i] != ' ' || length > size - at || length < i - at + 2)
            return false;
        const size_t end = at + static_cast<size_t>(length);
        if (data[end - 1] != '\n')
            return false;
        const std::string record(reinterpret_cast<const char*>(data + i + 1), end - 1 - (i + 1));
        const size_t eq = record.find('=');
        if (eq == std::string::npos)
            return false;
        const std::string key = record.substr(0, eq);
        const std::string value = record.substr(eq + 1);
        if (key == "path") {
            out.path = value.substr(0, value.find('\0'));
        } else if (key == "linkpath") {
            out.linkPath = value.substr(0, value.find('\0'));
        } else if (key == "size") {
            uint64_t v = 0;
            if (ParseDecimal(value, v))
                out.size = v;
        } else if (key == "mtime") {
            // Seconds with an optional fraction; the fraction is not kept.
            const std::string whole = value.substr(0, value.find('.'));
            const bool negative = !whole.empty() && whole[0] == '-';
            uint64_t v = 0;
            if (ParseDecimal(negative ? whole.substr(1) : whole, v) && v <= INT64_MAX)
                out.mtime = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
        }
        at = end;
    }
    return true;
}

} // namespace km::tar
