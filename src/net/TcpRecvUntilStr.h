#pragma once
// Reading up to a delimiter without taking more than that from the socket: the
// pending input is peeked, searched, and only the bytes up to and including the
// delimiter are consumed, so what follows stays readable for the next call.
#include "net/TcpWait.h"

#include <cstddef>

namespace km {

// `length` is the buffer's capacity on entry and the count stored on every
// exit; the delimiter is not stored. The timeout (seconds; 0 = no limit, -1 =
// do not wait) bounds the whole call. Only A-Z/a-z fold when not
// `caseSensitive`. 1 found; 0 closed, -1, -2, -9 buffer full (the stored bytes
// stay consumed), -11, -12.
int TcpRecvUntilStr(int sock, char* buf, size_t& length, const char* delimiter,
                    size_t delimiterLength, bool caseSensitive, int timeout, int log);

namespace detail {
// The same within a larger operation's waiter and time limit.
int RecvUntilStr(int sock, char* buf, size_t& length, const char* delimiter, size_t delimiterLength,
                 bool caseSensitive, int log, TcpWaiter& waiter, const TcpDeadline& deadline);
} // namespace detail

} // namespace km
