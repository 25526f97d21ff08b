#include "archive/tar_gzip/TarHeader.h"

#include <algorithm>
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
// Old GNU sparse headers: four chunks, the extension flag and the real size.
constexpr size_t kSparseOffset = 386, kSparseChunks = 4, kSparseExtendedOffset = 482;
constexpr size_t kRealSizeOffset = 483, kRealSizeLength = 12;
// An extension block: 21 chunks and the flag.
constexpr size_t kExtensionChunks = 21, kExtensionFlagOffset = 504;
constexpr size_t kChunkFieldLength = 12;
// Bounds the map of one file kept in memory (a few MiB at most).
constexpr size_t kMaxSparseChunks = 1u << 18;

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

bool ParseNumberList(const std::string& text, std::vector<uint64_t>& out) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        uint64_t v = 0;
        if (!ParseDecimal(text.substr(at, comma - at), v))
            return false;
        out.push_back(v);
        at = comma + 1;
    }
    return true;
}

// Chunks from `count` offset/size field pairs; an empty offset field ends them.
bool ReadChunks(const uint8_t* fields, size_t count, SparseMap& map) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* field = fields + i * 2 * kChunkFieldLength;
        if (field[0] == 0)
            break;
        SparseChunk chunk;
        if (!ParseTarNumber(field, kChunkFieldLength, chunk.offset) ||
            !ParseTarNumber(field + kChunkFieldLength, kChunkFieldLength, chunk.size))
            return false;
        if (map.size() >= kMaxSparseChunks)
            return false;
        map.push_back(chunk);
    }
    return true;
}

} // namespace

