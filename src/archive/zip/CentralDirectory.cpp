#include "archive/zip/CentralDirectory.h"

#include "archive/zip/Crc32.h"
#include "archive/zip/ZipBytes.h"

#include <algorithm>
#include <climits>

namespace km::zip {

namespace {

// Calls f(id, data) for every block that fits entirely; stops at the first that does not.
template <typename F> void forEachBlock(std::string_view extra, F f) {
    const auto* p = reinterpret_cast<const uint8_t*>(extra.data());
    size_t at = 0;
    while (extra.size() - at >= 4) {
        const uint16_t id = Le16(p + at);
        const size_t len = Le16(p + at + 2);
        if (len > extra.size() - at - 4)
            return;
        if (!f(id, p + at + 4, len))
            return;
        at += 4 + len;
    }
}

} // namespace

bool ParseCentralHeader(const uint8_t* p, ZipEntry* e, CentralLengths* lengths) {
    if (Le32(p) != kCentralHeaderSig)
        return false;
    e->versionMadeBy = Le16(p + 4);
    e->versionNeeded = Le16(p + 6);
    e->flags = Le16(p + 8);
    e->method = Le16(p + 10);
    e->dosTime = Le16(p + 12);
    e->dosDate = Le16(p + 14);
    e->crc = Le32(p + 16);
    e->compressedSize = Le32(p + 20);
    e->uncompressedSize = Le32(p + 24);
    lengths->name = Le16(p + 28);
    lengths->extra = Le16(p + 30);
    lengths->comment = Le16(p + 32);
    e->diskStart = Le16(p + 34);
    e->internalAttributes = Le16(p + 36);
    e->externalAttributes = Le32(p + 38);
    e->localHeaderOffset = Le32(p + 42);
    return true;
}

void ApplyZip64Extra(std::string_view extra, ZipEntry* e) {
    forEachBlock(extra, [e](uint16_t id, const uint8_t* d, size_t len) {
        if (id != 0x0001)
            return true;
        // Only the saturated fields are present, in this order.
        size_t at = 0;
        auto take = [&](uint64_t* v) {
            if (*v == 0xffffffffu && len - at >= 8) {
                *v = Le64(d + at);
                at += 8;
            }
        };
        take(&e->uncompressedSize);
        take(&e->compressedSize);
        take(&e->localHeaderOffset);
        if (e->diskStart == 0xffff && len - at >= 4)
            e->diskStart = Le32(d + at);
        return false;
    });
}

std::string WithoutZip64Extra(std::string_view extra) {
    std::string out;
    size_t at = 0;
    forEachBlock(extra, [&](uint16_t id, const uint8_t*, size_t len) {
        if (id != 0x0001)
            out.append(extra.substr(at, 4 + len));
        at += 4 + len;
        return true;
    });
    out.append(extra.substr(at)); // a broken tail stays as it was
    return out;
}

std::string BuildCentralHeader(const ZipEntry& e, std::string_view name,
                               std::string_view otherExtra, std::string_view comment) {
    constexpr uint64_t kMax32 = 0xffffffffu;
    std::string zip64;
    auto wide = [&](uint64_t v) {
        if (v < kMax32)
            return static_cast<uint32_t>(v);
        uint8_t b[8];
        PutLe64(b, v);
        zip64.append(reinterpret_cast<const char*>(b), 8);
        return static_cast<uint32_t>(kMax32);
    };
    // The block's fields come in this order, each only when saturated above.
    const uint32_t uncompressed = wide(e.uncompressedSize);
    const uint32_t compressed = wide(e.compressedSize);
    const uint32_t offset = wide(e.localHeaderOffset);
    if (!zip64.empty()) {
        uint8_t head[4];
        PutLe16(head, 0x0001);
        PutLe16(head + 2, static_cast<uint16_t>(zip64.size()));
        zip64.insert(0, reinterpret_cast<const char*>(head), 4);
    }
    const size_t extraLength = zip64.size() + otherExtra.size();
    std::string h(kCentralHeaderSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(h.data());
    PutLe32(p, kCentralHeaderSig);
    PutLe16(p + 4, e.versionMadeBy);
    PutLe16(p + 6, zip64.empty() ? e.versionNeeded : std::max<uint16_t>(e.versionNeeded, 45));
    PutLe16(p + 8, e.flags);
    PutLe16(p + 10, e.method);
    PutLe16(p + 12, e.dosTime);
    PutLe16(p + 14, e.dosDate);
    PutLe32(p + 16, e.crc);
    PutLe32(p + 20, compressed);
    PutLe32(p + 24, uncompressed);
    PutLe16(p + 28, static_cast<uint16_t>(std::min<size_t>(name.size(), 0xffff)));
    PutLe16(p + 30, static_cast<uint16_t>(std::min<size_t>(extraLength, 0xffff)));
    PutLe16(p + 32, static_cast<uint16_t>(std::min<size_t>(comment.size(), 0xffff)));
    PutLe16(p + 34, static_cast<uint16_t>(e.diskStart));
    PutLe16(p + 36, e.internalAttributes);
    PutLe32(p + 38, e.externalAttributes);
    PutLe32(p + 42, offset);
    h.append(name);
    h.append(zip64);
    h.append(otherExtra);
    h.append(comment);
    return h;
}

bool UnicodePathName(std::string_view extra, std::string_view rawName, std::string* name) {
    bool found = false;
    forEachBlock(extra, [&](uint16_t id, const uint8_t* d, size_t len) {
        if (id != 0x7075 || len < 5 || d[0] != 1)
            return true;
        const uint32_t crc =
            Crc32Update(0, reinterpret_cast<const uint8_t*>(rawName.data()), rawName.size());
        if (crc == Le32(d + 1)) {
            name->assign(reinterpret_cast<const char*>(d + 5), len - 5);
            found = true;
        }
        return false;
    });
    return found;
}

bool ExtendedMtime(std::string_view extra, int64_t* mtime) {
    bool found = false;
    forEachBlock(extra, [&](uint16_t id, const uint8_t* d, size_t len) {
        if (id != 0x5455)
            return true;
        // Flag bit 0 says the modification time comes first; the central copy may carry
        // the flags of the local one without its other times, so only that one is read.
        if (len >= 5 && (d[0] & 1) != 0) {
            *mtime = static_cast<int32_t>(Le32(d + 1));
            found = true;
        }
        return false;
    });
    return found;
}

std::string ExtendedTimestampBlock(int64_t mtime) {
    if (mtime < INT32_MIN || mtime > INT32_MAX)
        return {};
    uint8_t b[9];
    PutLe16(b, 0x5455);
    PutLe16(b + 2, 5);
    b[4] = 1;
    PutLe32(b + 5, static_cast<uint32_t>(mtime));
    return std::string(reinterpret_cast<const char*>(b), sizeof b);
}

bool DosNamedHost(unsigned versionMadeBy) {
    const unsigned host = versionMadeBy >> 8;
    return host == 0 || host == 11 || host == 14;
}

std::string NormaliseStoredName(std::string_view raw, unsigned versionMadeBy) {
    std::string name(raw.substr(0, kMaxNameLength));
    if (!DosNamedHost(versionMadeBy))
        return name;
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

bool ParseLocalHeader(const uint8_t* p, LocalHeader* h) {
    if (Le32(p) != kLocalHeaderSig)
        return false;
    h->versionNeeded = Le16(p + 4);
    h->flags = Le16(p + 6);
    h->method = Le16(p + 8);
    h->dosTime = Le16(p + 10);
    h->dosDate = Le16(p + 12);
    h->crc = Le32(p + 14);
    h->compressedSize = Le32(p + 18);
    h->uncompressedSize = Le32(p + 22);
    h->nameLength = Le16(p + 26);
    h->extraLength = Le16(p + 28);
    return true;
}

UnixMode UnixModeOf(const ZipEntry& entry) {
    UnixMode m;
    const unsigned host = entry.versionMadeBy >> 8;
    const uint32_t mode = entry.externalAttributes >> 16;
    if ((host != kHostUnix && host != kHostMacOsX) || mode == 0)
        return m;
    const uint32_t type = mode & 0170000;
    m.isLink = type == 0120000;
    if (type == 0 || type == 0100000 || type == 0040000)
        m.permissions = static_cast<int>(mode & 0777);
    return m;
}

} // namespace km::zip
