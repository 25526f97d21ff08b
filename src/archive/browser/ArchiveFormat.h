#pragma once
// Which reader an archive needs, told by its first bytes, never its name.
#include <string>
#include <string_view>

namespace km {

// Xz, Bzip2 and Zstd are tarballs (or lone files) in those compressions.
enum class ArchiveFormat : int { Zip = 1, Gzip = 2, Tar = 3, Cab = 4, Rar = 5, Xz = 6, Bzip2 = 7, Zstd = 8 };

// A ZIP local header (or split-set marker), GZIP's two bytes, "MSCF", the RAR
// marker, the xz, bzip2 and zstd magics; anything else that could be read is
// TAR; an empty or unreadable file counts as ZIP (its reader then says what is
// wrong). For a file, TAR without its magic that ends in a ZIP end record is
// ZIP (a split set's last part, an archive behind a self-extractor).
ArchiveFormat DetectArchiveFormat(std::string_view firstBytes);
ArchiveFormat DetectArchiveFormatOfFile(const std::string& path);

// Names the panels open in the archive browser instead of running them:
// .ZIP .TGZ .GZ .TAR .CAB .RAR, .Z01 (a split set's first part), and the
// compressed tarballs .XZ .TXZ .BZ2 .TBZ2 .TBZ .ZST .TZST, in any case.
bool IsArchiveName(std::string_view name);

} // namespace km
