#pragma once
// What the passes need of a libarchive entry, in the terms of this program's readers.
#include "platform/FileTime.h"

#include <cstdint>
#include <string>

struct archive_entry;

namespace km {

// Why an entry is missing when libarchive could give no name for it.
inline constexpr const char* kNamelessEntry = "an entry without a readable name was left out";

enum class OtherEntryKind { Directory, File, Symlink, HardLink, Other };

OtherEntryKind KindOf(struct archive_entry* entry);

// The stored name: the bytes as the archive holds them, or UTF-8 where libarchive had to
// convert (7-Zip and xar names under a non-UTF-8 locale). Empty when there is none.
std::string StoredName(struct archive_entry* entry);
// As the browser lists it: directories end in "/".
std::string ListedName(struct archive_entry* entry);
// The link text of a symbolic link, the other name of a hard link (empty when none).
std::string SymlinkText(struct archive_entry* entry);
std::string HardLinkName(struct archive_entry* entry);

FileTime ListedTime(struct archive_entry* entry);
// Files' uncompressed sizes; directories and links list 0.
uint64_t ListedSize(struct archive_entry* entry);
// A hard link that brings the file's bytes with it (cpio keeps them with the last name).
bool CarriesData(struct archive_entry* entry);
// The stored permission bits, -1 when the archive keeps none.
int StoredMode(struct archive_entry* entry);

} // namespace km
