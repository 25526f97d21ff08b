#include "fileops/RenameInDirectory.h"

#include "platform/PathUtil.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace km {

int RenameInDirectory(const std::string& dir, const std::string& oldName, const std::string& newName) {
    if (newName.empty() || newName == "." || newName == ".." || newName.find('/') != std::string::npos)
        return EINVAL;
    if (newName == oldName)
        return 0;
    const std::string from = JoinPath(dir, oldName), to = JoinPath(dir, newName);
    // Never replace an existing entry; a name differing only in case is a real rename here.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    struct stat st;
    if (lstat(to.c_str(), &st) == 0)
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

} // namespace km
