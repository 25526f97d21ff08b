#include "net/TcpLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace km {

namespace {

void WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        length -= static_cast<size_t>(n);
    }
}

bool IsPassCommand(const char* data, size_t length) {
    return length > 5 && std::memcmp(data, "PASS", 4) == 0;
}

// End of the masked range: the first CR, LF or NUL from offset 5 on.
size_t MaskEnd(const char* data, size_t length) {
    size_t end = 5;
    while (end < length && data[end] != '\r' && data[end] != '\n' && data[end] != '\0')
        ++end;
    return end;
}

} // namespace

std::string TcpMaskForLog(std::string_view data) {
    std::string copy(data);
    if (IsPassCommand(data.data(), data.size())) {
        const size_t end = MaskEnd(data.data(), data.size());
        std::memset(copy.data() + 5, '*', end - 5);
    }
    return copy;
}

void TcpLogReceived(int log, const char* data, size_t length) {
    if (log >= 0)
        WriteAll(log, data, length);
}

void TcpLogSent(int log, const char* data, size_t length) {
    if (log < 0)
        return;
    if (!IsPassCommand(data, length)) {
        WriteAll(log, data, length);
        return;
    }
    // Masked in place of a copy, so logging a command never needs memory.
    const size_t end = MaskEnd(data, length);
    WriteAll(log, data, 5);
    static const char kStars[] = "****************************************************************";
    for (size_t left = end - 5; left > 0;) {
        const size_t piece = left < sizeof kStars - 1 ? left : sizeof kStars - 1;
        WriteAll(log, kStars, piece);
        left -= piece;
    }
    WriteAll(log, data + end, length - end);
}

bool TcpLogFile::Open(const std::string& path) {
    Close();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0600);
    return fd_ >= 0;
}

void TcpLogFile::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace km
