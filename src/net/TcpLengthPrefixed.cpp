#include "net/TcpLengthPrefixed.h"

#include "net/TcpStatus.h"
#include "net/TcpTransport.h"

namespace km {

namespace {

// Fills exactly `length` bytes, each read with `timeout`.
int RecvExactly(int sock, char* buf, size_t length, int timeout, int log) {
    size_t got = 0;
    while (got < length) {
        const int n = TcpRecv(sock, buf + got, length - got, timeout, log);
        if (n <= 0)
            return n;
        got += static_cast<size_t>(n);
    }
    return kTcpSuccess;
}

} // namespace

int TcpPPSend(int sock, const char* data, size_t length, int log) {
    if (length > 0xFFFF)
        return kTcpBadLength;
    const char head[2] = {static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)};
    const int r = TcpSend(sock, head, sizeof head, false, log);
    if (r != kTcpSuccess || length == 0)
        return r;
    return TcpSend(sock, data, length, false, log);
}

int TcpPPRecv(int sock, char* buf, size_t size, int timeout, bool exactLength, int log) {
    char head[2];
    if (int r = RecvExactly(sock, head, sizeof head, timeout, log); r != kTcpSuccess)
        return r;
    const size_t length =
        (static_cast<unsigned char>(head[0]) << 8) | static_cast<unsigned char>(head[1]);
    if (exactLength && length != size)
        return kTcpBadLength;
    if (length > size)
        return kTcpOverflow;
    if (length == 0)
        return kTcpZeroLength;
    if (int r = RecvExactly(sock, buf, length, timeout / 4 + 1, log); r != kTcpSuccess)
        return r;
    return static_cast<int>(length);
}

} // namespace km
