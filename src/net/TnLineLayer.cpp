#include "net/TnLineLayer.h"

#include "net/TcpRecvUntilStr.h"
#include "net/TcpStatus.h"
#include "net/TcpTrace.h"
#include "net/TcpTransport.h"
#include "net/TnReplyScanner.h"

#include <cstring>
#include <memory>
#include <new>

namespace km {

namespace {

// One line of at most size - 1 bytes, NUL-terminated, its CR dropped.
int ReadLine(int sock, char* buf, size_t size, int log, TcpWaiter& waiter,
             const TcpDeadline& deadline, size_t& length) {
    length = 0;
    if (!buf || size == 0)
        return kTcpError;
    size_t n = size - 1;
    const int r = n == 0 ? kTcpError
                         : detail::RecvUntilStr(sock, buf, n, "\n", 1, true, log, waiter, deadline);
    if (r == kTcpSuccess && n > 0 && buf[n - 1] == '\r')
        --n;
    buf[n] = '\0';
    length = n;
    return r;
}

// Reads and drops the rest of a reply that did not fit, up to its final line.
// `inLine`: a line was cut and its remainder is still pending; `inLastLine`:
// that line is the final one.
int SkipRestOfReply(int sock, const TnReplyScanner& scanner, int log, TcpWaiter& waiter,
                    const TcpDeadline& deadline, bool inLine, bool inLastLine) {
    char scratch[512];
    bool atLineStart = !inLine;
    bool last = inLastLine;
    for (;;) {
        size_t length = 0;
        const int r = ReadLine(sock, scratch, sizeof scratch, log, waiter, deadline, length);
        if (r != kTcpSuccess && r != kTcpOverflow)
            return r;
        if (atLineStart)
            last = !scanner.Next(std::string_view(scratch, length));
        // An overflow leaves the same line's remainder for the next read.
        atLineStart = r == kTcpSuccess;
        if (atLineStart && last)
            return kTcpSuccess;
    }
}

} // namespace

int TnReadLine(int sock, char* buf, size_t size, int timeout, int log, size_t* lineLength) {
    KM_TCP_TRACE(kTraceEnterTn, "TnReadLine on socket %d. Timeout %d, bufsize %zu", sock, timeout,
                 size);
    if (!buf || size == 0)
        return kTcpError;
    std::memset(buf, 0, size);
    TcpWaiter waiter;
    size_t length = 0;
    const int r = ReadLine(sock, buf, size, log, waiter, TcpDeadline(timeout), length);
    if (lineLength)
        *lineLength = length;
    return r;
}

int TnSend(int sock, std::string_view text, bool urgent, int log, int timeout) {
    KM_TCP_TRACE(kTraceEnterTn, "TnSend on socket %d. Length %zu", sock, text.size());
    std::unique_ptr<char[]> line(new (std::nothrow) char[text.size() + 2]);
    if (!line)
        return kTcpNoMemory;
    text.copy(line.get(), text.size());
    line[text.size()] = '\r';
    line[text.size() + 1] = '\n';
    const int r = TcpSend(sock, line.get(), text.size() + 2, urgent, log, timeout);
    return r == kTcpSuccess ? kTcpSuccess : kTcpError;
}

int TnReadMultiLine(int sock, char* buf, size_t size, int timeout, int log) {
    KM_TCP_TRACE(kTraceEnterTn, "TnReadMultiLine on socket %d. Timeout %d, bufsize %zu", sock,
                 timeout, size);
    if (!buf || size == 0)
        return kTcpError;
    std::memset(buf, 0, size);
    TcpWaiter waiter;
    const TcpDeadline deadline(timeout);
    TnReplyScanner scanner;
    size_t length = 0;
    int r = ReadLine(sock, buf, size, log, waiter, deadline, length);
    size_t used = length;
    bool more = r == kTcpSuccess && scanner.First(std::string_view(buf, length));
    if (r == kTcpOverflow) {
        // The reply still fails (2), but its rest is read and dropped: left
        // in the socket, it would answer the commands that follow.
        const bool continues = scanner.First(std::string_view(buf, length));
        const int skipped = SkipRestOfReply(sock, scanner, log, waiter, deadline, true, !continues);
        if (skipped != kTcpSuccess)
            r = skipped;
    }
    while (more) {
        // A line joins behind a LF only when it would start more than 5 bytes
        // before the end; each line leaves the final byte for the NUL.
        const size_t next = used + 1;
        if (next + 5 >= size) {
            r = SkipRestOfReply(sock, scanner, log, waiter, deadline, false, false);
            break;
        }
        buf[used] = '\n';
        r = ReadLine(sock, buf + next, size - next, log, waiter, deadline, length);
        used = next + length;
        if (r == kTcpOverflow) {
            // The code is known from the first line; a long banner only loses
            // text, and its rest must not be taken for the next reply.
            const bool last = !scanner.Next(std::string_view(buf + next, length));
            r = SkipRestOfReply(sock, scanner, log, waiter, deadline, true, last);
            break;
        }
        more = r == kTcpSuccess && scanner.Next(std::string_view(buf + next, length));
    }
    buf[used] = '\0';
    switch (r) {
    case kTcpSuccess:
        return 1;
    case kTcpClosed:
        return 0;
    case kTcpTimeout:
        return kTcpTimeout;
    case kTcpCancelled:
        return kTcpCancelled;
    case kTcpOverflow:
        return 2;
    default:
        return kTcpError;
    }
}

int TnReadAnswerCode(int sock, char* buf, size_t size, int timeout, int log) {
    const int r = TnReadMultiLine(sock, buf, size, timeout, log);
    return r == 1 ? TcpAtoi(buf) : r;
}

} // namespace km
