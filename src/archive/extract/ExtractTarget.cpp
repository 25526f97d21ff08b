#include "archive/extract/ExtractTarget.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace km {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool safeComponent(const std::string& c) {
    return !c.empty() && c != "." && c != ".." && c.find('/') == std::string::npos;
}

bool safePath(const ExtractPath& path) {
    for (const std::string& c : path)
        if (!safeComponent(c))
            return false;
    return !path.empty();
}

int openChild(int parent, const std::string& name, bool create, bool* made) {
    int fd = ::openat(parent, name.c_str(), kDirFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(parent, name.c_str(), 0777) == 0)
            *made = true;
        else if (errno != EEXIST)
            return -1;
        fd = ::openat(parent, name.c_str(), kDirFlags | O_NOFOLLOW);
    }
    return fd;
}

} // namespace

mode_t ExtractTarget::FileMode(int storedMode) {
    const mode_t bits = storedMode < 0 ? 0666 : static_cast<mode_t>(storedMode) & 0777;
    return bits & ~ProcessUmask();
}

int ExtractFile::Skip(uint64_t length) {
    const int fd = file_.Descriptor();
    if (fd < 0)
        return EIO; // an earlier write failed, or nothing is open
    if (length > static_cast<uint64_t>(INT64_MAX) ||
        ::lseek(fd, static_cast<off_t>(length), SEEK_CUR) < 0)
        return errno != 0 ? errno : EFBIG;
    skipped_ = true;
    return 0;
}

int ExtractFile::Commit(const EntryAttributes& a) {
    const int fd = file_.Descriptor();
    if (fd < 0) {
        const int err = file_.Commit(false); // reports the write error and cleans up
        return err != 0 ? err : EIO;
    }
    // A file that ends in a hole gets its length here.
    if (skipped_) {
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        struct stat st;
        if (end < 0 || ::fstat(fd, &st) != 0 ||
            (st.st_size < end && ::ftruncate(fd, end) != 0)) {
            const int err = errno;
            file_.Discard();
            return err;
        }
    }
    mode_t mode = ExtractTarget::FileMode(a.mode);
    if (a.readOnly)
        mode &= ~static_cast<mode_t>(0222);
    if (mode != mode_)
        ::fchmod(fd, mode);
    if (a.dosBits != 0) {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(a.dosBits));
        // Not every file system keeps user attributes; the file is still good without them.
        ::fsetxattr(fd, "user.DOSATTRIB", text, static_cast<size_t>(n), 0);
    }
    const struct timespec times[2] = {{static_cast<time_t>(a.mtime), a.mtimeNanoseconds},
                                      {static_cast<time_t>(a.mtime), a.mtimeNanoseconds}};
    ::futimens(fd, times);
    return file_.Commit(false);
}

ExtractTarget::ExtractTarget(std::string directory) : root_(std::move(directory)) {
    if (root_.empty())
        root_ = ".";
}

ExtractTarget::~ExtractTarget() {
    FinishDirectories();
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
    if (rootFd_ >= 0)
        ::close(rootFd_);
}

std::string ExtractTarget::Describe(const ExtractPath& path) const {
    std::string text = root_;
    for (const std::string& c : path) {
        if (!text.empty() && text.back() != '/')
            text += '/';
        text += c;
    }
    return text;
}

int ExtractTarget::openRoot(bool create) {
    if (rootFd_ >= 0)
        return rootFd_;
    rootFd_ = ::open(root_.c_str(), kDirFlags);
    if (rootFd_ < 0 && errno == ENOENT && create) {
        int fd = ::open(root_[0] == '/' ? "/" : ".", kDirFlags);
        size_t at = 0;
        while (fd >= 0 && at < root_.size()) {
            const size_t slash = root_.find('/', at);
            const std::string part =
                root_.substr(at, slash == std::string::npos ? slash : slash - at);
            at = slash == std::string::npos ? root_.size() : slash + 1;
            if (part.empty())
                continue;
            int child = ::openat(fd, part.c_str(), kDirFlags);
            if (child < 0 && errno == ENOENT && ::mkdirat(fd, part.c_str(), 0777) == 0)
                child = ::openat(fd, part.c_str(), kDirFlags);
            ::close(fd);
            fd = child;
        }
        rootFd_ = fd;
    }
    return rootFd_;
}

int ExtractTarget::walk(const ExtractPath& path, size_t levels, bool create) {
    std::string key;
    for (size_t i = 0; i < levels; ++i) {
        key += path[i];
        key += '/';
    }
    if (cachedFd_ >= 0 && key == cachedKey_)
        return cachedFd_;
    const int root = openRoot(create);
    if (root < 0 || levels == 0)
        return root;
    int fd = ::fcntl(root, F_DUPFD_CLOEXEC, 0);
    std::string made;
    for (size_t i = 0; i < levels && fd >= 0; ++i) {
        made += path[i];
        made += '/';
        bool created = false;
        const int child = openChild(fd, path[i], create, &created);
        if (created)
            madeDirectories_.insert(made);
        const int err = errno;
        ::close(fd);
        fd = child;
        errno = err;
    }
    if (fd < 0)
        return -1;
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
    cachedFd_ = fd;
    cachedKey_ = key;
    return fd;
}

