#include "net/TcpTransport.h"

#include "net/SocketTable.h"
#include "net/TcpHooks.h"
#include "net/TcpLog.h"
#include "net/TcpStatus.h"
#include "net/TcpTrace.h"
#include "net/TcpWait.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace km {

namespace {

bool g_initialised = false;

// The port a call asks for: the services database's entry for `service` when
// there is one, else the caller's port.
uint16_t ChoosePort(const char* service, const uint16_t* port) {
    if (service && *service) {
        servent entry{};
        servent* found = nullptr;
        char scratch[1024];
        if (::getservbyname_r(service, "tcp", &entry, scratch, sizeof scratch, &found) == 0 &&
            found)
            return ntohs(static_cast<uint16_t>(found->s_port));
    }
    return port ? *port : 0;
}

void SetLinger(int fd, int seconds) {
    linger l{1, seconds};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

int CopyCut(const char* text, char* out, size_t size) {
    if (!out || size == 0)
        return kTcpOverflow;
    const size_t length = std::strlen(text);
    const size_t n = length < size ? length : size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
    return n == length ? kTcpSuccess : kTcpOverflow;
}

int SocketAddr(int sock, bool peer, uint32_t* addr, uint16_t* port) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const int r = peer ? ::getpeername(sock, reinterpret_cast<sockaddr*>(&sa), &len)
                       : ::getsockname(sock, reinterpret_cast<sockaddr*>(&sa), &len);
    if (r != 0 || sa.sin_family != AF_INET)
        return kTcpError;
    if (addr)
        *addr = sa.sin_addr.s_addr;
    if (port)
        *port = ntohs(sa.sin_port);
    return kTcpSuccess;
}

template <typename T> T LeadingDigits(const char* text, T max) {
    T value = 0;
    for (; text && *text >= '0' && *text <= '9'; ++text) {
        const T digit = *text - '0';
        if (value > (max - digit) / 10)
            return max;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

int TcpInit() {
    // The table is statically empty; POSIX sockets need no start-up.
    g_initialised = true;
    return kTcpSuccess;
}

int TcpCleanup() {
    if (!g_initialised)
        return kTcpSuccess;
    if (TcpIsBlocking()) {
        TcpAbort();
        return kTcpError;
    }
    for (int fd : SocketTable::OwnedBy(std::this_thread::get_id())) {
        int s = fd;
        TcpClose(s);
    }
    return kTcpSuccess;
}

int TcpConnect(int& sock, const char* host, const char* service, uint16_t* port, int timeout) {
    sock = -1;
    const uint16_t usePort = ChoosePort(service, port);
    KM_TCP_TRACE(kTraceEnter, "TcpConnect. Host %s, service %s, port %u", host ? host : "",
                 service ? service : "", usePort);
    if (usePort == 0)
        return kTcpBadPort;
    const uint32_t addr = TcpGetIPAddr(host);
    if (addr == INADDR_NONE)
        return kTcpUnknownHost;
    KM_TCP_TRACE(kTraceCall, "socket");
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        KM_TCP_TRACE(kTraceError, "socket");
        return kTcpNoSocket;
    }
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(usePort);
    sa.sin_addr.s_addr = addr;
    KM_TCP_TRACE(kTraceCall, "connect on socket %d", fd);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            KM_TCP_TRACE(kTraceError, "connect");
            ::close(fd);
            return kTcpConnectFailed;
        }
        TcpWaiter waiter;
        const int r = waiter.Wait(fd, POLLOUT, TcpDeadline(timeout));
        int error = 0;
        socklen_t len = sizeof error;
        if (r == kTcpSuccess && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0)
            error = errno;
        if (r != kTcpSuccess || error != 0) {
            errno = error;
            KM_TCP_TRACE(kTraceError, "connect");
            ::close(fd);
            return r == kTcpTimeout || r == kTcpCancelled ? r : kTcpConnectFailed;
        }
    }
    SocketTable::Add(fd, kSocketConnected);
    if (port)
        *port = usePort;
    sock = fd;
    KM_TCP_TRACE(kTraceExit, "TcpConnect. Socket %d", fd);
    return kTcpSuccess;
}

