#pragma once
// The archive browser's two passes over a RAR archive (RAR 1.5 to 2.x block format).
//
// ListRarArchive adds one entry per file header (directories are left out) with the stored
// name ('\' as stored), the DOS time taken as local time with the seconds cleared, and the
// unpacked size. Returns kRarOk, or kRarFailed (unreadable or truncated archive, bad marker
// or main header, volume archive); the browser then shows "Invalid archive".
//
// ExtractRarArchive writes the wanted files below options.targetDir, decoding unpack versions
// 13/15 (RAR 1.5) and 20 (RAR 2.0, audio mode and solid archives included); unwanted files of
// a solid archive are decoded without being written so later files see the right state. Each
// file goes to a temporary file beside its target and is renamed over it only when complete
// and its CRC32 matches, so a failed or cancelled file never harms an existing one. Stored
// names are reduced to safe relative names ('\' and '/' separate; "", ".", ".." parts and
// drive prefixes dropped); existing symbolic links on the way are never followed.
// Returns:
//   kRarOk        every wanted file was written (or skipped by a "No" to ConfirmOverwrite);
//   kRarFailed    the pass stopped: `message` says why ("Invalid archive", "Could not open
//                 output file", an unsupported unpack version, a CRC error, ...);
//   kRarCancelled the sink's Progress or a password prompt cancelled the pass.
// Files finished before a failure or cancel stay.
#include "archive/ArchiveSink.h"

#include <functional>
#include <string>

namespace km::rar {

enum RarResult {
    kRarOk = 0,
    kRarFailed = -1,
    kRarCancelled = 1,
};

enum class PasswordReuse { Yes, ForAll, No, Cancel };

// How an extraction pass asks for passwords of encrypted files. Without askPassword an
// encrypted wanted file fails the pass with a message.
struct RarPasswordPrompt {
    // "Password for file <name>:" — false when the user cancelled.
    std::function<bool(const std::string& entryName, std::string& password)> askPassword;
    // "Use current password for file <name>?" — asked in non-solid archives for each further
    // encrypted file until ForAll; when unset the current password is reused.
    std::function<PasswordReuse(const std::string& entryName)> askReuse;
};

int ListRarArchive(const std::string& path, ArchiveSink& sink);

int ExtractRarArchive(const std::string& path, const ArchiveExtractOptions& options,
                      ArchiveSink& sink, std::string& message,
                      const RarPasswordPrompt& prompt = {});

// The local DOS date and time of a file header as a UTC file time, seconds cleared.
FileTime RarDosTimeToFileTime(uint32_t dosTime);

// The stored name as a relative path below the target, '/'-separated; empty when nothing
// safe remains.
std::string RarSafeRelativeName(const std::string& stored);

} // namespace km::rar

namespace km::rar {

class ByteSource;

// The listing pass over any byte source (the fuzz target's memory).
int ListRarSource(ByteSource& source, ArchiveSink& sink);

// Decodes every file of the source without writing anything and checks its CRC; `password`
// is used for encrypted files. Returns kRarOk or kRarFailed with `message`.
int TestRarSource(ByteSource& source, const std::string& password, std::string& message);

} // namespace km::rar
