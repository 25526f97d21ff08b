#pragma once
// Copies and moves files and trees. Every file is written to a temporary
// name in the target directory and renamed over the target only when it is
// complete, so a failed or cancelled copy never damages an existing file. A
// read-only target, a directory, a pipe or a device is never replaced, and a
// move removes its source only after a complete, synced copy.
#include "fileops/FileOpUi.h"

#include <string>
#include <sys/stat.h>

namespace km {

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
    // What the existing-target rules decided.
    enum Verdict : int { GoOn = -2, Skip = -3 };
    // Only-newer, self-copy, kinds that are never replaced, the overwrite
    // question and the read-only refusal. `source` is the source's own stat
    // (lstat for a link that is copied as a link). Returns GoOn, Skip or the
    // result to give; `targetExisted` says whether `dest` was there.
    int checkExisting(const struct stat& source, const std::string& dest, bool& targetExisted);
    // The tree walk: Done, NotDone (stop, as a failed file stops a tree) or
    // Incomplete (entries were skipped but the rest went on).
    int copyTree(const std::string& sourceDir, const std::string& newDir);
    int copyData(const std::string& source, const std::string& dest, bool durable);
    // A symbolic link copied as a link, under the existing-target rules.
    int copyLink(const std::string& source, const std::string& dest);
    // Makes `dest` a link with the same text as the link `source`.
    int writeLink(const std::string& source, const std::string& dest, bool targetExisted);
    void skipSpecial(const std::string& path);
    bool pump();

    FileOpUi& ui_;
    bool cancelled_ = false;
};

// Creates every directory of `path`; 0 when the last one exists afterwards, -1 otherwise.
int MakePath(const std::string& path);
bool IsExistingDirectory(const std::string& path);

} // namespace km
