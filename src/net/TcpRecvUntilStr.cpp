#include "net/TcpRecvUntilStr.h"

#include "net/SocketIo.h"
#include "net/TcpLog.h"
#include "net/TcpStatus.h"
#include "net/TcpTrace.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <poll.h>
#include <sys/socket.h>

namespace km {

namespace {

// One peek never asks for more than this, however large the caller's buffer.
constexpr size_t kMaxPeek = 65536;

char Fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first position of the delimiter in `text`, or `length` when absent.
size_t Find(const char* text, size_t length, const char* delimiter, size_t delimiterLength,
            bool caseSensitive) {
    if (length < delimiterLength)
        return length;
    for (size_t at = 0; at + delimiterLength <= length; ++at) {
        size_t i = 0;
        if (caseSensitive) {
            while (i < delimiterLength && text[at + i] == delimiter[i])
                ++i;
        } else {
            while (i < delimiterLength && Fold(text[at + i]) == Fold(delimiter[i]))
                ++i;
        }
        if (i == delimiterLength)
            return at;
    }
    return length;
}

// Takes exactly `count` already-peeked bytes off the socket into `into`.
bool Consume(int sock, char* into, size_t count, int log) {
    size_t got = 0;
    while (got < count) {
        const ssize_t n = detail::SocketRecv(sock, into + got, count - got, false);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    TcpLogReceived(log, into, count);
    if (TcpTraceOn(kTraceDump))
        detail::TraceDump("<", into, count);
    return true;
}

} // namespace

namespace detail {

int RecvUntilStr(int sock, char* buf, size_t& length, const char* delimiter, size_t delimiterLength,
                 bool caseSensitive, int log, TcpWaiter& waiter, const TcpDeadline& deadline) {
    const size_t capacity = length;
    length = 0;
    if (sock < 0 || capacity == 0 || !buf || !delimiter || delimiterLength == 0)
        return kTcpError;
    // The last delimiterLength - 1 stored bytes sit in front of each peek, so a
    // delimiter split over two peeks is still found.
    const size_t keep = delimiterLength - 1;
    const size_t peekMax =
        capacity + delimiterLength < kMaxPeek ? capacity + delimiterLength : kMaxPeek;
    std::unique_ptr<char[]> work(new (std::nothrow) char[keep + peekMax + 1]);
    if (!work)
        return kTcpNoMemory;
    size_t stored = 0;
    for (;;) {
        if (int r = waiter.Wait(sock, POLLIN, deadline); r != kTcpSuccess) {
            length = stored;
            return r;
        }
        const size_t tail = stored < keep ? stored : keep;
        std::memcpy(work.get(), buf + stored - tail, tail);
        size_t want = delimiterLength + capacity - stored;
        if (want > peekMax)
            want = peekMax;
        char* peeked = work.get() + tail;
        const ssize_t n = detail::SocketRecv(sock, peeked, want, true);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0) {
            length = stored;
            return n == 0 ? kTcpClosed : kTcpError;
        }
        const size_t got = static_cast<size_t>(n);
        const size_t at = Find(work.get(), tail + got, delimiter, delimiterLength, caseSensitive);
        if (at < tail + got) {
            size_t take;
            size_t copy = 0;
            if (at < tail) {
                // The delimiter began in bytes already stored: take them back.
                stored -= tail - at;
                take = delimiterLength - (tail - at);
            } else {
                copy = at - tail;
                take = copy + delimiterLength;
            }
            if (!Consume(sock, peeked, take, log)) {
                length = stored;
                return kTcpError;
            }
            std::memcpy(buf + stored, peeked, copy);
            length = stored + copy;
            return kTcpSuccess;
        }
        const size_t room = capacity - stored;
        const size_t take = got < room ? got : room;
        if (!Consume(sock, buf + stored, take, log)) {
            length = stored;
            return kTcpError;
        }
        stored += take;
        if (stored == capacity) {
            length = stored;
            if (TcpTraceOn(kTraceDump))
                detail::TraceDump("Overflow", buf, stored);
            return kTcpOverflow;
        }
    }
}

} // namespace detail

int TcpRecvUntilStr(int sock, char* buf, size_t& length, const char* delimiter,
                    size_t delimiterLength, bool caseSensitive, int timeout, int log) {
    KM_TCP_TRACE(kTraceEnter, "TcpRecvUntilStr on socket %d. Timeout %d, bufsize %zu", sock,
                 timeout, length);
    TcpWaiter waiter;
    return detail::RecvUntilStr(sock, buf, length, delimiter, delimiterLength, caseSensitive, log,
                                waiter, TcpDeadline(timeout));
}

} // namespace km
