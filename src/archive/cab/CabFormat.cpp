#include "archive/cab/CabFormat.h"

#include "archive/cab/CabBytes.h"
#include "archive/cab/FdiErrors.h"

#include <cstring>

namespace km::cab {

namespace {

// Names in the header and file records are NUL-terminated, at most 255 bytes.
bool ReadString(const uint8_t* data, size_t size, size_t& pos, std::string& out) {
    constexpr size_t kMaxName = 256;
    if (pos >= size)
        return false;
    const size_t limit = size - pos < kMaxName ? size - pos : kMaxName;
    const void* nul = std::memchr(data + pos, 0, limit);
    if (!nul)
        return false;
    const size_t length = static_cast<const uint8_t*>(nul) - (data + pos);
    out.assign(reinterpret_cast<const char*>(data + pos), length);
    pos += length + 1;
    return true;
}

} // namespace

int ParseCabHeader(const uint8_t* data, size_t size, CabHeader& out) {
    if (size < kCabFixedHeaderSize || std::memcmp(data, "MSCF", 4) != 0)
        return FDIERROR_NOT_A_CABINET;
    out = CabHeader{};
    out.cabinetSize = Le32(data + 8);
    out.filesOffset = Le32(data + 16);
    out.versionMinor = data[24];
    out.versionMajor = data[25];
    out.folderCount = Le16(data + 26);
    out.fileCount = Le16(data + 28);
    out.flags = Le16(data + 30);
    out.setId = Le16(data + 32);
    out.cabinetIndex = Le16(data + 34);
    if (out.versionMajor != 1)
        return FDIERROR_UNKNOWN_CABINET_VERSION;

    size_t pos = kCabFixedHeaderSize;
    if (out.flags & kFlagReservePresent) {
        if (size - pos < 4)
            return FDIERROR_CORRUPT_CABINET;
        out.headerReserve = Le16(data + pos);
        out.folderReserve = data[pos + 2];
        out.dataReserve = data[pos + 3];
        pos += 4;
        if (size - pos < out.headerReserve)
            return FDIERROR_CORRUPT_CABINET;
        pos += out.headerReserve;
    }
    if (out.flags & kFlagPrevCabinet) {
        if (!ReadString(data, size, pos, out.prevCabinet) ||
            !ReadString(data, size, pos, out.prevDisk))
            return FDIERROR_CORRUPT_CABINET;
    }
    if (out.flags & kFlagNextCabinet) {
        if (!ReadString(data, size, pos, out.nextCabinet) ||
            !ReadString(data, size, pos, out.nextDisk))
            return FDIERROR_CORRUPT_CABINET;
    }
    out.foldersOffset = pos;
    return FDIERROR_NONE;
}

int ParseCabDirectory(const uint8_t* data, size_t size, const CabHeader& header,
                      std::vector<CabFolder>& folders, std::vector<CabFileRecord>& files) {
    folders.clear();
    files.clear();
    const size_t folderRecord = 8 + static_cast<size_t>(header.folderReserve);
    size_t pos = header.foldersOffset;
    if (pos > size || (size - pos) / folderRecord < header.folderCount)
        return FDIERROR_CORRUPT_CABINET;
    folders.reserve(header.folderCount);
    for (unsigned i = 0; i < header.folderCount; ++i) {
        CabFolder f;
        f.dataOffset = Le32(data + pos);
        f.blockCount = Le16(data + pos + 4);
        f.compression = Le16(data + pos + 6);
        folders.push_back(f);
        pos += folderRecord;
    }

    pos = header.filesOffset;
    if (pos > size)
        return FDIERROR_CORRUPT_CABINET;
    files.reserve(header.fileCount);
    for (unsigned i = 0; i < header.fileCount; ++i) {
        if (size - pos < 16)
            return FDIERROR_CORRUPT_CABINET;
        CabFileRecord r;
        r.size = Le32(data + pos);
        r.folderOffset = Le32(data + pos + 4);
        r.folder = Le16(data + pos + 8);
        r.date = Le16(data + pos + 10);
        r.time = Le16(data + pos + 12);
        r.attributes = Le16(data + pos + 14);
        pos += 16;
        if (!ReadString(data, size, pos, r.name))
            return FDIERROR_CORRUPT_CABINET;
        if (r.folder < kFolderContinuedFromPrev && r.folder >= header.folderCount)
            return FDIERROR_CORRUPT_CABINET;
        if (r.folder >= kFolderContinuedFromPrev && header.folderCount == 0)
            return FDIERROR_CORRUPT_CABINET;
        files.push_back(std::move(r));
    }
    return FDIERROR_NONE;
}

size_t FolderIndexOf(const CabFileRecord& file, const CabHeader& header) {
    if (file.folder == kFolderContinuedToNext)
        return header.folderCount - 1u;
    if (file.folder == kFolderContinuedFromPrev || file.folder == kFolderContinuedPrevAndNext)
        return 0;
    return file.folder;
}

CabDataHeader ParseDataHeader(const uint8_t* data) {
    CabDataHeader h;
    h.checksum = Le32(data);
    h.compressedSize = Le16(data + 4);
    h.uncompressedSize = Le16(data + 6);
    return h;
}

} // namespace km::cab
