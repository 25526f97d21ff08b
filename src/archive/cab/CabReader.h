#pragma once
// The archive browser's two passes over a cabinet file, through the decompressor.
//
// ListCabinet adds one entry per file that starts in the cabinet (name as stored, with '\',
// DOS time taken as local time, size). Returns kCabOk, or kCabFailed with `error` holding the
// messages to show, one per line, after which the browser closes.
//
// ExtractCabinet writes the wanted files below options.targetDir. Each file goes to a temporary
// file beside its target and is renamed over the target only when all its bytes arrived, so an
// existing file is never lost to a failed or cancelled copy. Stored names are reduced to safe
// relative names ('\' and '/' separate, "..", "." and empty parts and drive prefixes dropped);
// their directories are created only with options.restorePaths, otherwise they must exist.
// Returns:
//   kCabOk         every wanted file was written;
//   kCabFailed     nothing was copied: `error` is the message to show (decompressor not made,
//                  archive not opened, or "Invalid archive");
//   kCabIncomplete the copy stopped or some wanted file could not be written; `error` holds
//                  one line per file that could not be written ("Cannot open output file"
//                  or "Error writing output file" and its path), or the next-cabinet message
//                  when a missing cabinet of the set stopped it, or the decompressor's reason
//                  and the file it stopped in (files already written stay);
//   kCabCancelled  the sink reported a cancel request (through Progress).
#include "archive/ArchiveSink.h"

#include <cstdint>
#include <string>

namespace km::cab {

enum CabResult {
    kCabOk = 0,
    kCabFailed = 1,
    kCabIncomplete = 2,
    kCabCancelled = 3,
};

int ListCabinet(const std::string& path, ArchiveSink& sink, std::string& error);

int ExtractCabinet(const std::string& path, const ArchiveExtractOptions& options, ArchiveSink& sink,
                   std::string& error);

// The local DOS date and time of a cabinet file record as a UTC file time.
FileTime CabDosTimeToFileTime(uint16_t date, uint16_t time);

// The stored name as a relative path below the target, '/'-separated; empty when nothing
// safe remains.
std::string CabSafeRelativeName(const std::string& stored);

} // namespace km::cab
