#include "platform/PrivateTemp.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

std::string PrivateTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string dir = base && *base ? base : "/tmp";
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    dir += "/km-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    // Someone else may have made it first: it must be ours, a real directory
    // and closed to others.
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0)
        return {};
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0) {
        errno = EACCES;
        return {};
    }
    return dir;
}

std::string PrivateTempFile(const std::string& stem) {
    const std::string dir = PrivateTempDir();
    if (dir.empty())
        return {};
    std::string path = dir + "/" + stem + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0)
        return {};
    close(fd);
    return path;
}

} // namespace km
