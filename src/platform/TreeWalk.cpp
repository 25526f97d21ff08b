#include "platform/TreeWalk.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

int ReadDirectoryChildren(int fd, std::vector<DirectoryChild>& out) {
    // getdents64 straight into a buffer: no DIR stream (and no second
    // descriptor for it) per directory of a large tree.
    alignas(dirent64) char buf[32768];
    for (;;) {
        const ssize_t n = getdents64(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return 0;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const dirent64*>(buf + at);
            at += e->d_reclen;
            const char* name = e->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            out.push_back({name, e->d_type});
        }
    }
}

int OpenChildDirectory(int dirFd, const char* name) {
    return openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int WalkLevelsKeptOpen() {
    struct rlimit rl;
    rlim_t soft = 1024;
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY)
        soft = rl.rlim_cur;
    // An eighth of the limit: a copy keeps two trees open, and the rest of
    // the program needs descriptors too.
    return static_cast<int>(std::clamp<rlim_t>(soft / 8, 2, 256));
}

WalkLevel::WalkLevel(int fd) : fd_(fd) {}

WalkLevel::~WalkLevel() {
    if (fd_ >= 0)
        close(fd_);
}

void WalkLevel::Park() {
    if (fd_ < 0)
        return;
    struct stat st;
    if (fstat(fd_, &st) == 0) {
        dev_ = st.st_dev;
        ino_ = st.st_ino;
    }
    close(fd_);
    fd_ = -1;
}

int WalkLevel::Restore(int childFd) {
    if (fd_ >= 0)
        return 0;
    const int fd = openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_dev != dev_ || st.st_ino != ino_) {
        close(fd);
        return ESTALE;
    }
    fd_ = fd;
    return 0;
}

} // namespace km
