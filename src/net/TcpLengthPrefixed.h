#pragma once
// Messages framed by a 2-byte big-endian length.
#include <cstddef>

namespace km {

// 1; -7 when the message is longer than a 2-byte length can say; as TcpSend.
int TcpPPSend(int sock, const char* data, size_t length, int log);
// The message length; -7 when `exactLength` and it differs from `size`, -9 when
// above `size`, -10 when 0. The body is read with timeout / 4 + 1 seconds per
// read.
int TcpPPRecv(int sock, char* buf, size_t size, int timeout, bool exactLength, int log);

} // namespace km
