#include "platform/NameMatch.h"

#include "platform/Collation.h"

#include <dirent.h>
#include <sys/stat.h>

namespace km {

std::string MatchPathIgnoringCase(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0)
        return path;
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return path;
    std::string best;
    while (const dirent* e = ::readdir(d)) {
        if (EqualsIgnoreCase(e->d_name, name) && (best.empty() || best > e->d_name))
            best = e->d_name;
    }
    ::closedir(d);
    if (best.empty())
        return path;
    return slash == std::string::npos ? best : dir + best;
}

} // namespace km
