#include "viewers/AtomicSave.h"

#include "platform/ReplacementFile.h"

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

    ReplacementFile file;
    if (const int err = file.Create(target))
        return err;
    const int fd = file.Descriptor();
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        // Without the right to give the file away it keeps at least the
        // group where we belong to it, and otherwise becomes ours.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0)
            (void)!::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        // fchown may clear set-id bits; put the mode back.
        ::fchmod(fd, st.st_mode & 07777);
    }
    if (exists)
        CopyAttributes(target, fd);
    if (const int err = file.Write(data.data(), data.size()))
        return err;
    return file.Commit(true);
}

} // namespace km
