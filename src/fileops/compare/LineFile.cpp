#include "fileops/compare/LineFile.h"

#include "fileops/compare/CompareResult.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// The whole file into `out`; false on a read error.
bool readAll(int fd, off_t sizeHint, std::string& out) {
    if (sizeHint > 0 && static_cast<unsigned long long>(sizeHint) < out.max_size())
        out.reserve(static_cast<size_t>(sizeHint));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        out.append(buffer, static_cast<size_t>(got));
    }
}

} // namespace

void LineFile::clear() {
    bytes_.clear();
    lines_.clear();
    loaded_ = false;
}

int LineFile::Read(const std::string& path) {
    clear();
    // Non-blocking so that opening a FIFO does not wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return CompareCannotOpen;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return CompareCannotOpen;
    std::string bytes;
    try {
        if (!readAll(fd.get(), st.st_size, bytes))
            return CompareCannotOpen;
    } catch (const std::bad_alloc&) {
        return CompareNoMemory;
    } catch (const std::length_error&) {
        return CompareNoMemory;
    }
    return Assign(std::move(bytes));
}

int LineFile::Assign(std::string bytes) {
    clear();
    try {
        const char* data = bytes.data();
        const size_t size = bytes.size();
        size_t pos = 0;
        while (pos < size) {
            const size_t window = std::min(size - pos, kMaxLineBytes);
            const void* lf = std::memchr(data + pos, '\n', window);
            const size_t length =
                lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - (data + pos)) + 1
                              : window;
            CompareLine line;
            line.offset = pos;
            line.length = static_cast<uint32_t>(length);
            lines_.push_back(line);
            pos += length;
        }
    } catch (const std::bad_alloc&) {
        clear();
        return CompareNoMemory;
    } catch (const std::length_error&) {
        clear();
        return CompareNoMemory;
    }
    bytes_ = std::move(bytes);
    loaded_ = true;
    return CompareOk;
}

} // namespace km
