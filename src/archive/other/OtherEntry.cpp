#include "archive/other/OtherEntry.h"

#include "archive/tar_gzip/TarReader.h"

#include <archive_entry.h>

namespace km {

namespace {

std::string text(const char* raw, const char* utf8) {
    if (raw)
        return raw;
    return utf8 ? utf8 : std::string();
}

} // namespace

std::string StoredName(struct archive_entry* entry) {
    return text(archive_entry_pathname(entry), archive_entry_pathname_utf8(entry));
}

OtherEntryKind KindOf(struct archive_entry* entry) {
    if (archive_entry_hardlink(entry) || archive_entry_hardlink_utf8(entry))
        return OtherEntryKind::HardLink;
    switch (archive_entry_filetype(entry)) {
    case AE_IFDIR:
        return OtherEntryKind::Directory;
    case AE_IFLNK:
        return OtherEntryKind::Symlink;
    case AE_IFREG:
        return OtherEntryKind::File;
    case 0: {
        // ar and some RAR 5 headers store no type: a name ending in "/" is the only hint.
        const std::string name = StoredName(entry);
        return !name.empty() && name.back() == '/' ? OtherEntryKind::Directory
                                                   : OtherEntryKind::File;
    }
    default:
        return OtherEntryKind::Other; // devices, FIFOs and sockets are never written
    }
}

std::string ListedName(struct archive_entry* entry) {
    std::string name = StoredName(entry);
    if (!name.empty() && name.back() != '/' && KindOf(entry) == OtherEntryKind::Directory)
        name += '/';
    return name;
}

std::string SymlinkText(struct archive_entry* entry) {
    return text(archive_entry_symlink(entry), archive_entry_symlink_utf8(entry));
}

std::string HardLinkName(struct archive_entry* entry) {
    return text(archive_entry_hardlink(entry), archive_entry_hardlink_utf8(entry));
}

FileTime ListedTime(struct archive_entry* entry) {
    return TarListedTime(archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : 0);
}

bool CarriesData(struct archive_entry* entry) {
    return archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0;
}

uint64_t ListedSize(struct archive_entry* entry) {
    const OtherEntryKind kind = KindOf(entry);
    const bool file =
        kind == OtherEntryKind::File || (kind == OtherEntryKind::HardLink && CarriesData(entry));
    if (!file || !archive_entry_size_is_set(entry) || archive_entry_size(entry) < 0)
        return 0;
    return static_cast<uint64_t>(archive_entry_size(entry));
}

int StoredMode(struct archive_entry* entry) {
    const int bits = static_cast<int>(archive_entry_perm(entry) & 07777);
    // No bits at all means none were stored (ar members from some tools, DOS-made
    // archives); such a file should still be readable once extracted.
    return bits == 0 ? -1 : bits;
}

} // namespace km