int TcpGetListenSocket(int& sock, const char* service, uint16_t* port, int backlog,
                       uint32_t bindAddr) {
    sock = -1;
    const uint16_t usePort = ChoosePort(service, port);
    KM_TCP_TRACE(kTraceEnter, "TcpGetListenSocket. Service %s, port %u", service ? service : "",
                 usePort);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return kTcpNoSocket;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    SetLinger(fd, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(usePort);
    sa.sin_addr.s_addr = bindAddr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(fd, backlog) != 0) {
        KM_TCP_TRACE(kTraceError, "bind/listen");
        ::close(fd);
        return kTcpBindFailed;
    }
    uint16_t bound = usePort;
    SocketAddr(fd, false, nullptr, &bound);
    SocketTable::Add(fd, kSocketListening);
    if (port)
        *port = bound;
    sock = fd;
    return kTcpSuccess;
}

int TcpAccept(int& sock, int listenSock, int timeout) {
    sock = -1;
    KM_TCP_TRACE(kTraceEnter, "TcpAccept on socket %d. Timeout %d", listenSock, timeout);
    if (listenSock < 0)
        return kTcpError;
    TcpWaiter waiter;
    const TcpDeadline deadline(timeout);
    for (;;) {
        const int r = waiter.Wait(listenSock, POLLIN, deadline);
        if (r != kTcpSuccess)
            return r;
        const int fd = ::accept4(listenSock, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            SocketTable::Add(fd, kSocketAccepted);
            SetLinger(fd, 5);
            sock = fd;
            return kTcpSuccess;
        }
        // A connection that was reset before we took it: keep waiting.
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNABORTED && errno != EINTR) {
            KM_TCP_TRACE(kTraceError, "accept");
            return kTcpError;
        }
        if (deadline.immediate())
            return kTcpTimeout;
    }
}

int TcpClose(int& sock) {
    if (sock == -1)
        return kTcpSuccess;
    KM_TCP_TRACE(kTraceEnter, "TcpClose on socket %d", sock);
    switch (SocketTable::KindOf(sock)) {
    case kSocketListening:
        TcpWaitMs(100);
        break;
    case kSocketConnected:
    case kSocketAccepted:
        TcpFlush(sock);
        break;
    default:
        break;
    }
    // Linux frees the descriptor even when close reports EINTR.
    if (::close(sock) != 0 && errno != EINTR) {
        KM_TCP_TRACE(kTraceError, "close");
        return kTcpError;
    }
    SocketTable::Remove(sock);
    sock = -1;
    return kTcpSuccess;
}

int TcpFlush(int sock) {
    if (sock < 0)
        return kTcpError;
    char scratch[4096];
    // Bounded, so a peer that never stops sending cannot keep us here.
    for (int round = 0; round < 256 && TcpIsDataAvail(sock); ++round) {
        const ssize_t n = ::recv(sock, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n <= 0)
            break;
        if (TcpTraceOn(kTraceDump))
            detail::TraceDump("Flushed", scratch, static_cast<size_t>(n));
    }
    for (int round = 0; round < 16 && TcpIsOOBDataAvail(sock); ++round) {
        if (::recv(sock, scratch, 64, MSG_OOB | MSG_DONTWAIT) <= 0)
            break;
    }
    return kTcpSuccess;
}

int TcpShutdown(int sock) {
    return sock >= 0 && ::shutdown(sock, SHUT_WR) == 0 ? kTcpSuccess : kTcpError;
}

