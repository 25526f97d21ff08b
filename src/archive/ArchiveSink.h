#pragma once
// What the archive browser offers the TAR, GZIP, RAR and CAB readers: rows
// while listing, and while extracting the choice of entries, the overwrite
// question, progress and the cancel request. The readers are plain C++ and
// know nothing of windows.
#include "platform/FileTime.h"

#include <cstdint>
#include <string>

namespace km {

class ArchiveSink {
public:
    virtual ~ArchiveSink() = default;

    // Listing: one entry as the archive names it (separators as stored),
    // its modification time (UTC file time) and uncompressed size.
    virtual void AddEntry(const std::string& name, FileTime modified, uint64_t size) = 0;

    // Extracting: whether the entry of this name is to be written.
    virtual bool IsWanted(const std::string& name) = 0;
    // Before an existing file at `outputPath` is replaced: true to write the
    // entry, false to skip it (the answer may also have set the cancel request).
    virtual bool ConfirmOverwrite(const std::string& outputPath, uint64_t size, FileTime modified) = 0;
    // The entry being written, for the status line.
    virtual void ShowEntry(const std::string& name) = 0;
    // Bytes of wanted entries written so far in this pass; lets the window
    // breathe. Returns true when the user cancelled; the reader then stops.
    virtual bool Progress(uint64_t bytesDone) = 0;
};

struct ArchiveExtractOptions {
    std::string targetDir;      // where the entries go (never the process's directory)
    bool restorePaths = false;  // recreate stored directories below targetDir
    bool stopAfterFirst = false; // the first wanted file is enough (view, edit, execute)
};

} // namespace km
