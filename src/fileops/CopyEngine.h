#pragma once
// Copies and moves files and trees. A file that replaces another is written
// to a temporary name in the target directory and renamed over the target only
// when it is complete, so a failed or cancelled copy never damages an existing
// file; a new file is made under its own name, unreadable until complete, and
// removed if the copy fails. A read-only target, a directory, a pipe or a
// device is never replaced, and a move removes its source only after a
// complete, synced copy. Trees are read by descriptors, never through a link.
#include "fileops/FileOpUi.h"

#include <memory>
#include <string>
#include <sys/stat.h>

namespace km {

class ReplacementFile;
class WalkLevel;

// Results of CopyOneFile and MoveOneFile.
enum CopyResult : int { CopyDone = 0, CopyNotDone = 1, CopyCancelled = -1 };

class CopyEngine {
public:
    explicit CopyEngine(FileOpUi& ui);

    // Operation state, reset by each command.
    bool onlyNewer = false;
    bool yesToAll = false;
    int entryCount = 1;
    bool confirmOverwrite = true; // "BevestigingOverwrite"
    bool recycle = false;         // how a moved tree's source is removed

    bool cancelled() const { return cancelled_; }
    void cancel() { cancelled_ = true; }

    // `target` is a directory when `intoDirectory`, else a directory part
    // plus a name pattern for ApplyRenamePattern.
    int CopyOneFile(const std::string& source, const std::string& target, bool intoDirectory);
    int CopyTree(const std::string& sourceDir, const std::string& target, bool intoDirectory);
    int MoveOneFile(const std::string& source, const std::string& target, bool intoDirectory);
    int MoveTree(const std::string& sourceDir, const std::string& target, bool intoDirectory);

    // Target file or directory name for `source` (exposed for the commands).
    static std::string TargetName(const std::string& source, const std::string& target,
                                  bool intoDirectory);

private:
    // Where an entry is: the open directory it is in (AT_FDCWD for a path of
    // the user's), its name there, and its whole path for the messages.
    struct Place {
        int dir;
        const std::string& name;
        const std::string& path;
    };
    struct Fd {
        int fd = -1; // closed at the end unless AT_FDCWD
        Fd() = default;
        Fd(const Fd&) = delete;
        Fd& operator=(const Fd&) = delete;
        ~Fd();
    };
    // Opens the directory `dest` is to go in; warns (4198) when it cannot.
    bool openTargetDirectory(const std::string& dest, Fd& dir);
    // What the existing-target rules decided.
    enum Verdict : int { GoOn = -2, Skip = -3 };
    // Only-newer, self-copy, kinds that are never replaced, the overwrite
    // question and the read-only refusal. `source` is the source's own stat
    // (lstat for a link that is copied as a link). Returns GoOn, Skip or the
    // result to give; `targetExisted` says whether `dest` was there.
    int checkExisting(const struct stat& source, const Place& dest, bool& targetExisted);
    // The tree walk, by descriptors on both sides: Done, NotDone (stop, as a
    // failed file stops a tree) or Incomplete (entries were skipped but the
    // rest went on).
    int copyTree(WalkLevel& source, const std::string& sourcePath, WalkLevel& target,
                 const std::string& targetPath, int depth);
    int copySubtree(WalkLevel& source, WalkLevel& target, const std::string& name,
                    const std::string& sourcePath, const std::string& targetPath, int depth);
    // A regular file. `follow` for a link the user named; `checked` when the
    // existing-target rules have been applied already.
    int copyFile(const Place& source, bool follow, const Place& dest, bool durable, bool checked);
    int copyData(int in, const struct stat& s, const Place& source, const Place& dest,
                 ReplacementFile& out);
    // A symbolic link copied as a link, under the existing-target rules.
    int copyLink(const Place& source, const Place& dest);
    // Makes `dest` a link with the same text as the link `source`.
    int writeLink(const Place& source, const Place& dest, bool targetExisted);
    void skipSpecial(const std::string& path);
    // A numbered warning naming `path`, with the system's reason when `err` is set.
    void warn(int stringId, const std::string& path, int err = 0);
    bool pump();

    FileOpUi& ui_;
    bool cancelled_ = false;
    bool lost_ = false;              // a tree walk could not find its way back up
    int keepOpen_ = 2;               // levels of a tree walk that keep their directories open
    std::unique_ptr<char[]> buffer_; // for file systems that cannot copy in the kernel
};

// Creates every directory of `path`; 0 when the last one exists afterwards, -1 otherwise.
int MakePath(const std::string& path);
bool IsExistingDirectory(const std::string& path);

} // namespace km
