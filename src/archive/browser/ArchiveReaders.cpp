#include "archive/browser/ArchiveReaders.h"

namespace km {
namespace {

const char* unreadable(ArchiveFormat format) {
    switch (format) {
    case ArchiveFormat::Gzip: return "GZIP archives cannot be read by this version";
    case ArchiveFormat::Tar: return "TAR archives cannot be read by this version";
    case ArchiveFormat::Cab: return "Cabinet files cannot be read by this version";
    case ArchiveFormat::Rar: return "RAR archives cannot be read by this version";
    default: return "Invalid archive";
    }
}

} // namespace

bool ListArchive(ArchiveFormat format, const std::string&, ArchiveSink&, std::string& message) {
    message = unreadable(format);
    return false;
}

bool ExtractArchive(ArchiveFormat format, const std::string&, const ArchiveExtractOptions&, ArchiveSink&,
                    std::string& message) {
    message = unreadable(format);
    return false;
}

} // namespace km