int ExtractTarget::parent(const ExtractPath& path, bool create) {
    if (!safePath(path)) {
        errno = EINVAL;
        return -1;
    }
    return walk(path, path.size() - 1, create);
}

ExistingEntry ExtractTarget::Lookup(const ExtractPath& path) {
    ExistingEntry info;
    const int dir = parent(path, false);
    struct stat st;
    if (dir < 0 || ::fstatat(dir, path.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return info;
    info.exists = true;
    info.isLink = S_ISLNK(st.st_mode);
    struct stat resolved;
    info.isDirectory = S_ISDIR(st.st_mode) ||
                       (info.isLink && ::fstatat(dir, path.back().c_str(), &resolved, 0) == 0 &&
                        S_ISDIR(resolved.st_mode));
    info.size = static_cast<uint64_t>(st.st_size);
    info.mtime = static_cast<int64_t>(st.st_mtime);
    return info;
}

void ExtractTarget::SetDirectoryAttributes(const ExtractPath& path, const EntryAttributes& a) {
    if (!safePath(path))
        return;
    std::string key;
    for (const std::string& c : path)
        key += c + '/';
    directoryAttributes_[key] = a;
}

void ExtractTarget::FinishDirectories() {
    // Keys sort a parent before its children: walking backwards sets the deepest
    // first, so setting a child's time does not disturb its parent's afterwards.
    for (auto it = directoryAttributes_.rbegin(); it != directoryAttributes_.rend(); ++it) {
        if (madeDirectories_.count(it->first) == 0)
            continue;
        ExtractPath path;
        size_t at = 0;
        for (size_t slash; (slash = it->first.find('/', at)) != std::string::npos; at = slash + 1)
            path.push_back(it->first.substr(at, slash - at));
        const int fd = walk(path, path.size(), false);
        if (fd < 0)
            continue;
        const EntryAttributes& a = it->second;
        if (a.mode >= 0)
            ::fchmod(fd, FileMode(a.mode));
        const struct timespec times[2] = {{static_cast<time_t>(a.mtime), a.mtimeNanoseconds},
                                          {static_cast<time_t>(a.mtime), a.mtimeNanoseconds}};
        ::futimens(fd, times);
    }
    directoryAttributes_.clear();
}

bool ExtractTarget::CreateDirectories(const ExtractPath& path) {
    return safePath(path) && walk(path, path.size(), true) >= 0;
}

int ExtractTarget::OpenFile(const ExtractPath& path, ExtractFile* file, int storedMode) {
    const int dir = parent(path, true);
    if (dir < 0)
        return errno;
    // A file its owner protected, or this user may not write, is never replaced,
    // whatever the overwrite answer was.
    if (!MayReplaceAt(dir, path.back()))
        return EACCES;
    file->mode_ = FileMode(storedMode);
    file->skipped_ = false;
    return file->file_.CreateAt(dir, path.back(), file->mode_);
}

int ExtractTarget::MakeSymlink(const ExtractPath& path, const std::string& linkText) {
    if (linkText.empty() || linkText.find('\0') != std::string::npos)
        return EINVAL;
    const int dir = parent(path, true);
    if (dir < 0)
        return errno;
    struct stat st;
    const bool existed = ::fstatat(dir, path.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (existed && S_ISDIR(st.st_mode))
        return EISDIR;
    // A protected file stays what it is, whatever kind of entry comes for its name.
    if (existed && !MayReplaceAt(dir, path.back()))
        return EACCES;
    return ReplaceWithSymlinkAt(dir, path.back(), linkText, existed);
}

int ExtractTarget::MakeHardLink(const ExtractPath& path, const ExtractPath& existing,
                                bool replacesOwnOutput) {
    const int from = parent(existing, false);
    if (from < 0)
        return errno;
    // The walk caches one directory: keep our own handle on the first.
    const int fromFd = ::fcntl(from, F_DUPFD_CLOEXEC, 0);
    if (fromFd < 0)
        return errno;
    int err = 0;
    struct stat st;
    if (::fstatat(fromFd, existing.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        err = EPERM; // only regular files already extracted get a second name
    const int dir = err == 0 ? parent(path, true) : -1;
    if (err == 0 && dir < 0)
        err = errno;
    if (err == 0) {
        // A temporary name first, so an existing entry is replaced only by a whole link.
        struct stat old;
        const bool existed = ::fstatat(dir, path.back().c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
        if (existed && S_ISDIR(old.st_mode)) {
            err = EISDIR;
        } else if (existed && !replacesOwnOutput && !MayReplaceAt(dir, path.back())) {
            err = EACCES;
        } else {
            static unsigned counter = 0;
            const std::string temp =
                ".km-link-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
            if (::linkat(fromFd, existing.back().c_str(), dir, temp.c_str(), 0) != 0)
                err = errno;
            else if ((err = RenameIntoAt(dir, temp, path.back(), existed)) != 0)
                ::unlinkat(dir, temp.c_str(), 0);
        }
    }
    ::close(fromFd);
    return err;
}

} // namespace km
