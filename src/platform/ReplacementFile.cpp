#include "platform/ReplacementFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr size_t kGather = 256 * 1024;
// Room for ".km-" and "-XXXXXX" within the usual 255-byte name limit.
constexpr size_t kMaxBase = 200;
constexpr int kDirFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".km-<name>-XXXXXX": hidden, and recognisable as ours after a crash.
std::string tempName(const std::string& name) {
    static std::mt19937 random{std::random_device{}()};
    static std::mutex lock;
    unsigned suffix;
    {
        const std::lock_guard<std::mutex> hold(lock);
        suffix = static_cast<unsigned>(random() & 0xFFFFFF);
    }
    char tail[8];
    std::snprintf(tail, sizeof tail, "%06x", suffix);
    return ".km-" + name.substr(0, kMaxBase) + "-" + tail;
}

// ".km-<name>-partial": the same name for every attempt at one target, so a
// later download can find what an interrupted one left. A long name keeps
// its start and a hash of the whole, so two long names never share one.
std::string partialName(const std::string& name) {
    if (name.size() <= kMaxBase)
        return ".km-" + name + "-partial";
    uint64_t hash = 1469598103934665603ULL; // FNV-1a
    for (unsigned char c : name)
        hash = (hash ^ c) * 1099511628211ULL;
    char tail[24];
    std::snprintf(tail, sizeof tail, "%016llx", static_cast<unsigned long long>(hash));
    return ".km-" + name.substr(0, kMaxBase - 17) + "~" + tail + "-partial";
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
    return 0666 & ~ProcessUmask();
}

int openDirectoryOf(const std::string& path) {
    // The directory part is the caller's own choice, so a link there is followed.
    return ::open(directoryOf(path).c_str(), kDirFlags);
}

} // namespace

