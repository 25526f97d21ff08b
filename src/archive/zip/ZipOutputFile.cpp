#include "archive/zip/ZipOutputFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace km::zip {

namespace {

constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

int openChild(int parent, const std::string& name, bool create) {
    int fd = ::openat(parent, name.c_str(), kDirFlags | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT && create) {
        if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
            return -1;
        fd = ::openat(parent, name.c_str(), kDirFlags | O_NOFOLLOW);
    }
    return fd;
}

uint32_t nextRandom() {
    static uint32_t state =
        static_cast<uint32_t>(::getpid()) * 2654435761u ^ static_cast<uint32_t>(std::time(nullptr));
    state = state * 1103515245u + 12345u;
    return state >> 8;
}

} // namespace

ZipOutputTarget::ZipOutputTarget(std::string directory) : root_(std::move(directory)) {
    if (root_.empty())
        root_ = ".";
}

ZipOutputTarget::~ZipOutputTarget() {
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
    if (rootFd_ >= 0)
        ::close(rootFd_);
}

int ZipOutputTarget::openRoot(bool create) {
    if (rootFd_ >= 0)
        return rootFd_;
    // The target itself is the user's choice, so a link there is followed.
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

int ZipOutputTarget::walk(const std::vector<std::string>& components, size_t levels, bool create) {
    std::string key;
    for (size_t i = 0; i < levels; ++i) {
        key += components[i];
        key += '/';
    }
    if (cachedFd_ >= 0 && key == cachedKey_)
        return cachedFd_;
    const int root = openRoot(create);
    if (root < 0)
        return -1;
    if (levels == 0)
        return root;
    int fd = ::dup(root);
    for (size_t i = 0; i < levels && fd >= 0; ++i) {
        const int child = openChild(fd, components[i], create);
        ::close(fd);
        fd = child;
    }
    if (fd < 0)
        return -1;
    if (cachedFd_ >= 0)
        ::close(cachedFd_);
    cachedFd_ = fd;
    cachedKey_ = key;
    return fd;
}

int ZipOutputTarget::ParentDirectory(const std::vector<std::string>& components, bool create) {
    if (components.empty())
        return -1;
    return walk(components, components.size() - 1, create);
}

bool ZipOutputTarget::CreateDirectories(const std::vector<std::string>& components) {
    return walk(components, components.size(), true) >= 0;
}

void ZipOutputTarget::Lookup(const std::vector<std::string>& components, ExistingFile* info) {
    *info = ExistingFile();
    const int dir = ParentDirectory(components, false);
    struct stat st;
    if (dir < 0 || ::fstatat(dir, components.back().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    info->exists = true;
    info->isDirectory = S_ISDIR(st.st_mode);
    info->size = static_cast<uint64_t>(st.st_size);
    info->mtime = static_cast<int64_t>(st.st_mtime);
}

bool ZipOutputFile::Open(ZipOutputTarget& target, const std::vector<std::string>& components) {
    Discard();
    const int dir = target.ParentDirectory(components, true);
    if (dir < 0)
        return false;
    dirFd_ = ::dup(dir);
    if (dirFd_ < 0)
        return false;
    finalName_ = components.back();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, ".km-unzip-%06x", nextRandom() & 0xffffffu);
        fd_ = ::openat(dirFd_, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tempName_ = name;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    ::close(dirFd_);
    dirFd_ = -1;
    return false;
}

bool ZipOutputFile::Write(const uint8_t* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd_, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool ZipOutputFile::Commit(int64_t mtime, bool readOnly, uint32_t dosBits) {
    if (fd_ < 0)
        return false;
    const struct timespec times[2] = {{static_cast<time_t>(mtime), 0},
                                      {static_cast<time_t>(mtime), 0}};
    ::futimens(fd_, times);
    if (readOnly) {
        struct stat st;
        if (::fstat(fd_, &st) == 0)
            ::fchmod(fd_, st.st_mode & 07555);
    }
    if (dosBits != 0) {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(dosBits));
        // Not every file system keeps user attributes; the file is still good without them.
        ::fsetxattr(fd_, "user.DOSATTRIB", text, static_cast<size_t>(n), 0);
    }
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!closed || ::renameat(dirFd_, tempName_.c_str(), dirFd_, finalName_.c_str()) != 0) {
        Discard();
        return false;
    }
    tempName_.clear();
    ::close(dirFd_);
    dirFd_ = -1;
    return true;
}

void ZipOutputFile::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (dirFd_ >= 0) {
        if (!tempName_.empty())
            ::unlinkat(dirFd_, tempName_.c_str(), 0);
        ::close(dirFd_);
    }
    dirFd_ = -1;
    tempName_.clear();
}

} // namespace km::zip
