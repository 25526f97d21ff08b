#include "archive/other/Rar5Encryption.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <zlib.h>

namespace km {

namespace {

constexpr uint8_t kSignature[] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x01, 0x00};
constexpr uint64_t kSearchLimit = 4u << 20;
constexpr uint64_t kMaxHeaderSize = 2u << 20; // the format's own bound

constexpr uint64_t kMainHeader = 1;
constexpr uint64_t kFileHeader = 2;
constexpr uint64_t kEncryptionHeader = 4;
constexpr uint64_t kEndHeader = 5;
constexpr uint64_t kHasExtraArea = 0x0001;
constexpr uint64_t kHasDataArea = 0x0002;
constexpr uint64_t kFileHasTime = 0x0002;
constexpr uint64_t kFileHasCrc = 0x0004;
constexpr uint64_t kEncryptionRecord = 0x01;

// The variable-length integers and fixed fields of one header, bounds-checked.
class Fields {
public:
    Fields(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool Vint(uint64_t& value) {
        value = 0;
        for (unsigned shift = 0; shift < 64 && at_ < size_; shift += 7) {
            const uint8_t b = data_[at_++];
            value |= static_cast<uint64_t>(b & 0x7f) << shift;
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }
    bool Skip(uint64_t n) {
        if (n > size_ - at_)
            return false;
        at_ += static_cast<size_t>(n);
        return true;
    }
    bool Text(uint64_t n, std::string& out) {
        const size_t start = at_;
        if (!Skip(n))
            return false;
        out.assign(reinterpret_cast<const char*>(data_ + start), static_cast<size_t>(n));
        return true;
    }
    size_t at() const { return at_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

struct Header {
    uint64_t type = 0;
    uint64_t extraSize = 0;
    uint64_t dataSize = 0;
    std::vector<uint8_t> body; // from the type field to the end of the extra area
    size_t fieldsAt = 0;       // where the type's own fields start in body
    uint64_t length = 0;       // the whole header: CRC, size field and body
};

uint32_t little32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The header at `offset`, when it is whole and its CRC matches.
bool readHeader(const ReadAtFn& readAt, uint64_t offset, Header& h) {
    uint8_t head[8]; // the CRC and the size field
    const size_t got = readAt(offset, head, sizeof head);
    uint64_t size = 0;
    Fields sizeField(head + 4, got > 4 ? got - 4 : 0);
    if (got < 5 || !sizeField.Vint(size) || size == 0 || size > kMaxHeaderSize)
        return false;
    const size_t sizeLength = sizeField.at();
    std::vector<uint8_t> checked(sizeLength + static_cast<size_t>(size));
    if (readAt(offset + 4, checked.data(), checked.size()) != checked.size() ||
        crc32(0, checked.data(), static_cast<uInt>(checked.size())) != little32(head))
        return false;
    h.body.assign(checked.begin() + static_cast<std::ptrdiff_t>(sizeLength), checked.end());
    h.extraSize = h.dataSize = 0;
    Fields f(h.body.data(), h.body.size());
    uint64_t flags = 0;
    if (!f.Vint(h.type) || !f.Vint(flags))
        return false;
    if ((flags & kHasExtraArea) && !f.Vint(h.extraSize))
        return false;
    if ((flags & kHasDataArea) && !f.Vint(h.dataSize))
        return false;
    if (h.extraSize > h.body.size() - f.at())
        return false;
    h.fieldsAt = f.at();
    h.length = 4 + sizeLength + size;
    return true;
}

bool fileName(const Header& h, std::string& name) {
    Fields f(h.body.data() + h.fieldsAt,
             h.body.size() - h.fieldsAt - static_cast<size_t>(h.extraSize));
    uint64_t fileFlags = 0, unpackedSize = 0, attributes = 0, compression = 0, hostOs = 0,
             nameLength = 0;
    if (!f.Vint(fileFlags) || !f.Vint(unpackedSize) || !f.Vint(attributes))
        return false;
    if ((fileFlags & kFileHasTime) && !f.Skip(4))
        return false;
    if ((fileFlags & kFileHasCrc) && !f.Skip(4))
        return false;
    return f.Vint(compression) && f.Vint(hostOs) && f.Vint(nameLength) && f.Text(nameLength, name);
}

bool hasEncryptionRecord(const Header& h) {
    const size_t start = h.body.size() - static_cast<size_t>(h.extraSize);
    Fields f(h.body.data() + start, static_cast<size_t>(h.extraSize));
    uint64_t size = 0;
    while (f.Vint(size) && size > 0) {
        const size_t recordAt = f.at();
        uint64_t type = 0;
        if (!f.Vint(type))
            return false;
        if (type == kEncryptionRecord)
            return true;
        const size_t typeLength = f.at() - recordAt; // the record's size counts its type
        if (size < typeLength || !f.Skip(size - typeLength))
            return false;
    }
    return false;
}

// Just past the first signature that a sound first header follows; 0 when there is none.
uint64_t archiveStart(const ReadAtFn& readAt) {
    constexpr size_t kChunk = 64 * 1024;
    std::vector<uint8_t> buffer(kChunk + sizeof kSignature);
    for (uint64_t base = 0; base < kSearchLimit; base += kChunk) {
        const size_t got = readAt(base, buffer.data(), buffer.size());
        const uint8_t* p = buffer.data();
        const uint8_t* end = p + std::min(got, kChunk);
        while (got >= sizeof kSignature &&
               (p = static_cast<const uint8_t*>(
                    std::memchr(p, 'R', static_cast<size_t>(end - p)))) != nullptr) {
            const uint64_t start =
                base + static_cast<uint64_t>(p - buffer.data()) + sizeof kSignature;
            Header h;
            if (p + sizeof kSignature <= buffer.data() + got &&
                std::memcmp(p, kSignature, sizeof kSignature) == 0 &&
                readHeader(readAt, start, h) &&
                (h.type == kMainHeader || h.type == kEncryptionHeader))
                return start;
            ++p;
        }
        if (got < buffer.size())
            break;
    }
    return 0;
}

} // namespace

Rar5Encryption ScanRar5Encryption(const ReadAtFn& readAt) {
    Rar5Encryption result;
    uint64_t offset = archiveStart(readAt);
    Header h;
    while (offset != 0 && readHeader(readAt, offset, h)) {
        if (h.type == kEncryptionHeader) {
            result.headersEncrypted = true;
            break;
        }
        if (h.type == kEndHeader)
            break;
        std::string name;
        if (h.type == kFileHeader && hasEncryptionRecord(h) && fileName(h, name))
            result.files.insert(name);
        if (__builtin_add_overflow(offset, h.length, &offset) ||
            __builtin_add_overflow(offset, h.dataSize, &offset))
            break;
    }
    return result;
}

} // namespace km
