#pragma once
// The archive formats beyond the program's own readers, read through libarchive: 7-Zip,
// RAR 3.x/4.x and RAR 5 (also behind a self-extractor stub), ISO 9660, cpio, ar (.deb),
// RPM, xar and LHA. ZIP, TAR, CAB and old RAR stay with the program's own readers and are
// never enabled here.
//
// Messages are one line naming the format and the reason ("7-Zip: ..."); "Invalid archive"
// only when the bytes are no archive of these formats at all. Output goes through the
// extraction layer: names never leave the target, nothing is written through a link, each
// file is renamed into place only when complete.
#include "archive/ArchiveSink.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace km {

// Asks for a password; false when the user cancelled.
using OtherPasswordFn = std::function<bool(const std::string& entryName, std::string& password)>;

// Listing pass: one AddEntry per entry (directories with a trailing "/"), the modification
// time at the resolution the browser lists, the uncompressed size of files (0 for the rest).
// False with `message` when nothing could be listed (empty when a password prompt was
// cancelled). When the archive turns out damaged after some rows, the rows stay, the result
// is true and `message` holds the line to show.
bool ListOtherArchive(const std::string& path, ArchiveSink& sink, std::string& message,
                      const OtherPasswordFn& askPassword = {});

// Extraction pass of the entries sink.IsWanted (by their listed names) into
// options.targetDir. An output problem ("Cannot open output file <path>", "Error writing
// output file <path>") or a damaged entry does not stop the pass; the result is then false
// with the first problem's line. A cancel (Progress, the overwrite question, the password
// prompt) ends the pass with true and no message. libarchive decrypts none of these formats
// (3.6): an encrypted wanted entry is never written and says so.
bool ExtractOtherArchive(const std::string& path, const ArchiveExtractOptions& options,
                         ArchiveSink& sink, std::string& message,
                         const OtherPasswordFn& askPassword = {});

// The listing pass over bytes in memory.
bool ListOtherArchiveMemory(const uint8_t* data, size_t size, ArchiveSink& sink,
                            std::string& message);

// The format's name ("7-Zip", "RAR", "RAR 5", "ISO 9660", "cpio", "ar", "ar (deb)", "RPM",
// "xar", "LHA") when these first bytes of a file are an archive libarchive reads here.
// An ISO 9660 image needs its first 48 KiB; a self-extractor's archive lies beyond its stub,
// so only the whole file tells.
std::optional<std::string> OtherArchiveFormatName(const uint8_t* data, size_t size);

// Where in these bytes (a file's first megabyte or so) an archive libarchive reads here
// begins: 0 when they open with one, else the first 7-Zip or RAR signature that starts
// one (the archive behind a self-extractor's stub); nothing when there is none.
std::optional<size_t> OtherArchiveOffset(const uint8_t* data, size_t size);

} // namespace km