mode_t ProcessUmask() {
    // Read once: toggling the umask later would race with other threads.
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

int RenameIntoAt(int dir, const std::string& from, const std::string& to, bool targetExisted) {
    if (!targetExisted) {
        if (::renameat2(dir, from.c_str(), dir, to.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        struct stat st; // a file system without the flag: check, then rename
        if (::fstatat(dir, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return EEXIST;
    }
    return ::renameat(dir, from.c_str(), dir, to.c_str()) == 0 ? 0 : errno;
}

int RenameInto(const std::string& from, const std::string& to, bool targetExisted) {
    return RenameIntoAt(AT_FDCWD, from, to, targetExisted);
}

void SyncParentDirectory(const std::string& path) {
    // A directory that refuses fsync only weakens durability; the data is in place.
    const int fd = openDirectoryOf(path);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

int SyncFileSystemOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno;
    const int err = ::syncfs(fd) == 0 ? 0 : errno;
    ::close(fd);
    return err;
}

bool MayReplaceAt(int dir, const std::string& name) {
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return true; // a link is replaced itself, never written through
    return (st.st_mode & S_IWUSR) != 0 && ::faccessat(dir, name.c_str(), W_OK, 0) == 0;
}

bool MayReplace(const std::string& path) {
    return MayReplaceAt(AT_FDCWD, path);
}

int ReplacementFile::Create(const std::string& target, mode_t mode) {
    return create(target, mode, Temp::Unique);
}

int ReplacementFile::CreatePartial(const std::string& target, bool resume) {
    return create(target, kKeepMode, resume ? Temp::PartialResume : Temp::PartialNew);
}

int64_t ReplacementFile::PartialSize(const std::string& target) {
    const int dir = openDirectoryOf(target);
    if (dir < 0)
        return -1;
    struct stat st;
    const bool found = ::fstatat(dir, partialName(baseOf(target)).c_str(), &st,
                                 AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISREG(st.st_mode);
    ::close(dir);
    return found ? static_cast<int64_t>(st.st_size) : -1;
}

int ReplacementFile::create(const std::string& target, mode_t mode, Temp kind) {
    Discard();
    if (target.empty() || target.back() == '/')
        return EISDIR;
    const int dir = openDirectoryOf(target);
    if (dir < 0)
        return errno;
    const int err = open(dir, baseOf(target), mode, kind);
    if (err == 0)
        temp_ = directoryOf(target) + "/" + tempName_;
    return err;
}

int ReplacementFile::CreateAt(int directoryFd, const std::string& name, mode_t mode) {
    Discard();
    if (name.empty() || name.find('/') != std::string::npos)
        return EINVAL;
    const int dir = ::fcntl(directoryFd, F_DUPFD_CLOEXEC, 0);
    if (dir < 0)
        return errno;
    const int err = open(dir, name, mode, Temp::Unique);
    if (err == 0)
        temp_ = tempName_;
    return err;
}

int ReplacementFile::CreateNewAt(int directoryFd, const std::string& name, mode_t mode) {
    Discard();
    if (name.empty() || name.find('/') != std::string::npos)
        return EINVAL;
    const int fd = ::openat(directoryFd, name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    dirFd_ = directoryFd;
    borrowedDir_ = inPlace_ = true;
    finalMode_ = mode;
    fd_ = fd;
    partial_ = targetExisted_ = false;
    error_ = 0;
    size_ = writtenBehind_ = 0;
    name_ = name;
    tempName_.clear();
    temp_.clear();
    pendingLength_ = 0;
    return 0;
}

// Takes ownership of `dir`.
int ReplacementFile::open(int dir, const std::string& name, mode_t mode, Temp kind) {
    struct stat st;
    targetExisted_ = ::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    int err = targetExisted_ || errno == ENOENT ? 0 : errno;
    struct stat resolved; // a directory, or a link to one, is never replaced by a file
    if (err == 0 && targetExisted_ &&
        (S_ISDIR(st.st_mode) ||
         (::fstatat(dir, name.c_str(), &resolved, 0) == 0 && S_ISDIR(resolved.st_mode))))
        err = EISDIR;
    if (mode == kKeepMode)
        mode = targetExisted_ && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : newFileMode();
    int fd = -1;
    std::string temp;
    size_ = writtenBehind_ = 0;
    if (err == 0 && kind != Temp::Unique) {
        // Non-blocking, so that a FIFO planted under the name cannot hang us.
        temp = partialName(name);
        fd = ::openat(dir, temp.c_str(),
                      O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK |
                          (kind == Temp::PartialResume ? O_APPEND : O_TRUNC),
                      mode & 0777);
        struct stat own;
        if (fd >= 0 && (::fstat(fd, &own) != 0 || !S_ISREG(own.st_mode))) {
            ::close(fd);
            fd = -1;
            errno = EINVAL;
        }
        if (fd >= 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            size_ = writtenBehind_ = static_cast<uint64_t>(own.st_size);
        }
    }
    for (int attempt = 0; err == 0 && kind == Temp::Unique && attempt < 100; ++attempt) {
        temp = tempName(name);
        fd = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      mode & 0777);
        if (fd >= 0 || errno != EEXIST)
            break;
    }
    if (err == 0 && fd < 0)
        err = errno;
    // Set only where the umask took bits the mode asks for, or it has special bits.
    if (err == 0 && (mode & ~(0777 & ~ProcessUmask())) != 0 && ::fchmod(fd, mode) != 0) {
        err = errno;
        ::close(fd);
        ::unlinkat(dir, temp.c_str(), 0);
    }
    if (err != 0) {
        ::close(dir);
        return err;
    }
    dirFd_ = dir;
    borrowedDir_ = inPlace_ = false;
    fd_ = fd;
    partial_ = kind != Temp::Unique;
    error_ = 0;
    name_ = name;
    tempName_ = std::move(temp);
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
    // Only writers that gather need the buffer; a copy writes by descriptor.
    if (!pending_ && length < kGather) {
        pending_.reset(new (std::nothrow) char[kGather]);
        if (!pending_)
            return error_ = ENOMEM;
    }
    if (pendingLength_ + length > kGather && flush() != 0)
        return error_;
    if (length >= kGather) {
        if (!writeAll(fd_, bytes, length))
            error_ = errno;
        else
            size_ += length;
        return error_;
    }
    std::memcpy(pending_.get() + pendingLength_, bytes, length);
    pendingLength_ += length;
    size_ += length;
    return 0;
}

void ReplacementFile::WriteBehind() {
    if (fd_ < 0 || flush() != 0 || size_ <= writtenBehind_)
        return;
    ::sync_file_range(fd_, static_cast<off_t>(writtenBehind_),
                      static_cast<off_t>(size_ - writtenBehind_), SYNC_FILE_RANGE_WRITE);
    writtenBehind_ = size_;
}

int ReplacementFile::Restart() {
    if (fd_ < 0)
        return EBADF;
    pendingLength_ = 0;
    error_ = ::ftruncate(fd_, 0) == 0 ? 0 : errno;
    size_ = writtenBehind_ = 0;
    return error_;
}

int ReplacementFile::Keep() {
    if (!partial_ || fd_ < 0 || size_ == 0) {
        Discard();
        return 0;
    }
    int err = flush();
    if (::close(fd_) != 0 && err == 0)
        err = errno;
    fd_ = -1;
    // What reached the disk is kept even after a write error: a resumed
    // download starts behind it, and the size tells where that is.
    tempName_.clear();
    Discard();
    return err;
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
    if (inPlace_)
        return commitInPlace(err, durable);
    if (::close(fd_) != 0 && err == 0)
        err = errno; // a deferred write error (NFS, quota) shows up here
    fd_ = -1;
    if (err == 0)
        err = RenameIntoAt(dirFd_, tempName_, name_, targetExisted_);
    if (err != 0) {
        Discard();
        return err;
    }
    tempName_.clear();
    if (durable)
        ::fsync(dirFd_); // best effort: the data is in place
    Discard();
    return 0;
}

int ReplacementFile::commitInPlace(int err, bool durable) {
    if (err == 0 && ::fchmod(fd_, finalMode_) != 0)
        err = errno;
    if (err != 0) {
        Discard();
        return err;
    }
    if (::close(fd_) != 0) { // a deferred write error: what is there is not the file
        err = errno;
        ::unlinkat(dirFd_, name_.c_str(), 0);
    }
    fd_ = -1;
    if (err == 0 && durable)
        ::fsync(dirFd_);
    inPlace_ = false;
    Discard();
    return err;
}

int ReplacementFile::CommitAs(const std::string& name, bool durable) {
    if (name.empty() || name.find('/') != std::string::npos) {
        Discard();
        return EINVAL;
    }
    name_ = name;
    targetExisted_ = true;
    return Commit(durable);
}

void ReplacementFile::removeTemp() {
    if (!tempName_.empty() && dirFd_ >= 0)
        ::unlinkat(dirFd_, tempName_.c_str(), 0);
    tempName_.clear();
    temp_.clear();
}

void ReplacementFile::Discard() {
    if (inPlace_ && fd_ >= 0) {
        // Ours only while the name still leads to what we made.
        struct stat own, there;
        if (::fstat(fd_, &own) == 0 &&
            ::fstatat(dirFd_, name_.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
            own.st_dev == there.st_dev && own.st_ino == there.st_ino)
            ::unlinkat(dirFd_, name_.c_str(), 0);
    }
    inPlace_ = false;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    removeTemp();
    if (dirFd_ >= 0 && !borrowedDir_)
        ::close(dirFd_);
    dirFd_ = -1;
    borrowedDir_ = false;
    pendingLength_ = 0;
    partial_ = false;
}

int ReplaceWithSymlinkAt(int dir, const std::string& name, const std::string& linkText,
                         bool targetExisted) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = tempName(name);
        if (::symlinkat(linkText.c_str(), dir, temp.c_str()) != 0) {
            if (errno == EEXIST)
                continue;
            return errno;
        }
        const int err = RenameIntoAt(dir, temp, name, targetExisted);
        if (err != 0)
            ::unlinkat(dir, temp.c_str(), 0);
        return err;
    }
    return EEXIST;
}

int ReplaceWithSymlink(const std::string& target, const std::string& linkText, bool targetExisted) {
    const int dir = openDirectoryOf(target);
    if (dir < 0)
        return errno;
    const int err = ReplaceWithSymlinkAt(dir, baseOf(target), linkText, targetExisted);
    ::close(dir);
    return err;
}

} // namespace km
