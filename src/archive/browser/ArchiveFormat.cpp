#include "archive/browser/ArchiveFormat.h"

#include "archive/tar_gzip/Decompressor.h"
#include "archive/zip/EndRecordFinder.h"
#include "platform/Collation.h"

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
    if (::pread(fd, bytes.data(), bytes.size(), st.st_size - tail) != tail)
        return false;
    zip::ZipMemoryAccess in(bytes.data(), bytes.size());
    zip::EndRecord end;
    return zip::FindEndRecord(in, 0, &end) == zip::EndSearchResult::Found && end.endsAtEnd;
}

} // namespace

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
        return ArchiveFormat::Rar;
    switch (tar::CompressionOf(b)) {
    case tar::Compression::Xz:
        return ArchiveFormat::Xz;
    case tar::Compression::Bzip2:
        return ArchiveFormat::Bzip2;
    case tar::Compression::Zstd:
        return ArchiveFormat::Zstd;
    default:
        return ArchiveFormat::Tar;
    }
}

ArchiveFormat DetectArchiveFormatOfFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ArchiveFormat::Zip;
    char buf[512];
    const ssize_t n = read(fd, buf, sizeof buf);
    const size_t got = n > 0 ? static_cast<size_t>(n) : 0;
    ArchiveFormat f = DetectArchiveFormat(std::string_view(buf, std::min<size_t>(got, 32)));
    // What would be TAR by elimination, has no TAR magic and ends like a ZIP archive is one.
    const bool ustar = got >= 262 && std::string_view(buf + 257, 5) == "ustar";
    if (f == ArchiveFormat::Tar && !ustar && endsInZipEndRecord(fd))
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
                          "tbz", "zst", "tzst"}) {
        if (EqualsIgnoreCase(ext, a))
            return true;
    }
    return false;
}

} // namespace km
