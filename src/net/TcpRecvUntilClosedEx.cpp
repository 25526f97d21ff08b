#include "net/TcpRecvUntilClosedEx.h"

#include "platform/ReplacementFile.h"
#include "net/TcpStatus.h"
#include "net/TcpTransport.h"

namespace km {

int TcpRecvUntilClosedEx(int sock, const std::string& path, int timeout,
                         const TcpProgress& progress, int log) {
    if (sock < 0)
        return kTcpError;
    ReplacementFile file;
    if (!path.empty() && file.Create(path) != 0)
        return kTcpFileError;
    if (progress && !progress(0))
        return kTcpCancelled;
    char block[4096];
    uint64_t total = 0;
    for (;;) {
        const int n = TcpRecv(sock, block, sizeof block, timeout, log);
        if (n == kTcpClosed)
            return path.empty() || file.Commit(file.TargetExisted()) == 0 ? kTcpSuccess : kTcpFileError;
        if (n < 0)
            return n;
        if (!path.empty() && file.Write(block, static_cast<size_t>(n)) != 0)
            return kTcpFileError;
        total += static_cast<uint64_t>(n);
        if (progress && !progress(total))
            return kTcpCancelled;
    }
}

} // namespace km
