// Feeds arbitrary bytes as a server's replies through a local socket pair and
// reads them reply by reply with TnReadMultiLine: every result must be one of
// the documented ones, the buffer must stay terminated inside its size, and
// the reading must end. The first byte picks the buffer size.
#include "net/TcpTransport.h"
#include "net/TnLineLayer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kMaxInput = 60000; // fits the socket's buffer, so one write suffices

bool Known(int r) {
    return r == 1 || r == 0 || r == -1 || r == -2 || r == -11 || r == 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > kMaxInput)
        return 0;
    static const size_t kSizes[] = {1, 2, 5, 6, 7, 8, 16, 64, 300, 2048};
    const size_t bufferSize = kSizes[data[0] % (sizeof kSizes / sizeof kSizes[0])];
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return 0;
    for (size_t at = 1; at < size;) {
        const ssize_t n = ::write(fds[1], data + at, size - at);
        if (n <= 0)
            std::abort();
        at += static_cast<size_t>(n);
    }
    ::shutdown(fds[1], SHUT_WR);
    std::vector<char> buf(bufferSize + 1, '\x7F');
    // Every read that goes on consumes at least one byte, so this bounds the loop.
    for (size_t round = 0;; ++round) {
        const int r = km::TnReadMultiLine(fds[0], buf.data(), bufferSize, -1, -1);
        if (buf[bufferSize] != '\x7F' || std::memchr(buf.data(), 0, bufferSize) == nullptr)
            std::abort(); // wrote past the buffer, or left it unterminated
        if (!Known(r))
            std::abort();
        if (r == 1 && km::TcpAtoi(buf.data()) < 0)
            std::abort();
        if (r != 1 && r != 2)
            break;
        if (round > size)
            std::abort(); // reading did not end
    }
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}
