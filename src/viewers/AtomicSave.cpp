#include "viewers/AtomicSave.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

std::string ResolveLink(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string target(real);
            std::free(real);
            return target;
        }
    }
    return path;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Best effort: attributes the file system or our rights refuse are dropped
// rather than failing a save the user asked for.
void CopyAttributes(const std::string& from, int toFd) {
    ssize_t size = ::listxattr(from.c_str(), nullptr, 0);
    if (size <= 0)
        return;
    std::vector<char> names(static_cast<size_t>(size));
    size = ::listxattr(from.c_str(), names.data(), names.size());
    if (size <= 0)
        return;
    std::vector<char> value;
    for (ssize_t pos = 0; pos < size;) {
        const char* name = names.data() + pos;
        pos += static_cast<ssize_t>(std::char_traits<char>::length(name)) + 1;
        const ssize_t len = ::getxattr(from.c_str(), name, nullptr, 0);
        if (len < 0)
            continue;
        value.resize(static_cast<size_t>(len));
        const ssize_t got = ::getxattr(from.c_str(), name, value.data(), value.size());
        if (got >= 0)
            ::fsetxattr(toFd, name, value.data(), static_cast<size_t>(got), 0);
    }
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

} // namespace

int SaveFileAtomically(const std::string& path, std::string_view data) {
    if (path.empty())
        return ENOENT;
    const std::string target = ResolveLink(path);
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        return errno;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return EISDIR;
        // Renaming over a device or a pipe would replace it with a plain file.
        if (!S_ISREG(st.st_mode))
            return EINVAL;
        if (::access(target.c_str(), W_OK) != 0)
            return errno;
    }

    const size_t slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    // Leave room for the suffix within the file system's name limit.
    const std::string base =
        (slash == std::string::npos ? target : target.substr(slash + 1)).substr(0, 200);
    std::string temp = dir + "/." + base + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    auto abandon = [&]() {
        const int err = errno ? errno : EIO;
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.c_str());
        return err;
    };
    if (::fchmod(fd, exists ? (st.st_mode & 07777) : NewFileMode()) != 0)
        return abandon();
    if (exists) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            // Without the right to give the file away it keeps at least the
            // group where we belong to it, and otherwise becomes ours.
            if (::fchown(fd, st.st_uid, st.st_gid) != 0)
                (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
            // fchown may clear set-id bits; put the mode back.
            ::fchmod(fd, st.st_mode & 07777);
        }
        CopyAttributes(target, fd);
    }
    if (!WriteAll(fd, data) || ::fsync(fd) != 0)
        return abandon();
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0 || ::rename(temp.c_str(), target.c_str()) != 0)
        return abandon();

    // The new file is complete and in place; a directory that refuses fsync
    // only weakens durability, so it does not make the save a failure.
    const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

} // namespace km
