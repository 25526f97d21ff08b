#pragma once
// What the copy and delete walks share: a tree is walked by descriptors, each
// child opened relative to its parent and never through a link, so a folder
// swapped for a link while the walk runs cannot lead it out of the tree.
#include <string>
#include <sys/types.h>
#include <vector>

namespace km {

struct DirectoryChild {
    std::string name;
    unsigned char type =
        0; // DT_DIR, DT_REG, DT_LNK..., DT_UNKNOWN where the file system does not say
};

// Every entry of the directory `fd`, freshly opened, but "." and "..". 0 or an errno value.
int ReadDirectoryChildren(int fd, std::vector<DirectoryChild>& out);

// Opens `name` in the directory `dirFd` as a directory, never through a link
// (ELOOP or ENOTDIR then). The descriptor, or -1 with errno set.
int OpenChildDirectory(int dirFd, const char* name);

// How many levels of a walk may keep their directories open at once, from
// the process's descriptor limit (read anew: ask once per walk); deeper
// levels park their parents.
int WalkLevelsKeptOpen();

// One open directory of a walk. Below the levels kept open, a level is
// parked (closed) while a deeper one works, then restored through that
// deeper level's "..": the walk needs a few descriptors at any depth.
class WalkLevel {
public:
    explicit WalkLevel(int fd); // takes the descriptor
    ~WalkLevel();
    WalkLevel(const WalkLevel&) = delete;
    WalkLevel& operator=(const WalkLevel&) = delete;

    int fd() const { return fd_; }
    void Park();
    // Reopens a parked level as the parent of `childFd`. 0, or ESTALE when
    // that is no longer this directory (the child was moved meanwhile).
    int Restore(int childFd);

private:
    int fd_ = -1;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};

} // namespace km
