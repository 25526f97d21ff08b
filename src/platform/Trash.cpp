#include "platform/Trash.h"

#include "platform/PathUtil.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <mutex>
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

// Jobs on different volumes may trash at the same time.
std::mutex g_lock;

// Finding and creating the trash costs a mount-table read; a tree sends
// thousands of files from one volume, so remember the answer per device
// (and per home trash, which a test may move).
int trashFor(const std::string& path, TrashPlace& out, bool fresh) {
    static std::map<std::pair<dev_t, std::string>, TrashPlace> cache;
    const auto key = std::make_pair(deviceOf(ParentPath(path), true), homeTrash());
    if (!fresh) {
        const std::lock_guard<std::mutex> hold(g_lock);
        const auto it = cache.find(key);
        if (it != cache.end()) {
            out = it->second;
            return 0;
        }
    }
    out.dir = TrashDirectoryFor(path);
    out.isHome = out.dir == key.second;
    errno = 0;
    if (!(out.isHome ? makeDirs(out.dir, 0700) : makeDir(out.dir, 0700)))
        return errno ? errno : EACCES;
    if (!makeDir(out.dir + "/files", 0700) || !makeDir(out.dir + "/info", 0700))
        return errno ? errno : EACCES;
    const std::lock_guard<std::mutex> hold(g_lock);
    cache[key] = out;
    return 0;
}

// The n-th name tried for `base` in files/. The info file's name (this name
// and ".trashinfo") must fit the file system's limit; a longer name is cut,
// at a character boundary, and the Path line keeps the original.
std::string storedName(const std::string& base, int n) {
    constexpr size_t kRoom = NAME_MAX - sizeof(".trashinfo") + 1;
    const std::string suffix = n > 1 ? "." + std::to_string(n) : std::string();
    if (base.size() + suffix.size() <= kRoom)
        return base + suffix;
    size_t cut = kRoom - suffix.size();
    while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
        --cut;
    return base.substr(0, cut) + suffix;
}

} // namespace

int MoveToTrash(const std::string& path, bool* noTrash) {
    if (noTrash)
        *noTrash = false;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return errno;
    TrashPlace place;
    int err = trashFor(path, place, false);
    struct stat probe;
    if (err == 0 && stat((place.dir + "/info").c_str(), &probe) != 0) // emptied meanwhile
        err = trashFor(path, place, true);
    if (err != 0) {
        if (noTrash)
            *noTrash = true;
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
    std::string name, infoPath;
    int last;
    {
        const std::lock_guard<std::mutex> hold(g_lock);
        last = lastNumber[info + "/" + base];
    }
    int fd = -1;
    for (int n = std::max(1, last); n < last + 100000; ++n) {
        name = storedName(base, n);
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
    {
        const std::lock_guard<std::mutex> hold(g_lock);
        lastNumber[info + "/" + base] = last;
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
        const int renameErr = errno;
        unlink(infoPath.c_str());
        // The trash found for it is on another mount of the same file system.
        if (renameErr == EXDEV && noTrash)
            *noTrash = true;
        return renameErr;
    }
    return 0;
}

} // namespace km
