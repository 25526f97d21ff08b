#include "archive/other/OtherSource.h"

#include "platform/ReadAt.h"

#include <algorithm>
#include <archive.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

namespace {

// Large enough that a whole 7-Zip or RAR header usually arrives in one read.
constexpr size_t kBlockSize = 64 * 1024;

} // namespace

struct OtherSource::Window {
    int fd = -1;
    uint64_t start = 0;
    uint64_t at = 0; // position relative to start
    uint64_t size = 0;
    std::vector<uint8_t> block = std::vector<uint8_t>(kBlockSize);

    static la_ssize_t Read(struct archive*, void* self, const void** out) {
        auto& w = *static_cast<Window*>(self);
        for (;;) {
            const ssize_t n = ::pread(w.fd, w.block.data(), w.block.size(),
                                      static_cast<off_t>(w.start + w.at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0)
                w.at += static_cast<uint64_t>(n);
            *out = w.block.data();
            return n;
        }
    }
    static la_int64_t Seek(struct archive*, void* self, la_int64_t offset, int whence) {
        auto& w = *static_cast<Window*>(self);
        const int64_t base = whence == SEEK_SET   ? 0
                             : whence == SEEK_CUR ? static_cast<int64_t>(w.at)
                                                  : static_cast<int64_t>(w.size);
        if (base + offset < 0)
            return ARCHIVE_FATAL;
        w.at = static_cast<uint64_t>(base + offset);
        return static_cast<la_int64_t>(w.at);
    }
    static la_int64_t Skip(struct archive* a, void* self, la_int64_t request) {
        auto& w = *static_cast<Window*>(self);
        const uint64_t before = w.at;
        Seek(a, self, std::min<la_int64_t>(request, static_cast<la_int64_t>(w.size - std::min(w.size, w.at))),
             SEEK_CUR);
        return static_cast<la_int64_t>(w.at - before);
    }
};

OtherSource::OtherSource(std::string path, uint64_t start) : path_(std::move(path)), start_(start) {}

OtherSource::OtherSource(const uint8_t* data, size_t size) : data_(data), size_(size), memory_(true) {}

OtherSource::~OtherSource() {
    if (fd_ >= 0)
        ::close(fd_);
}

int OtherSource::OpenReader(struct archive* reader) const {
    if (memory_)
        return archive_read_open_memory(reader, data_, size_);
    if (start_ == 0)
        return archive_read_open_filename(reader, path_.c_str(), kBlockSize);
    struct stat st;
    if (!openFile() || ::fstat(fd_, &st) != 0 || static_cast<uint64_t>(st.st_size) < start_)
        return ARCHIVE_FATAL;
    window_ = std::make_unique<Window>();
    window_->fd = fd_;
    window_->start = start_;
    window_->size = static_cast<uint64_t>(st.st_size) - start_;
    archive_read_set_callback_data(reader, window_.get());
    archive_read_set_read_callback(reader, &Window::Read);
    archive_read_set_seek_callback(reader, &Window::Seek);
    archive_read_set_skip_callback(reader, &Window::Skip);
    return archive_read_open1(reader);
}

bool OtherSource::openFile() const {
    if (fd_ < 0)
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

size_t OtherSource::ReadAt(uint64_t offset, uint8_t* out, size_t size) const {
    if (memory_) {
        if (offset >= size_)
            return 0;
        const size_t n = std::min<size_t>(size, size_ - static_cast<size_t>(offset));
        std::memcpy(out, data_ + offset, n);
        return n;
    }
    return openFile() ? km::ReadAt(fd_, start_ + offset, out, size) : 0;
}

} // namespace km
