#pragma once
// Deletes files and trees, to the trash or permanently. Links are removed as
// links, and a tree is walked by descriptors: nothing is ever followed out of
// the tree being deleted, even when a folder in it is swapped for a link
// meanwhile. Every failure is reported once, naming its path and the reason.
#include "fileops/FileOpUi.h"

#include <string>

namespace km {

class WalkLevel;

class DeleteEngine {
public:
    DeleteEngine(FileOpUi& ui, bool recycle, bool confirmNonEmptyDirs);

    bool cancelled() const { return cancelled_; }

    // A file (or link, or special file): to the trash or unlinked. Reports
    // "Error deleting " + path and the reason on failure; true when it is gone.
    bool DeleteFile(const std::string& path);
    // 0 when the directory and everything below it are gone, 1 otherwise;
    // whatever stayed has been reported (or the user chose to keep it).
    // To the trash, the directory goes whole or not at all: where its volume
    // has no usable trash, the user is asked before it is deleted for good.
    int DeleteTree(const std::string& dir);
    // True when `dir` may be deleted: empty, not asked for, or answered Yes.
    bool ConfirmNonEmptyDirectory(const std::string& dir);

private:
    // What emptying a directory left behind.
    struct Outcome {
        bool reported = false; // something below failed and was reported
        bool lost = false;     // the walk lost its way back up (a folder moved meanwhile)
    };
    int deletePermanently(const std::string& dir);
    Outcome emptyDirectory(WalkLevel& level, const std::string& path, int depth);
    void report(const std::string& path, int err);

    FileOpUi& ui_;
    bool recycle_;
    bool confirmDirs_;
    bool cancelled_ = false;
    int keepOpen_ = 2; // levels of the walk that keep their directory open
};

} // namespace km
