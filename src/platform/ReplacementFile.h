#pragma once
// The one way this program replaces or creates a file: the bytes go to a
// temporary file beside the target (".km-<name>-XXXXXX", so a crash leaves at
// most such a file), which is renamed over the target only when complete.
// Discard (also the destructor) removes the temporary file and leaves the
// target as it was. A durable commit syncs the file before the rename and the
// directory after it; callers ask for it when the next step destroys the only
// other copy (a moved source, a replaced target, the settings file).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <sys/types.h>

namespace km {

class ReplacementFile {
public:
    // For Create: the existing target's permission bits, or 0666 less the
    // umask for a new file.
    static constexpr mode_t kKeepMode = static_cast<mode_t>(-1);

    ReplacementFile() = default;
    ~ReplacementFile() { Discard(); }
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Opens the temporary file for `target` (the name itself: a symbolic link
    // there is replaced, not written through). `mode` is applied as it is.
    // Returns 0 or an errno value (EISDIR for a directory or a link to one).
    int Create(const std::string& target, mode_t mode = kKeepMode);
    // The same for `name` (one component) in an open directory, for callers
    // that reached the directory without following links (archive output).
    int CreateAt(int directoryFd, const std::string& name, mode_t mode = kKeepMode);
    // For a file that nothing has the name of yet: makes `name` itself in
    // `directoryFd`, exclusively (EEXIST when anything has that name, which
    // then goes the way of CreateAt), saving the rename. Until Commit gives
    // it `mode` it has no permission bits, so a copy killed midway leaves a
    // file that passes for nothing; Discard removes it. The descriptor is
    // borrowed: keep it open until Commit or Discard.
    int CreateNewAt(int directoryFd, const std::string& name, mode_t mode);
    // For a download that may be interrupted and resumed: the temporary file
    // has a fixed name for `target` (".km-<name>-partial"). `resume` opens
    // what an earlier attempt left (Size() tells how much) and appends;
    // otherwise it starts empty. Keep() instead of Discard() leaves it.
    int CreatePartial(const std::string& target, bool resume);
    // The size of what a kept partial file holds for `target`, or -1.
    static int64_t PartialSize(const std::string& target);
    // Closes and keeps a partial file that holds any bytes (else discards).
    int Keep();
    // Empties the file to start over (a server that cannot resume).
    int Restart();
    // Starts the disk writing what the file holds so far, without waiting for
    // it. For long downloads: left to the end, the file system may write it
    // all inside the rename over an old target, holding the caller there.
    void WriteBehind();
    // Bytes in the file, with a resumed file's earlier ones.
    uint64_t Size() const { return size_; }
    bool IsOpen() const { return fd_ >= 0; }
    bool TargetExisted() const { return targetExisted_; }
    const std::string& TempPath() const { return temp_; }

    // Appends bytes, gathered into large writes. 0 or the errno of the first
    // failed write (ENOSPC, EFBIG...), which every later call repeats.
    int Write(const void* data, size_t length);
    // The open descriptor with everything gathered written out, for callers
    // that write or set attributes themselves; -1 when not open or failed.
    int Descriptor();

    // Writes what is gathered, closes and renames over the target. A target
    // that did not exist at Create is never replaced by one that appeared
    // since (EEXIST). 0 or an errno value; on failure the temporary file is
    // gone and the target untouched.
    int Commit(bool durable);
    // Commit under another name in the same directory (one component), replacing
    // what is there: for a writer that learns the final name only at the end.
    int CommitAs(const std::string& name, bool durable);
    void Discard();

private:
    enum class Temp { Unique, PartialNew, PartialResume };
    int create(const std::string& target, mode_t mode, Temp kind);
    int flush();
    int commitInPlace(int err, bool durable);
    int open(int directoryFd, const std::string& name, mode_t mode, Temp kind);
    void removeTemp();

    int dirFd_ = -1; // owned unless borrowedDir_
    bool borrowedDir_ = false;
    bool inPlace_ = false; // CreateNewAt: the target itself, no temporary name
    mode_t finalMode_ = 0;
    int fd_ = -1;
    int error_ = 0;
    bool targetExisted_ = false;
    bool partial_ = false;
    uint64_t size_ = 0;
    uint64_t writtenBehind_ = 0;
    std::string name_;     // the target's last component
    std::string tempName_; // the temporary file's, in the same directory
    std::string temp_;     // for messages: the temporary file's whole path
    std::unique_ptr<char[]> pending_;
    size_t pendingLength_ = 0;
};

// False when `path` is a regular file (not a link to one) that its owner protected
// (write bit clear) or that this user may not write: such a file is never
// replaced, whatever the overwrite answer.
bool MayReplace(const std::string& path);
// The same for `name` in an open directory.
bool MayReplaceAt(int directoryFd, const std::string& name);

// Makes `target` a symbolic link to `linkText` through a temporary link and a
// rename, under the same rule for a target that did not exist. 0 or errno.
int ReplaceWithSymlink(const std::string& target, const std::string& linkText, bool targetExisted);
// The same for `name` in an open directory.
int ReplaceWithSymlinkAt(int directoryFd, const std::string& name, const std::string& linkText,
                         bool targetExisted);

// Renames `from` to `to`; when `to` did not exist before (`targetExisted`
// false), refuses with EEXIST to replace whatever appeared there since.
int RenameInto(const std::string& from, const std::string& to, bool targetExisted);
// The same for two names in one open directory.
int RenameIntoAt(int directoryFd, const std::string& from, const std::string& to,
                 bool targetExisted);

// The process's umask, read once (changing it to read it races with other threads).
mode_t ProcessUmask();

// fsync of the directory holding `path`; best effort.
void SyncParentDirectory(const std::string& path);
// Flushes the whole file system holding `path` (one call for a moved tree
// instead of one fsync per file). 0 or the errno of a failed write-back, which
// means what was copied may not be on the disk.
int SyncFileSystemOf(const std::string& path);

} // namespace km
