#pragma once
// Copies and moves files and trees. Every file is written to a temporary
// name in the target directory and renamed over the target only when it is
// complete, so a failed or cancelled copy never damages an existing file.
#include "fileops/FileOpUi.h"

#include <string>

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
    static std::string TargetName(const std::string& source, const std::string& target, bool intoDirectory);

private:
    // Existing-target rules: only-newer, self-copy, the overwrite question.
    // Returns -2 to go on, else the result to give.
    int checkExisting(const std::string& source, const std::string& dest, bool forMove);
    int copyData(const std::string& source, const std::string& dest);
    int copyLink(const std::string& source, const std::string& dest);
    bool pump();

    FileOpUi& ui_;
    bool cancelled_ = false;
    mode_t umask_;
};

// Creates every directory of `path`; 0 when the last one exists afterwards, -1 otherwise.
int MakePath(const std::string& path);
bool IsExistingDirectory(const std::string& path);

} // namespace km
