#include "fileops/open_execute/DiskSpaceCounter.h"

#include "platform/PathUtil.h"

#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace km {

bool CountDiskSpace(const std::string& dirPath, DiskSpaceTotals& totals,
                    const std::function<bool()>& pump) {
    totals = {};
    std::set<std::pair<dev_t, ino_t>> linkedSeen;
    // An explicit stack: a deep tree must not exhaust the call stack.
    std::vector<std::string> pending{dirPath};
    while (!pending.empty()) {
        const std::string dir = std::move(pending.back());
        pending.pop_back();
        // The directory pointed at is followed even when it is a link; below
        // it, O_NOFOLLOW keeps a directory swapped for a link meanwhile out.
        const int follow = dir == dirPath ? 0 : O_NOFOLLOW;
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | follow | O_CLOEXEC);
        if (fd < 0)
            continue;
        DIR* d = ::fdopendir(fd);
        if (!d) {
            ::close(fd);
            continue;
        }
        while (dirent* e = ::readdir(d)) {
            const char* name = e->d_name;
            if ((name[0] == '.' && name[1] == 0) ||
                (name[0] == '.' && name[1] == '.' && name[2] == 0))
                continue;
            if (pump && pump()) {
                ::closedir(d);
                return false;
            }
            struct stat st;
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode)) {
                ++totals.directories;
                pending.push_back(JoinPath(dir, name));
                continue;
            }
            if (st.st_nlink > 1 && !linkedSeen.emplace(st.st_dev, st.st_ino).second)
                continue;
            ++totals.files;
            totals.bytes += static_cast<uint64_t>(st.st_size);
        }
        ::closedir(d);
    }
    return true;
}

} // namespace km
