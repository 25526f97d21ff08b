#include "archive/browser/ArchiveFormat.h"

#include "archive/rar/RarFormat.h"

#include "archive/other/OtherArchiveReader.h"
#include "archive/tar_gzip/Decompressor.h"
#include "archive/zip/EndRecordFinder.h"
#include "platform/Collation.h"
#include "platform/ReadAt.h"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

namespace {

// The last bytes hold a ZIP end record whose comment ends the file: a split
// set's last part, or an archive behind a self-extractor.
bool endsInZipEndRecord(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 22)
        return false;
    const off_t tail = std::min<off_t>(st.st_size, 22 + 65535);
    std::vector<uint8_t> bytes(static_cast<size_t>(tail));
    if (ReadAt(fd, static_cast<uint64_t>(st.st_size - tail), bytes.data(), bytes.size()) != bytes.size())
        return false;
    zip::ZipMemoryAccess in(bytes.data(), bytes.size());
    zip::EndRecord end;
    return zip::FindEndRecord(in, 0, &end) == zip::EndSearchResult::Found && end.endsAtEnd;
}

} // namespace

constexpr size_t kFirstBytes = 64 * 1024;
constexpr size_t kProgramBytes = 1024 * 1024;

bool NeedsLaterRarReader(std::string_view b) {
    const auto byte = [&](size_t at) { return static_cast<uint8_t>(b[at]); };
    const auto le16 = [&](size_t at) { return static_cast<uint32_t>(byte(at) | byte(at + 1) << 8); };
    constexpr size_t kMarker = 7;
    if (b.size() < kMarker + 7)
        return false;
    // Encrypted headers came with RAR 3.
    if (byte(kMarker + 2) == 0x73 && (le16(kMarker + 3) & 0x80))
        return true;
    // The first file header's unpack version; other blocks are stepped over.
    size_t at = kMarker;
    while (at + 7 <= b.size()) {
        const uint8_t type = byte(at + 2);
        const uint32_t flags = le16(at + 3), size = le16(at + 5);
        if (size < 7)
            return false;
        if (type == 0x74)
            return at + 25 <= b.size() && byte(at + 24) > 20;
        uint64_t next = at + size;
        if ((flags & 0x8000) && at + 11 <= b.size())
            next += le16(at + 7) | static_cast<uint64_t>(le16(at + 9)) << 16;
        at = static_cast<size_t>(std::min<uint64_t>(next, b.size()));
    }
    return false;
}

ArchiveFormat DetectArchiveFormat(std::string_view b) {
    // A local header, or the marker that opens the first part of a split or spanned set.
    if (b.empty() || b.substr(0, 4) == std::string_view("PK\x03\x04", 4) ||
        b.substr(0, 4) == std::string_view("PK\x07\x08", 4) || b.substr(0, 4) == "PK00")
        return ArchiveFormat::Zip;
    if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0x1F &&
        static_cast<unsigned char>(b[1]) == 0x8B)
        return ArchiveFormat::Gzip;
    if (b.substr(0, 4) == "MSCF")
        return ArchiveFormat::Cab;
    if (b.substr(0, 7) == std::string_view("Rar!\x1A\x07\x00", 7))
        return NeedsLaterRarReader(b) ? ArchiveFormat::Other : ArchiveFormat::Rar;
    switch (tar::CompressionOf(b)) {
    case tar::Compression::Xz:
        return ArchiveFormat::Xz;
    case tar::Compression::Bzip2:
        return ArchiveFormat::Bzip2;
    case tar::Compression::Zstd:
        return ArchiveFormat::Zstd;
    default:
        break;
    }
    const bool ustar = b.size() >= 262 && b.substr(257, 5) == "ustar";
    if (!ustar && OtherArchiveFormatName(reinterpret_cast<const uint8_t*>(b.data()), b.size()))
        return ArchiveFormat::Other;
    return ArchiveFormat::Tar;
}

ArchiveFormat DetectArchiveFormatOfFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ArchiveFormat::Zip;
    // Enough for an ISO 9660 volume descriptor; a program file gets a megabyte, where a
    // self-extractor's archive follows its stub.
    std::vector<char> buf(kFirstBytes);
    size_t got = ReadAt(fd, 0, buf.data(), buf.size());
    const bool program = got >= 4 && (std::string_view(buf.data(), 2) == "MZ" ||
                                      std::string_view(buf.data(), 4) == "\x7f" "ELF");
    if (program && got == buf.size()) {
        buf.resize(kProgramBytes);
        got += ReadAt(fd, got, buf.data() + got, buf.size() - got);
    }
    const std::string_view b(buf.data(), got);
    ArchiveFormat f = DetectArchiveFormat(b.substr(0, kFirstBytes));
    if (f == ArchiveFormat::Tar && program) {
        // A self-extractor of a RAR version our own reader reads.
        const size_t at = rar::FindRarArchiveStart(reinterpret_cast<const uint8_t*>(b.data()), b.size());
        if (at != SIZE_MAX && !NeedsLaterRarReader(b.substr(at)))
            f = ArchiveFormat::Rar;
    }
    if (f == ArchiveFormat::Tar && program &&
        OtherArchiveOffset(reinterpret_cast<const uint8_t*>(b.data()), b.size()))
        f = ArchiveFormat::Other; // a self-extractor's 7-Zip or RAR archive
    // What would be TAR by elimination, has no TAR magic and ends like a ZIP archive is one.
    const bool ustar = b.size() >= 262 && b.substr(257, 5) == "ustar";
    if ((f == ArchiveFormat::Tar || f == ArchiveFormat::Other) && !ustar && endsInZipEndRecord(fd))
        f = ArchiveFormat::Zip;
    close(fd);
    return f;
}

bool IsArchiveName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view ext = name.substr(dot + 1);
    for (const char* a : {"zip", "z01", "tgz", "gz", "tar", "cab", "rar", "xz", "txz", "bz2", "tbz2",
                          "tbz", "zst", "tzst", "7z", "iso", "cpio", "deb", "rpm", "xar", "lzh",
                          "lha"}) {
        if (EqualsIgnoreCase(ext, a))
            return true;
    }
    return false;
}

} // namespace km
