#include "archive/zip/EndRecordFinder.h"

#include "archive/zip/ZipBytes.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace km::zip {

namespace {

constexpr size_t kBlock = 16 * 1024;
constexpr size_t kRecordSize = 22;
const uint8_t kSig[4] = {0x50, 0x4b, 0x05, 0x06};

// Boyer-Moore-Horspool run backwards: the window's first byte decides the shift, which is
// the distance to that byte's nearest occurrence further into the signature.
struct ReverseSkip {
    size_t shift[256];
    ReverseSkip() {
        for (auto& s : shift)
            s = sizeof kSig;
        for (size_t k = sizeof kSig - 1; k >= 1; --k)
            shift[kSig[k]] = k;
    }
};

const ReverseSkip& skip() {
    static const ReverseSkip s;
    return s;
}

} // namespace

bool ZipMemoryAccess::ReadAt(uint64_t offset, uint8_t* dst, size_t length) {
    if (offset > size_ || length > size_ - offset)
        return false;
    if (length != 0)
        std::memcpy(dst, data_ + offset, length);
    return true;
}

void ParseEndRecord(const uint8_t* p, EndRecord* out) {
    out->thisDisk = Le16(p + 4);
    out->centralDisk = Le16(p + 6);
    out->entriesThisDisk = Le16(p + 8);
    out->totalEntries = Le16(p + 10);
    out->centralSize = Le32(p + 12);
    out->centralOffset = Le32(p + 16);
    out->commentLength = Le16(p + 20);
}

EndSearchResult FindEndRecord(ZipRandomAccess& in, uint64_t window, EndRecord* out) {
    const uint64_t size = in.Size();
    if (size < sizeof kSig)
        return EndSearchResult::NotFound;
    const uint64_t limit = (window != 0 && window < size) ? size - window : 0;
    std::vector<uint8_t> block(kBlock);
    bool haveFallback = false;
    EndRecord fallback;
    uint64_t blockEnd = size;
    const ReverseSkip& table = skip();
    while (blockEnd > limit && blockEnd - limit >= sizeof kSig) {
        const uint64_t blockStart =
            std::max<uint64_t>(limit, blockEnd > kBlock ? blockEnd - kBlock : 0);
        const size_t n = static_cast<size_t>(blockEnd - blockStart);
        if (!in.ReadAt(blockStart, block.data(), n))
            return EndSearchResult::ReadError;
        size_t i = n - sizeof kSig;
        for (;;) {
            if (std::memcmp(block.data() + i, kSig, sizeof kSig) == 0) {
                const uint64_t pos = blockStart + i;
                uint8_t rec[kRecordSize];
                // A hit too close to the end to hold a record is only comment text.
                if (pos + kRecordSize <= size) {
                    if (!in.ReadAt(pos, rec, kRecordSize))
                        return EndSearchResult::ReadError;
                    EndRecord r;
                    ParseEndRecord(rec, &r);
                    r.position = pos;
                    r.endsAtEnd = pos + kRecordSize + r.commentLength == size;
                    if (r.endsAtEnd) {
                        *out = r;
                        return EndSearchResult::Found;
                    }
                    fallback = r;
                    haveFallback = true;
                }
                if (i == 0)
                    break;
                --i;
                continue;
            }
            const size_t s = table.shift[block[i]];
            if (i < s)
                break;
            i -= s;
        }
        if (blockStart == limit)
            break;
        // Overlap by one byte less than the signature so no hit is seen twice.
        blockEnd = blockStart + sizeof kSig - 1;
    }
    if (!haveFallback)
        return EndSearchResult::NotFound;
    *out = fallback;
    return EndSearchResult::Found;
}

bool ApplyZip64EndRecord(ZipRandomAccess& in, EndRecord* record) {
    if (record->position < 20)
        return true;
    uint8_t loc[20];
    const uint64_t locPos = record->position - 20;
    if (!in.ReadAt(locPos, loc, sizeof loc) || Le32(loc) != kZip64LocatorSig)
        return true;
    const uint64_t stated = Le64(loc + 8);
    uint8_t z[56];
    uint64_t zpos = stated;
    bool found = stated <= locPos && locPos - stated >= sizeof z &&
                 in.ReadAt(stated, z, sizeof z) && Le32(z) == kZip64EndRecordSig;
    if (!found && locPos >= sizeof z) {
        // Data glued in front moves the record; it normally sits right before the locator.
        zpos = locPos - sizeof z;
        found = in.ReadAt(zpos, z, sizeof z) && Le32(z) == kZip64EndRecordSig;
    }
    if (!found)
        return false;
    record->zip64 = true;
    record->zip64Position = zpos;
    if (record->thisDisk == 0xffff)
        record->thisDisk = Le32(z + 16);
    if (record->centralDisk == 0xffff)
        record->centralDisk = Le32(z + 20);
    if (record->entriesThisDisk == 0xffff)
        record->entriesThisDisk = Le64(z + 24);
    if (record->totalEntries == 0xffff)
        record->totalEntries = Le64(z + 32);
    if (record->centralSize == 0xffffffffu)
        record->centralSize = Le64(z + 40);
    if (record->centralOffset == 0xffffffffu)
        record->centralOffset = Le64(z + 48);
    return true;
}

} // namespace km::zip
