#pragma once
// Turning archive entries into files, one way for every reader: each entry's
// path is a list of safe components below the target directory, walked without
// following symbolic links (so nothing is ever written through a link, even
// one an earlier entry made); files are written beside their final name and
// renamed into place only when complete and checked; modes never carry
// set-user or set-group rights.
#include "platform/ReplacementFile.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace km {

using ExtractPath = std::vector<std::string>;

struct ExistingEntry {
    bool exists = false;
    bool isDirectory = false; // also a link to a directory
    bool isLink = false;
    uint64_t size = 0;
    int64_t mtime = 0;
};

// What an entry carries besides its bytes.
struct EntryAttributes {
    int64_t mtime = 0; // seconds since 1970, UTC
    long mtimeNanoseconds = 0;
    int mode = -1;         // permission bits stored in the archive; -1: none stored
    bool readOnly = false; // DOS read-only: every write bit cleared
    uint32_t dosBits = 0;  // hidden, system, archive: kept in user.DOSATTRIB
};

class ExtractTarget;

// One file being written. Discarded unless committed.
class ExtractFile {
public:
    // 0 or the errno of the first failed write (ENOSPC...).
    int Write(const void* data, size_t length) { return file_.Write(data, length); }
    // Leaves `length` bytes unwritten, a hole where the file system has them.
    // 0 or errno.
    int Skip(uint64_t length);
    // For a decoder that writes through a descriptor of its own; -1 when not open.
    int Descriptor() { return file_.Descriptor(); }
    // Applies the attributes and renames the file into place; 0 or errno.
    int Commit(const EntryAttributes& attributes);
    void Discard() { file_.Discard(); }

private:
    friend class ExtractTarget;
    ReplacementFile file_;
    mode_t mode_ = 0;     // as created
    bool skipped_ = false; // a hole was left: the length is set at the end
};

class ExtractTarget {
public:
    // Empty means the current directory. The directory itself is the user's
    // choice: a link there is followed, and it is created when missing.
    explicit ExtractTarget(std::string directory);
    ~ExtractTarget();
    ExtractTarget(const ExtractTarget&) = delete;
    ExtractTarget& operator=(const ExtractTarget&) = delete;

    // The path below the target as text, for messages.
    std::string Describe(const ExtractPath& path) const;

    ExistingEntry Lookup(const ExtractPath& path);
    // Every component made a directory; false when one cannot be made or is
    // something else (a file, a link).
    bool CreateDirectories(const ExtractPath& path);
    // Opens the temporary file for `path` (missing directories made). 0 or errno;
    // EACCES for an existing file that is read-only or not ours to write.
    // The entry's stored mode is given as FileMode makes it from the start.
    int OpenFile(const ExtractPath& path, ExtractFile* file, int storedMode = -1);
    // Like OpenFile, MakeSymlink and MakeHardLink refuse (EACCES) to replace a
    // read-only file.
    // `path` becomes a symbolic link holding `linkText` as it is stored: a link
    // may point anywhere, since no later output is written through one.
    int MakeSymlink(const ExtractPath& path, const std::string& linkText);
    // `path` becomes a second name of the file at `existing`, also below the
    // target (a hard link never reaches outside it). 0 or errno. A name this
    // extraction wrote itself may be replaced even when its stored mode made it
    // read-only (`replacesOwnOutput`).
    int MakeHardLink(const ExtractPath& path, const ExtractPath& existing,
                     bool replacesOwnOutput = false);

    // A directory entry's mode and time, applied by FinishDirectories once its
    // contents are in (writing them would change the time, and a restrictive mode
    // could shut later entries out). Only directories this extraction made are
    // changed: a folder that was there keeps its own.
    void SetDirectoryAttributes(const ExtractPath& path, const EntryAttributes& attributes);
    // Deepest first; also done on destruction.
    void FinishDirectories();

    // Permission bits as written: the stored bits without set-user, set-group
    // and sticky, under the umask; -1 gives the usual 0666 under the umask.
    static mode_t FileMode(int storedMode);

private:
    int openRoot(bool create);
    // The directory holding path's last component; -1 (errno set) when a level
    // is missing (without create), not a directory, or a link.
    int parent(const ExtractPath& path, bool create);
    int walk(const ExtractPath& path, size_t levels, bool create);

    std::string root_;
    int rootFd_ = -1;
    std::string cachedKey_;
    std::set<std::string> madeDirectories_; // keys as in walk: "a/b/"
    std::map<std::string, EntryAttributes> directoryAttributes_;
    int cachedFd_ = -1;
};

} // namespace km
