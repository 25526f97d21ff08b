#include "net/TcpTransport.h"

#include "net/SocketIo.h"
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

#include <atomic>
#include <memory>
#include <string>
#include <thread>

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


// "[::1]" is how people write an IPv6 address next to a port; the resolver
// wants it bare.
std::string BareHost(const char* host) {
    std::string h = host ? host : "";
    if (h.size() >= 2 && h.front() == '[' && h.back() == ']')
        h = h.substr(1, h.size() - 2);
    return h;
}

// A name look-up may take seconds; it runs on a thread of its own while the
// caller keeps pumping, and a cancelled caller simply stops waiting for it.
struct HostLookup {
    std::atomic<bool> done{false};
    int status = 0;
    addrinfo* result = nullptr;
    ~HostLookup() {
        if (result)
            ::freeaddrinfo(result);
    }
};

int Resolve(const std::string& host, uint16_t port, TcpWaiter& waiter, const TcpDeadline& deadline,
            std::shared_ptr<HostLookup>& out) {
    if (host.empty())
        return kTcpUnknownHost;
    auto lookup = std::make_shared<HostLookup>();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    const std::string service = std::to_string(port);
    if (detail::IsAddressLiteral(host.c_str())) {
        hints.ai_flags = AI_NUMERICHOST;
        lookup->status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &lookup->result);
    } else {
        std::thread([lookup, host, service, hints] {
            lookup->status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &lookup->result);
            lookup->done = true;
        }).detach();
        while (!lookup->done.load()) {
            if (deadline.Expired())
                return kTcpTimeout;
            if (int r = waiter.Sleep(TcpDeadline::Millis(5)); r != kTcpSuccess)
                return r;
        }
    }
    if (lookup->status != 0 || !lookup->result)
        return kTcpUnknownHost;
    out = std::move(lookup);
    return kTcpSuccess;
}

// A numeric address of either family and a port; no host means every local
// IPv4 address.
bool FillAddress(const char* host, uint16_t port, sockaddr_storage& ss, socklen_t& length) {
    const std::string bare = BareHost(host);
    if (bare.find(':') != std::string::npos) {
        auto* sa6 = reinterpret_cast<sockaddr_in6*>(&ss);
        sa6->sin6_family = AF_INET6;
        sa6->sin6_port = htons(port);
        length = sizeof *sa6;
        return ::inet_pton(AF_INET6, bare.c_str(), &sa6->sin6_addr) == 1;
    }
    auto* sa = reinterpret_cast<sockaddr_in*>(&ss);
    sa->sin_family = AF_INET;
    sa->sin_port = htons(port);
    length = sizeof *sa;
    return bare.empty() || ::inet_pton(AF_INET, bare.c_str(), &sa->sin_addr) == 1;
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
    TcpWaiter waiter;
    const TcpDeadline deadline(timeout);
    std::shared_ptr<HostLookup> lookup;
    if (int r = Resolve(BareHost(host), usePort, waiter, deadline, lookup); r != kTcpSuccess)
        return r;
    // Every address the name has, in the resolver's order, until one answers.
    int result = kTcpConnectFailed;
    for (const addrinfo* ai = lookup->result; ai; ai = ai->ai_next) {
        KM_TCP_TRACE(kTraceCall, "socket");
        const int fd = ::socket(ai->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            KM_TCP_TRACE(kTraceError, "socket");
            result = kTcpNoSocket;
            continue;
        }
        KM_TCP_TRACE(kTraceCall, "connect on socket %d", fd);
        int r = kTcpSuccess;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            r = kTcpConnectFailed;
            if (errno == EINPROGRESS || errno == EINTR) {
                r = waiter.Wait(fd, POLLOUT, deadline);
                int error = 0;
                socklen_t len = sizeof error;
                if (r == kTcpSuccess &&
                    (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0))
                    r = kTcpConnectFailed;
            }
        }
        if (r == kTcpSuccess) {
            SocketTable::Add(fd, kSocketConnected);
            if (port)
                *port = usePort;
            sock = fd;
            KM_TCP_TRACE(kTraceExit, "TcpConnect. Socket %d", fd);
            return kTcpSuccess;
        }
        KM_TCP_TRACE(kTraceError, "connect");
        ::close(fd);
        if (r == kTcpTimeout || r == kTcpCancelled)
            return r;
        result = r;
    }
    return result;
}