bool ParseTarNumber(const uint8_t* field, size_t length, uint64_t& value) {
    if (length > 0 && (field[0] & 0x80) != 0) {
        // GNU base-256: big-endian, the first byte's low six bits included; a set 0x40 bit
        // is the negative form, which no size, mode or offset may take.
        if ((field[0] & 0x40) != 0)
            return false;
        uint64_t v = field[0] & 0x3f;
        for (size_t i = 1; i < length; ++i) {
            if (v >> 56)
                return false;
            v = (v << 8) | field[i];
        }
        value = v;
        return true;
    }
    // Octal digits with blanks or zero bytes around them, as tar writes them; anything
    // else ("-1", a stray letter) is not a number and the header is damaged.
    size_t i = 0;
    while (i < length && (IsBlank(field[i]) || field[i] == 0))
        ++i;
    uint64_t v = 0;
    for (; i < length && field[i] >= '0' && field[i] <= '7'; ++i) {
        if (v >> 61)
            return false;
        v = (v << 3) | static_cast<uint64_t>(field[i] - '0');
    }
    for (; i < length; ++i) {
        if (!IsBlank(field[i]) && field[i] != 0)
            return false;
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
    if (!ParseTarNumber(block + kSizeOffset, kSizeLength, h.size)) {
        h.size = 0;
        h.numbersValid = false;
    }
    h.mtime = ParseTarTime(block + kTimeOffset, kTimeLength);
    h.typeFlag = static_cast<char>(block[kTypeOffset]);
    uint64_t mode = 0;
    if (ParseTarNumber(block + kModeOffset, kModeLength, mode))
        h.mode = static_cast<int>(mode & 07777);
    else
        h.numbersValid = false;
    h.linkName = FieldText(block + kLinkOffset, kLinkLength);
    if (h.typeFlag == 'S') {
        if (!ReadChunks(block + kSparseOffset, kSparseChunks, h.sparse))
            h.numbersValid = false;
        h.sparseExtended = block[kSparseExtendedOffset] != 0;
        if (!ParseTarNumber(block + kRealSizeOffset, kRealSizeLength, h.realSize)) {
            h.realSize = 0;
            h.numbersValid = false;
        }
    }
    return h;
}

bool ParseSparseExtension(const uint8_t* block, SparseMap& map) {
    ReadChunks(block, kExtensionChunks, map);
    return block[kExtensionFlagOffset] != 0;
}

SparseMapResult ParseSparseMapText(const uint8_t* data, size_t size, SparseMap& map,
                                   size_t& length) {
    // Each number ends with a newline: until all are there, only the count is read
    // (the map arrives block by block and is tried after each).
    const auto newlineAt = [&](size_t from) -> size_t {
        const void* nl = std::memchr(data + from, '\n', size - from);
        return nl ? static_cast<size_t>(static_cast<const uint8_t*>(nl) - data) : size;
    };
    const auto number = [&](size_t from, size_t end, uint64_t& v) {
        return ParseDecimal(std::string(reinterpret_cast<const char*>(data + from), end - from), v);
    };
    const size_t first = newlineAt(0);
    if (first == size)
        return size > 24 ? SparseMapResult::Invalid : SparseMapResult::NeedMore;
    uint64_t count = 0;
    if (!number(0, first, count) || count > kMaxSparseChunks)
        return SparseMapResult::Invalid;
    if (static_cast<uint64_t>(std::count(data + first + 1, data + size, '\n')) < 2 * count)
        return SparseMapResult::NeedMore;
    map.clear();
    size_t at = first + 1;
    for (uint64_t i = 0; i < count; ++i) {
        SparseChunk chunk;
        const size_t a = newlineAt(at);
        const size_t b = newlineAt(a + 1);
        if (!number(at, a, chunk.offset) || !number(a + 1, b, chunk.size))
            return SparseMapResult::Invalid;
        map.push_back(chunk);
        at = b + 1;
    }
    length = at;
    return SparseMapResult::Complete;
}

bool SparseMapFits(const SparseMap& map, uint64_t realSize, uint64_t stored) {
    uint64_t end = 0, total = 0;
    for (const SparseChunk& c : map) {
        uint64_t chunkEnd = 0;
        if (c.offset < end || __builtin_add_overflow(c.offset, c.size, &chunkEnd) ||
            chunkEnd > realSize || __builtin_add_overflow(total, c.size, &total))
            return false;
        end = chunkEnd;
    }
    return total == stored;
}

namespace {

// Seconds with an optional fraction of up to nine digits kept as nanoseconds.
void ParsePaxTime(const std::string& value, PaxValues& out) {
    const size_t dot = value.find('.');
    const std::string whole = value.substr(0, dot);
    const bool negative = !whole.empty() && whole[0] == '-';
    uint64_t v = 0;
    if (!ParseDecimal(negative ? whole.substr(1) : whole, v) || v >= INT64_MAX)
        return;
    long nanoseconds = 0;
    if (dot != std::string::npos) {
        const std::string fraction = value.substr(dot + 1, 9);
        uint64_t f = 0;
        if (!fraction.empty() && !ParseDecimal(fraction, f))
            return;
        for (size_t i = fraction.size(); i < 9; ++i)
            f *= 10;
        nanoseconds = static_cast<long>(f);
    }
    if (negative && nanoseconds > 0) { // -1.5 is half a second before -1
        v += 1;
        nanoseconds = 1000000000L - nanoseconds;
    }
    out.mtime = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    out.mtimeNanoseconds = nanoseconds;
}

} // namespace

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
            ParsePaxTime(value, out);
        } else if (key == "GNU.sparse.major") {
            uint64_t v = 0;
            if (ParseDecimal(value, v) && v < 16)
                out.sparseMajor = static_cast<int>(v);
        } else if (key == "GNU.sparse.name") {
            out.sparseName = value.substr(0, value.find('\0'));
        } else if (key == "GNU.sparse.realsize" || key == "GNU.sparse.size") {
            uint64_t v = 0;
            if (ParseDecimal(value, v))
                out.sparseRealSize = v;
        } else if (key == "GNU.sparse.map") {
            std::vector<uint64_t> numbers;
            if (!ParseNumberList(value, numbers) || numbers.size() % 2 != 0 ||
                numbers.size() / 2 > kMaxSparseChunks)
                return false;
            out.sparseMap.clear();
            for (size_t k = 0; k < numbers.size(); k += 2)
                out.sparseMap.push_back({numbers[k], numbers[k + 1]});
            out.sparseMapGiven = true;
        } else if (key == "GNU.sparse.offset" || key == "GNU.sparse.numbytes") {
            // Version 0.0: each offset record is followed by its size record.
            uint64_t v = 0;
            if (!ParseDecimal(value, v) || out.sparseMap.size() >= kMaxSparseChunks)
                return false;
            if (key == "GNU.sparse.offset")
                out.sparseMap.push_back({v, 0});
            else if (!out.sparseMap.empty())
                out.sparseMap.back().size = v;
            out.sparseMapGiven = true;
        }
        at = end;
    }
    return true;
}

} // namespace km::tar
