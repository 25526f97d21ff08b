#include "archive/browser/ArchiveFormat.h"

#include "platform/Collation.h"

#include <fcntl.h>
#include <unistd.h>

namespace km {

ArchiveFormat DetectArchiveFormat(std::string_view b) {
    if (b.empty() || b.substr(0, 4) == std::string_view("PK\x03\x04", 4))
        return ArchiveFormat::Zip;
    if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0x1F && static_cast<unsigned char>(b[1]) == 0x8B)
        return ArchiveFormat::Gzip;
    if (b.substr(0, 4) == "MSCF")
        return ArchiveFormat::Cab;
    if (b.substr(0, 7) == std::string_view("Rar!\x1A\x07\x00", 7))
        return ArchiveFormat::Rar;
    return ArchiveFormat::Tar;
}

ArchiveFormat DetectArchiveFormatOfFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ArchiveFormat::Zip;
    char buf[32];
    const ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    return DetectArchiveFormat(std::string_view(buf, n > 0 ? static_cast<size_t>(n) : 0));
}

bool IsArchiveName(std::string_view name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view ext = name.substr(dot + 1);
    for (const char* a : {"zip", "tgz", "gz", "tar", "cab", "rar"}) {
        if (EqualsIgnoreCase(ext, a))
            return true;
    }
    return false;
}

} // namespace km