int TcpGetListenSocket(int& sock, const char* service, uint16_t* port, int backlog,
                       const char* bindHost) {
    sock = -1;
    const uint16_t usePort = ChoosePort(service, port);
    KM_TCP_TRACE(kTraceEnter, "TcpGetListenSocket. Service %s, port %u", service ? service : "",
                 usePort);
    sockaddr_storage ss{};
    socklen_t length = 0;
    if (!FillAddress(bindHost, usePort, ss, length))
        return kTcpBindFailed;
    const int fd = ::socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return kTcpNoSocket;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    SetLinger(fd, 0);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), length) != 0 || ::listen(fd, backlog) != 0) {
        KM_TCP_TRACE(kTraceError, "bind/listen");
        ::close(fd);
        return kTcpBindFailed;
    }
    TcpEndpoint bound;
    TcpGetEndpoint(fd, false, bound);
    SocketTable::Add(fd, kSocketListening);
    if (port)
        *port = bound.port;
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
    // No pause before closing a listening socket: connections it accepted
    // do not depend on it here, and a pause per active-mode transfer made
    // every file 100 ms slower.
    const TcpSocketKind kind = SocketTable::KindOf(sock);
    if (kind == kSocketConnected || kind == kSocketAccepted)
        TcpFlush(sock);
    detail::DetachTls(sock);
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
        const ssize_t n = detail::SocketRecv(sock, scratch, sizeof scratch, false);
        if (n <= 0)
            break;
        if (TcpTraceOn(kTraceDump))
            detail::TraceDump("Flushed", scratch, static_cast<size_t>(n));
    }
    for (int round = 0; round < 16 && !detail::TlsOf(sock) && TcpIsOOBDataAvail(sock); ++round) {
        if (::recv(sock, scratch, 64, MSG_OOB | MSG_DONTWAIT) <= 0)
            break;
    }
    return kTcpSuccess;
}

int TcpShutdown(int sock) {
    if (sock < 0)
        return kTcpError;
    // TLS may have to wait for room to send its close_notify.
    TcpWaiter waiter;
    const TcpDeadline deadline(5);
    while (detail::SocketShutdown(sock) != 0) {
        if (errno != EAGAIN ||
            waiter.Wait(sock, detail::SocketPollEvents(sock, POLLOUT), deadline) != kTcpSuccess)
            return kTcpError;
    }
    return kTcpSuccess;
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
        const ssize_t n = detail::SocketRecv(sock, buf, want, false);
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
    const char* p = data;
    size_t left = length;
    while (left > 0) {
        const ssize_t n = detail::SocketSend(sock, p, left, urgent);
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
    if (sock >= 0 && detail::SocketHasBuffered(sock))
        return 1;
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

int TcpGetEndpoint(int sock, bool peer, TcpEndpoint& out) {
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    const int r = peer ? ::getpeername(sock, reinterpret_cast<sockaddr*>(&ss), &len)
                       : ::getsockname(sock, reinterpret_cast<sockaddr*>(&ss), &len);
    if (sock < 0 || r != 0)
        return kTcpError;
    char text[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET) {
        const auto* sa = reinterpret_cast<const sockaddr_in*>(&ss);
        ::inet_ntop(AF_INET, &sa->sin_addr, text, sizeof text);
        out.port = ntohs(sa->sin_port);
        out.v6 = false;
    } else if (ss.ss_family == AF_INET6) {
        const auto* sa6 = reinterpret_cast<const sockaddr_in6*>(&ss);
        ::inet_ntop(AF_INET6, &sa6->sin6_addr, text, sizeof text);
        out.port = ntohs(sa6->sin6_port);
        out.v6 = true;
    } else {
        return kTcpError;
    }
    out.host = text;
    return kTcpSuccess;
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
