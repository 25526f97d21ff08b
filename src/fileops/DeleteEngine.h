#pragma once
// Deletes files and trees, to the trash or permanently. Links are removed as
// links: nothing is ever followed out of the tree being deleted.
#include "fileops/FileOpUi.h"

#include <string>

namespace km {

class DeleteEngine {
public:
    DeleteEngine(FileOpUi& ui, bool recycle, bool confirmNonEmptyDirs);

    bool cancelled() const { return cancelled_; }

    // A file (or link, or special file): to the trash or unlinked. Reports
    // "Error deleting " + path on failure; true when it is gone.
    bool DeleteFile(const std::string& path);
    // 0 when the directory and everything below it are gone, 1 otherwise.
    // To the trash, the directory goes as one entry where it can.
    int DeleteTree(const std::string& dir);
    // True when `dir` may be deleted: empty, not asked for, or answered Yes.
    bool ConfirmNonEmptyDirectory(const std::string& dir);

private:
    int deleteWalk(const std::string& dir);

    FileOpUi& ui_;
    bool recycle_;
    bool confirmDirs_;
    bool cancelled_ = false;
};

} // namespace km
