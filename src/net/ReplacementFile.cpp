#include "net/ReplacementFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

namespace {

constexpr size_t kGather = 256 * 1024;

bool WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool ReplacementFile::Create(const std::string& target) {
    Discard();
    struct stat st;
    const bool exists = !target.empty() && ::stat(target.c_str(), &st) == 0;
    if (target.empty() || target.back() == '/' || (exists && S_ISDIR(st.st_mode)))
        return false;
    pending_.reset(new (std::nothrow) char[kGather]);
    if (!pending_)
        return false;
    const size_t slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".part-%d-%lx-%u", static_cast<int>(::getpid()),
                      static_cast<unsigned long>(std::time(nullptr)), ++counter);
        // Hidden, so a panel that re-reads meanwhile does not show it.
        std::string temp = dir + "." + base + suffix;
        const int fd =
            ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0) {
            // A replaced file keeps its permissions: a private file stays private.
            if (exists)
                ::fchmod(fd, st.st_mode & 07777);
            fd_ = fd;
            failed_ = false;
            target_ = target;
            temp_ = std::move(temp);
            pendingLength_ = 0;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

bool ReplacementFile::Flush() {
    if (!failed_ && pendingLength_ > 0 && !WriteAll(fd_, pending_.get(), pendingLength_))
        failed_ = true;
    pendingLength_ = 0;
    return !failed_;
}

bool ReplacementFile::Write(const char* data, size_t length) {
    if (fd_ < 0 || failed_)
        return false;
    if (pendingLength_ + length > kGather && !Flush())
        return false;
    if (length >= kGather) {
        failed_ = !WriteAll(fd_, data, length);
        return !failed_;
    }
    std::memcpy(pending_.get() + pendingLength_, data, length);
    pendingLength_ += length;
    return true;
}

bool ReplacementFile::Commit() {
    if (fd_ < 0)
        return false;
    const bool written = Flush();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!written || !closed || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
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

} // namespace km
