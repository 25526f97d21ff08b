#include "archive/zip/ZipArchiveWriter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace km::zip {

namespace {

constexpr size_t kBufferSize = 16 * 1024;

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

} // namespace

ZipArchiveWriter::~ZipArchiveWriter() {
    if (fd_ >= 0)
        Discard();
}

bool ZipArchiveWriter::Create(const std::string& directory) {
    std::string pattern = directory;
    if (!pattern.empty() && pattern.back() != '/')
        pattern += '/';
    pattern += "~azXXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        return false;
    path_ = pattern;
    buffer_.reserve(kBufferSize);
    return true;
}

bool ZipArchiveWriter::Write(const void* data, size_t length) {
    const auto* p = static_cast<const uint8_t*>(data);
    offset_ += length;
    if (buffer_.size() + length > kBufferSize) {
        if (!Flush())
            return false;
        if (length >= kBufferSize)
            return writeAll(fd_, p, length);
    }
    buffer_.insert(buffer_.end(), p, p + length);
    return true;
}

bool ZipArchiveWriter::Flush() {
    if (fd_ < 0)
        return false;
    const bool ok = writeAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool ZipArchiveWriter::RewriteAt(uint64_t at, const void* data, size_t length) {
    if (!Flush())
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t w = ::pwrite(fd_, p, length, static_cast<off_t>(at));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        at += static_cast<uint64_t>(w);
        length -= static_cast<size_t>(w);
    }
    return true;
}

bool ZipArchiveWriter::TruncateTo(uint64_t at) {
    if (!Flush() || ::ftruncate(fd_, static_cast<off_t>(at)) != 0 ||
        ::lseek(fd_, static_cast<off_t>(at), SEEK_SET) < 0)
        return false;
    offset_ = at;
    return true;
}

bool ZipArchiveWriter::Close() {
    const bool flushed = Flush();
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    return flushed && closed;
}

void ZipArchiveWriter::Discard() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!path_.empty())
        ::unlink(path_.c_str());
    path_.clear();
}

} // namespace km::zip
