#pragma once
// Receives everything a peer sends until it closes the connection.
#include <cstdint>
#include <functional>
#include <string>

namespace km {

// Called first with 0 and then after every block with the running total;
// returning false stops the call.
using TcpProgress = std::function<bool(uint64_t total)>;

// Into the file `path` when not empty (it replaces the file only when the peer
// closed normally; -14 when it cannot be made or written), else the bytes are
// dropped. 1 when the peer closed; -11 when the progress function said stop;
// -1, -2, -11 as TcpRecv (timeout per block).
int TcpRecvUntilClosedEx(int sock, const std::string& path, int timeout,
                         const TcpProgress& progress, int log);

} // namespace km
