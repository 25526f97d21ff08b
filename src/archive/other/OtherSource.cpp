#include "archive/other/OtherSource.h"

#include <algorithm>
#include <archive.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace km {

namespace {

// Large enough that a whole 7-Zip or RAR header usually arrives in one read.
constexpr size_t kBlockSize = 64 * 1024;

} // namespace

OtherSource::~OtherSource() {
    if (fd_ >= 0)
        ::close(fd_);
}

int OtherSource::OpenReader(struct archive* reader) const {
    if (memory_)
        return archive_read_open_memory(reader, data_, size_);
    return archive_read_open_filename(reader, path_.c_str(), kBlockSize);
}

size_t OtherSource::ReadAt(uint64_t offset, uint8_t* out, size_t size) const {
    if (memory_) {
        if (offset >= size_)
            return 0;
        const size_t n = std::min<size_t>(size, size_ - static_cast<size_t>(offset));
        std::memcpy(out, data_ + offset, n);
        return n;
    }
    if (fd_ < 0)
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    size_t done = 0;
    while (fd_ >= 0 && done < size) {
        const ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done;
}

} // namespace km
