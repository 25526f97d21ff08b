#include "platform/Trash.h"

#include "platform/PathUtil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace km {
namespace {

std::string homeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/')
        return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "/") + "/.local/share/Trash";
}

bool makeDir(const std::string& p, mode_t mode) {
    if (mkdir(p.c_str(), mode) == 0)
        return true;
    struct stat st;
    return errno == EEXIST && lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Creates every missing directory of `p` (the home trash may not exist yet).
bool makeDirs(const std::string& p, mode_t mode) {
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i == p.size() || p[i] == '/') {
            if (!makeDir(p.substr(0, i), mode))
                return false;
        }
    }
    return true;
}

dev_t deviceOf(const std::string& p, bool follow) {
    struct stat st;
    const int r = follow ? stat(p.c_str(), &st) : lstat(p.c_str(), &st);
    return r == 0 ? st.st_dev : static_cast<dev_t>(-1);
}

} // namespace

std::string EscapeTrashPath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~' || c == '!' || c == '*' || c == '\'' || c == '(' || c == ')';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string TrashDirectoryFor(const std::string& path) {
    const std::string home = homeTrash();
    const std::string parent = ParentPath(path);
    // The home trash serves files on its own volume.
    std::string probe = home;
    while (deviceOf(probe, true) == static_cast<dev_t>(-1) && probe != "/")
        probe = ParentPath(probe);
    if (deviceOf(probe, true) == deviceOf(parent, true))
        return home;
    // $topdir is where the volume is mounted: climb while the device stays the same.
    std::string top = parent;
    const dev_t dev = deviceOf(parent, true);
    while (top != "/" && deviceOf(ParentPath(top), true) == dev)
        top = ParentPath(top);
    const std::string shared = JoinPath(top, ".Trash");
    struct stat st;
    if (lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX))
        return JoinPath(shared, std::to_string(getuid()));
    return JoinPath(top, ".Trash-" + std::to_string(getuid()));
}

namespace {

struct TrashPlace {
    std::string dir;
    bool isHome = false;
};

// Finding and creating the trash costs a mount-table read; a tree sends
// thousands of files from one volume, so remember the answer per device.
int trashFor(const std::string& path, TrashPlace& out, bool fresh) {
    static std::unordered_map<dev_t, TrashPlace> cache;
    const dev_t dev = deviceOf(ParentPath(path), true);
    if (!fresh) {
        const auto it = cache.find(dev);
        if (it != cache.end()) {
            out = it->second;
            return 0;
        }
    }
    out.dir = TrashDirectoryFor(path);
    out.isHome = out.dir == homeTrash();
    errno = 0;
    if (!(out.isHome ? makeDirs(out.dir, 0700) : makeDir(out.dir, 0700)))
        return errno ? errno : EACCES;
    if (!makeDir(out.dir + "/files", 0700) || !makeDir(out.dir + "/info", 0700))
        return errno ? errno : EACCES;
    cache[dev] = out;
    return 0;
}

} // namespace

int MoveToTrash(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno;
    TrashPlace place;
    if (int err = trashFor(path, place, false))
        return err;
    struct stat probe;
    if (stat((place.dir + "/info").c_str(), &probe) != 0) { // emptied meanwhile
        if (int err = trashFor(path, place, true))
            return err;
    }
    const std::string& trash = place.dir;
    const bool isHome = place.isHome;
    const std::string files = trash + "/files", info = trash + "/info";

    // Reserve a unique name by creating its info file exclusively. A tree
    // repeats names ("Makefile" in every directory): start after the last
    // number handed out for this name instead of probing from 1 each time.
    static std::unordered_map<std::string, int> lastNumber;
    const std::string base(BaseName(path));
    std::string name = base, infoPath;
    int& last = lastNumber[info + "/" + base];
    int fd = -1;
    for (int n = std::max(1, last); n < last + 100000; ++n) {
        if (n > 1)
            name = base + "." + std::to_string(n);
        last = n;
        infoPath = info + "/" + name + ".trashinfo";
        fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            struct stat existing;
            if (lstat((files + "/" + name).c_str(), &existing) != 0)
                break;
            close(fd); // a stray file without info: leave it alone
            unlink(infoPath.c_str());
            fd = -1;
            continue;
        }
        if (errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;

    // Paths in a volume's own trash are relative to its top directory.
    std::string shown = path;
    if (!isHome) {
        const std::string top = ParentPath(
            trash.size() > 0 && trash.find("/.Trash/") != std::string::npos ? ParentPath(trash)
                                                                            : trash);
        if (top != "/" && shown.rfind(top + "/", 0) == 0)
            shown = shown.substr(top.size() + 1);
        else if (top == "/")
            shown = shown.substr(1);
    }
    char date[32];
    const time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &lt);
    const std::string text =
        "[Trash Info]\nPath=" + EscapeTrashPath(shown) + "\nDeletionDate=" + date + "\n";
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int closeRc = close(fd);
    if (!written || closeRc != 0) {
        unlink(infoPath.c_str());
        return EIO;
    }
    if (rename(path.c_str(), (files + "/" + name).c_str()) != 0) {
        const int err = errno;
        unlink(infoPath.c_str());
        return err;
    }
    return 0;
}

} // namespace km
