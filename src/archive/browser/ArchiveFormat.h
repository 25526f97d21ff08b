#pragma once
// Which reader an archive needs, told by its first bytes, never its name.
#include <string>
#include <string_view>

namespace km {

enum class ArchiveFormat : int { Zip = 1, Gzip = 2, Tar = 3, Cab = 4, Rar = 5 };

// A ZIP local header, GZIP's two bytes, "MSCF", the RAR marker; anything
// else that could be read is TAR; an empty or unreadable file counts as ZIP
// (its reader then says what is wrong).
ArchiveFormat DetectArchiveFormat(std::string_view firstBytes);
ArchiveFormat DetectArchiveFormatOfFile(const std::string& path);

// Names the panels open in the archive browser instead of running them:
// .ZIP .TGZ .GZ .TAR .CAB .RAR, in any case.
bool IsArchiveName(std::string_view name);

} // namespace km
