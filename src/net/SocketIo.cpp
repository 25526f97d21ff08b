#include "net/SocketIo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unordered_map>

namespace km::detail {

namespace {

struct TlsEntry {
    SSL* ssl = nullptr;
    short need = 0; // what the last call waits for, when TLS had to read or write first
};

std::mutex g_mutex;
std::unordered_map<int, TlsEntry> g_tls;

TlsEntry* Find(int fd) {
    auto it = g_tls.find(fd);
    return it == g_tls.end() ? nullptr : &it->second;
}

int ClampInt(size_t size) {
    return size < static_cast<size_t>(INT_MAX) ? static_cast<int>(size) : INT_MAX;
}

// Turns an OpenSSL result into the system-call convention.
ssize_t TlsResult(TlsEntry& e, int n) {
    if (n > 0) {
        e.need = 0;
        return n;
    }
    switch (SSL_get_error(e.ssl, n)) {
    case SSL_ERROR_ZERO_RETURN:
        e.need = 0;
        return 0;
    case SSL_ERROR_WANT_READ:
        e.need = POLLIN;
        errno = EAGAIN;
        return -1;
    case SSL_ERROR_WANT_WRITE:
        e.need = POLLOUT;
        errno = EAGAIN;
        return -1;
    case SSL_ERROR_SYSCALL:
        if (errno == 0)
            errno = ECONNRESET;
        return -1;
    default:
        errno = EPROTO;
        return -1;
    }
}

} // namespace

ssize_t SocketRecv(int fd, void* buf, size_t size, bool peek) {
    std::unique_lock lock(g_mutex);
    TlsEntry* e = Find(fd);
    if (!e) {
        lock.unlock();
        return ::recv(fd, buf, size, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
    }
    ERR_clear_error();
    const int n = peek ? SSL_peek(e->ssl, buf, ClampInt(size)) : SSL_read(e->ssl, buf, ClampInt(size));
    return TlsResult(*e, n);
}

ssize_t SocketSend(int fd, const void* data, size_t size, bool urgent) {
    std::unique_lock lock(g_mutex);
    TlsEntry* e = Find(fd);
    if (!e) {
        lock.unlock();
        return ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT | (urgent ? MSG_OOB : 0));
    }
    // Out-of-band bytes would bypass the encryption; they go in line.
    ERR_clear_error();
    return TlsResult(*e, SSL_write(e->ssl, data, ClampInt(size)));
}

bool SocketHasBuffered(int fd) {
    std::lock_guard lock(g_mutex);
    const TlsEntry* e = Find(fd);
    return e && SSL_pending(e->ssl) > 0;
}

short SocketPollEvents(int fd, short events) {
    std::lock_guard lock(g_mutex);
    const TlsEntry* e = Find(fd);
    return e && e->need ? e->need : events;
}

bool IsAddressLiteral(const char* host) {
    unsigned char scratch[16];
    return ::inet_pton(AF_INET, host, scratch) == 1 || ::inet_pton(AF_INET6, host, scratch) == 1;
}

int SocketShutdown(int fd) {
    {
        std::lock_guard lock(g_mutex);
        if (TlsEntry* e = Find(fd)) {
            ERR_clear_error();
            const int r = SSL_shutdown(e->ssl);
            // 0: our close_notify is out, the peer's is still to come.
            if (r < 0 && TlsResult(*e, r) < 0 && errno == EAGAIN)
                return -1;
            e->need = 0;
        }
    }
    return ::shutdown(fd, SHUT_WR) == 0 ? 0 : -1;
}

void AttachTls(int fd, SSL* ssl) {
    std::lock_guard lock(g_mutex);
    if (TlsEntry* old = Find(fd))
        SSL_free(old->ssl);
    g_tls[fd] = TlsEntry{ssl, 0};
}

void DetachTls(int fd) {
    std::lock_guard lock(g_mutex);
    if (TlsEntry* e = Find(fd)) {
        // The socket is going; no close_notify is waited for.
        SSL_set_quiet_shutdown(e->ssl, 1);
        SSL_free(e->ssl);
        g_tls.erase(fd);
    }
}

SSL* TlsOf(int fd) {
    std::lock_guard lock(g_mutex);
    const TlsEntry* e = Find(fd);
    return e ? e->ssl : nullptr;
}

} // namespace km::detail