int TcpRecv(int sock, char* buf, size_t size, int timeout, int log) {
    KM_TCP_TRACE(kTraceEnter, "TcpRecv on socket %d. Timeout %d, bufsize %zu", sock, timeout, size);
    if (sock < 0)
        return kTcpError;
    TcpWaiter waiter;
    const TcpDeadline deadline(timeout);
    if (!buf || size == 0)
        return waiter.Wait(sock, POLLIN, deadline);
    if (int c = waiter.Tick(); c != kTcpSuccess)
        return c;
    const size_t want = size < INT_MAX ? size : INT_MAX;
    for (;;) {
        const ssize_t n = ::recv(sock, buf, want, MSG_DONTWAIT);
        if (n > 0) {
            TcpLogReceived(log, buf, static_cast<size_t>(n));
            if (TcpTraceOn(kTraceDump))
                detail::TraceDump("<", buf, static_cast<size_t>(n));
            return static_cast<int>(n);
        }
        if (n == 0)
            return kTcpClosed;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            KM_TCP_TRACE(kTraceError, "recv");
            return kTcpError;
        }
        if (int r = waiter.Wait(sock, POLLIN, deadline); r != kTcpSuccess)
            return r;
    }
}

int TcpSend(int sock, const char* data, size_t length, bool urgent, int log, int timeout) {
    KM_TCP_TRACE(kTraceEnter, "TcpSend on socket %d. Length %zu%s", sock, length,
                 urgent ? ", urgent" : "");
    if (sock < 0)
        return kTcpError;
    TcpWaiter waiter;
    if (int c = waiter.Tick(); c != kTcpSuccess)
        return c;
    TcpLogSent(log, data, length);
    const int flags = MSG_NOSIGNAL | MSG_DONTWAIT | (urgent ? MSG_OOB : 0);
    const char* p = data;
    size_t left = length;
    while (left > 0) {
        const ssize_t n = ::send(sock, p, left, flags);
        if (n > 0) {
            if (TcpTraceOn(kTraceDump))
                detail::TraceDump(">", p, static_cast<size_t>(n));
            p += n;
            left -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (int r = waiter.Wait(sock, POLLOUT, TcpDeadline(timeout)); r != kTcpSuccess)
                return r;
            continue;
        }
        KM_TCP_TRACE(kTraceError, "send");
        return kTcpError;
    }
    return kTcpSuccess;
}

int TcpIsDataAvail(int sock) {
    int pending = 0;
    return sock >= 0 && ::ioctl(sock, FIONREAD, &pending) == 0 && pending > 0 ? 1 : 0;
}

int TcpIsOOBDataAvail(int sock) {
    if (sock < 0)
        return 0;
    pollfd p{sock, POLLPRI, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLPRI) ? 1 : 0;
}

int TcpPendingOutput(int sock) {
    int pending = 0;
    return sock >= 0 && ::ioctl(sock, SIOCOUTQ, &pending) == 0 ? pending : -1;
}

uint32_t TcpGetIPAddr(const char* host) {
    if (!host || !*host)
        return INADDR_NONE;
    in_addr a{};
    if (::inet_pton(AF_INET, host, &a) == 1)
        return a.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host, nullptr, &hints, &found) != 0 || !found)
        return INADDR_NONE;
    const uint32_t addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return addr;
}

int TcpGetLocalAddr(int sock, uint32_t* addr, uint16_t* port) {
    return SocketAddr(sock, false, addr, port);
}

int TcpGetPeerAddr(int sock, uint32_t* addr, uint16_t* port) {
    return SocketAddr(sock, true, addr, port);
}

int TcpGetLocalID(char* name, size_t size, uint32_t* addr) {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0)
        return kTcpError;
    if (addr)
        *addr = TcpGetIPAddr(host);
    return CopyCut(host, name, size);
}

int TcpGetRemoteID(int sock, char* name, size_t size, uint32_t* addr) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (sock < 0 || ::getpeername(sock, reinterpret_cast<sockaddr*>(&sa), &len) != 0 ||
        sa.sin_family != AF_INET)
        return kTcpError;
    if (addr)
        *addr = sa.sin_addr.s_addr;
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<sockaddr*>(&sa), len, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        ::inet_ntop(AF_INET, &sa.sin_addr, host, sizeof host);
    return CopyCut(host, name, size);
}

int TcpAtoi(const char* text) {
    return LeadingDigits<int>(text, INT_MAX);
}

long TcpAtol(const char* text) {
    return LeadingDigits<long>(text, LONG_MAX);
}

} // namespace km
