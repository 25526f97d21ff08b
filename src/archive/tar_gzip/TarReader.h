#pragma once
// The TAR readers behind the archive browser, for plain tarballs and those compressed with
// gzip, xz, bzip2 or zstd: a listing pass that adds one row per entry and an extraction pass
// that writes the wanted entries below the target directory. A compressed file that holds no
// tarball (server.log.gz) is one row, the file it decompresses to.
//
// Names: plain ustar names with their prefix, GNU long names ('L') and pax 'path' records
// are honoured. Directories ('5' or a name ending in "/") are created with restorePaths;
// files, sparse files (old GNU and pax forms, holes kept), symbolic and hard links are
// written through the extraction layer; devices and FIFOs are listed but never written.
// Output never leaves options.targetDir, nothing is written through a link, and each file
// is renamed into place only when complete, so a failure or a cancel leaves an existing
// file as it was.
#include "archive/ArchiveSink.h"
#include "archive/tar_gzip/Decompressor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace km {

namespace tar {
class TarEntryHandler;
}

// Results of the passes. Message numbers are those of the string table.
constexpr int kTarOk = 0;
constexpr int kTarCancelled = 1;           // ArchiveSink::Progress asked to stop
constexpr int kTarDamaged = 2;             // listing: rows were added, then the damage began
constexpr int kTarNotEnoughMemory = 4177;  // "Not enough memory"
constexpr int kTarCannotOpenOutput = 4198; // "Cannot open output file"
constexpr int kTarWriteError = 4200;       // "Error writing output file"
constexpr int kTarInvalidArchive = 15002;  // "Invalid archive"

// One problem of an extraction pass, in the order met: code 4198 or 4200 with the output
// path, or 15002 (no name) when the archive turned out damaged.
struct TarProblem {
    int code = 0;
    std::string name;
};

struct TarReport {
    std::vector<TarProblem> problems;
};

// Listing pass: AddEntry for every entry (directories with their trailing "/", names exactly
// as stored), modification time at the DOS resolution the browser shows (local time, seconds
// dropped, years 1980-2107) as UTC file time, 64-bit size.
// Returns kTarOk, kTarDamaged (rows were listed before a damaged header or stream or the
// end of a truncated file), kTarInvalidArchive (not a tarball, damaged from the start, an
// unreadable file) or kTarNotEnoughMemory.
int ListTarArchive(const std::string& path, tar::Compression compression, ArchiveSink& sink);

// Extraction pass. For every file entry IsWanted(stored name); an existing output file is
// replaced only when ConfirmOverwrite says so; ShowEntry(output path relative to the target)
// before writing; Progress(bytes written) at every entry and every piece, stopping when it
// returns true. With stopAfterFirst the pass ends after the first file written.
// Returns kTarOk; kTarCancelled; kTarInvalidArchive when the archive is damaged or
// truncated (a file cut short is not left behind); or, when the archive was read through but
// some output failed, the code of the first problem (kTarCannotOpenOutput, kTarWriteError).
// `report`, when given, receives every problem.
int ExtractTarArchive(const std::string& path, tar::Compression compression,
                      const ArchiveExtractOptions& options, ArchiveSink& sink,
                      TarReport* report = nullptr);

// The same passes over an archive in memory, fed in pieces of `pieceSize` bytes (for the
// fuzz target and the tests of uneven input). A lone compressed file there is named "data".
int ListTarMemory(const uint8_t* data, size_t size, tar::Compression compression,
                  ArchiveSink& sink, size_t pieceSize = 64 * 1024);
int ExtractTarMemory(const uint8_t* data, size_t size, tar::Compression compression,
                     const ArchiveExtractOptions& options, ArchiveSink& sink,
                     TarReport* report = nullptr, size_t pieceSize = 64 * 1024);

// A pass over an archive in memory that hands every entry and its data to `handler` instead
// of writing anything (the fuzz target's way through the data path). Results as the listing.
int ScanTarMemory(const uint8_t* data, size_t size, tar::Compression compression,
                  tar::TarEntryHandler& handler, size_t pieceSize = 64 * 1024);

// The file time the browser lists for a TAR time stamp (see ListTarArchive).
FileTime TarListedTime(int64_t unixSeconds);

} // namespace km
