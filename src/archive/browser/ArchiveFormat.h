#pragma once
// Which reader an archive needs, told by its first bytes, never its name.
#include <string>
#include <string_view>

namespace km {

// Xz, Bzip2 and Zstd are tarballs (or lone files) in those compressions; Other
// is any format read through libarchive (7-Zip, RAR 3 and 5, ISO 9660, cpio,
// .deb, RPM, xar, LHA).
enum class ArchiveFormat : int {
    Zip = 1, Gzip = 2, Tar = 3, Cab = 4, Rar = 5, Xz = 6, Bzip2 = 7, Zstd = 8, Other = 9
};

// A ZIP local header (or split-set marker), GZIP's two bytes, "MSCF", the RAR
// marker, the xz, bzip2 and zstd magics; anything else that could be read is
// TAR; an empty or unreadable file counts as ZIP (its reader then says what is
// wrong). For a file, TAR without its magic that ends in a ZIP end record is
// ZIP (a split set's last part, an archive behind a self-extractor).
// A RAR 3 archive is Other, and so is what the TAR rule would take but
// libarchive knows; the file's test also finds archives behind a
// self-extractor's stub.
ArchiveFormat DetectArchiveFormat(std::string_view firstBytes);
ArchiveFormat DetectArchiveFormatOfFile(const std::string& path);

// The RAR marker opens an archive of RAR 3 or 4 (encrypted headers, or a first
// file packed by a version after 2.0): one for libarchive.
bool NeedsLaterRarReader(std::string_view firstBytes);

// Names the panels open in the archive browser instead of running them:
// .ZIP .TGZ .GZ .TAR .CAB .RAR, .Z01 (a split set's first part), the
// compressed tarballs .XZ .TXZ .BZ2 .TBZ2 .TBZ .ZST .TZST, and .7Z .ISO
// .CPIO .DEB .RPM .XAR .LZH .LHA, in any case.
bool IsArchiveName(std::string_view name);

} // namespace km
