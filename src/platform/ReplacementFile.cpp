#include "platform/ReplacementFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr size_t kGather = 256 * 1024;
// Room for ".km-" and "-XXXXXX" within the usual 255-byte name limit.
constexpr size_t kMaxBase = 200;

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// "<dir>/.km-<name>-": hidden, and recognisable as ours after a crash.
std::string tempPrefix(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return directoryOf(target) + "/.km-" + base.substr(0, kMaxBase) + "-";
}

bool writeAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

int RenameInto(const std::string& from, const std::string& to, bool targetExisted) {
    if (!targetExisted) {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        struct stat st; // a file system without the flag: check, then rename
        if (::lstat(to.c_str(), &st) == 0)
            return EEXIST;
    }
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void SyncParentDirectory(const std::string& path) {
    // A directory that refuses fsync only weakens durability; the data is in place.
    const int fd = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void SyncFileSystemOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

int ReplacementFile::Create(const std::string& target, mode_t mode) {
    Discard();
    if (target.empty() || target.back() == '/')
        return EISDIR;
    struct stat st;
    targetExisted_ = ::lstat(target.c_str(), &st) == 0;
    if (!targetExisted_ && errno != ENOENT)
        return errno;
    struct stat resolved; // a directory, or a link to one, is never replaced by a file
    if (targetExisted_ && (S_ISDIR(st.st_mode) ||
                           (::stat(target.c_str(), &resolved) == 0 && S_ISDIR(resolved.st_mode))))
        return EISDIR;
    if (mode == kKeepMode)
        mode = targetExisted_ && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : newFileMode();
    pending_.reset(new (std::nothrow) char[kGather]);
    if (!pending_)
        return ENOMEM;
    std::string temp = tempPrefix(target) + "XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    if (::fchmod(fd, mode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return err;
    }
    fd_ = fd;
    error_ = 0;
    target_ = target;
    temp_ = std::move(temp);
    pendingLength_ = 0;
    return 0;
}

int ReplacementFile::flush() {
    if (error_ == 0 && pendingLength_ > 0 && !writeAll(fd_, pending_.get(), pendingLength_))
        error_ = errno;
    pendingLength_ = 0;
    return error_;
}

int ReplacementFile::Write(const void* data, size_t length) {
    if (fd_ < 0)
        return EBADF;
    if (error_ != 0)
        return error_;
    const char* bytes = static_cast<const char*>(data);
    if (pendingLength_ + length > kGather && flush() != 0)
        return error_;
    if (length >= kGather) {
        if (!writeAll(fd_, bytes, length))
            error_ = errno;
        return error_;
    }
    std::memcpy(pending_.get() + pendingLength_, bytes, length);
    pendingLength_ += length;
    return 0;
}

int ReplacementFile::Descriptor() {
    if (fd_ < 0 || flush() != 0)
        return -1;
    return fd_;
}

int ReplacementFile::Commit(bool durable) {
    if (fd_ < 0)
        return EBADF;
    int err = flush();
    if (err == 0 && durable && ::fsync(fd_) != 0)
        err = errno;
    if (::close(fd_) != 0 && err == 0)
        err = errno; // a deferred write error (NFS, quota) shows up here
    fd_ = -1;
    if (err == 0)
        err = RenameInto(temp_, target_, targetExisted_);
    if (err != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return err;
    }
    temp_.clear();
    if (durable)
        SyncParentDirectory(target_);
    return 0;
}

void ReplacementFile::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
    pendingLength_ = 0;
}

int ReplaceWithSymlink(const std::string& target, const std::string& linkText, bool targetExisted) {
    static std::mt19937 random{std::random_device{}()};
    const std::string prefix = tempPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
        const std::string temp = prefix + suffix;
        if (::symlink(linkText.c_str(), temp.c_str()) != 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const int err = RenameInto(temp, target, targetExisted);
        if (err != 0)
            ::unlink(temp.c_str());
        return err;
    }
    return EEXIST;
}

} // namespace km
