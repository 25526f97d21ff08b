#include "platform/PrivateTemp.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {
namespace {

constexpr time_t kLeftoverAge = 24 * 60 * 60;

std::mutex g_mutex;
std::vector<std::string> g_made; // run folders to remove at the end
std::string g_swept;             // the directory already swept by this run

// $TMPDIR/km-<uid>, made when missing and checked to be this user's alone.
std::string privateRoot() {
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

std::vector<std::string> entryNames(int dirFd) {
    std::vector<std::string> names;
    const int own = dup(dirFd);
    if (own < 0)
        return names;
    DIR* d = fdopendir(own);
    if (!d) {
        close(own);
        return names;
    }
    while (const dirent* e = readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    closedir(d);
    return names;
}

// Removes `name` below `dirFd` with everything in it. Links are removed, never
// followed, so nothing outside the folder is touched.
void removeTree(int dirFd, const char* name) {
    if (unlinkat(dirFd, name, 0) == 0 || errno == ENOENT)
        return;
    const int fd = openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    // An extracted read-only directory would keep its files.
    fchmod(fd, 0700);
    for (const std::string& n : entryNames(fd))
        removeTree(fd, n.c_str());
    close(fd);
    unlinkat(dirFd, name, AT_REMOVEDIR);
}

void removePath(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return;
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    const int fd = open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    removeTree(fd, path.c_str() + slash + 1);
    close(fd);
}

bool isRunFolderName(const std::string& name) {
    int pid = 0;
    unsigned long long start = 0;
    int used = 0;
    return std::sscanf(name.c_str(), "run-%d-%llu%n", &pid, &start, &used) == 2 && pid > 0 &&
           static_cast<size_t>(used) == name.size();
}

bool runStillAlive(const std::string& name) {
    int pid = 0;
    if (std::sscanf(name.c_str(), "run-%d-", &pid) != 1 || pid <= 0)
        return false;
    return RunFolderName(pid) == name;
}

} // namespace

std::string RunFolderName(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces and parentheses; the fields after its
    // closing one are plain. The start time is field 22, the 20th after it.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int i = 0; i < 20; ++i) {
        if (!(fields >> field))
            return {};
    }
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos)
        return {};
    return "run-" + std::to_string(pid) + "-" + field;
}

void SweepPrivateTemp(const std::string& root, time_t olderThan) {
    const int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    for (const std::string& name : entryNames(fd)) {
        struct stat st;
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_mtime >= olderThan)
            continue;
        // A long session's folder may not have changed for days.
        if (isRunFolderName(name) && runStillAlive(name))
            continue;
        removeTree(fd, name.c_str());
    }
    close(fd);
}

std::string PrivateTempDir() {
    const std::string root = privateRoot();
    if (root.empty())
        return {};
    static const std::string own = [] {
        const std::string name = RunFolderName(getpid());
        return name.empty() ? "run-" + std::to_string(getpid()) + "-0" : name;
    }();
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_swept != root) {
        g_swept = root;
        SweepPrivateTemp(root, time(nullptr) - kLeftoverAge);
    }
    const std::string dir = root + "/" + own;
    if (mkdir(dir.c_str(), 0700) == 0) {
        if (std::find(g_made.begin(), g_made.end(), dir) == g_made.end())
            g_made.push_back(dir);
    } else if (errno != EEXIST) {
        return {};
    }
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0)
        return {};
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
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

void RemovePrivateRunDir() {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const std::string& dir : g_made)
        removePath(dir);
    g_made.clear();
}

} // namespace km
