#pragma once
// Internal: every byte the library moves goes through these, so that a socket
// that has been switched to TLS (net/TcpTls.h) is read and written through
// its TLS layer while the operations above stay the same. Plain sockets get
// the system calls with MSG_DONTWAIT.
#include <cstddef>
#include <sys/types.h>

typedef struct ssl_st SSL;

namespace km::detail {

// As recv/send with MSG_DONTWAIT: the count, 0 at the end of data, -1 with
// errno (EAGAIN when nothing can move now). `peek` leaves the bytes in place.
ssize_t SocketRecv(int fd, void* buf, size_t size, bool peek);
ssize_t SocketSend(int fd, const void* data, size_t size, bool urgent);
// Decrypted bytes already waiting, which poll cannot see.
bool SocketHasBuffered(int fd);
// The poll events that let a read or write on `fd` go on: TLS may need to
// write while reading and the other way round.
short SocketPollEvents(int fd, short events);
// True for a numeric IPv4 or IPv6 address (no brackets), which needs no
// look-up and is never sent as a TLS server name.
bool IsAddressLiteral(const char* host);
// Ends sending: a TLS close_notify, then the TCP half-close. 0 or -1.
int SocketShutdown(int fd);

// The TLS layer of a socket, owned by this registry from Attach to Detach
// (which frees it); null for a plain socket.
void AttachTls(int fd, SSL* ssl);
void DetachTls(int fd);
SSL* TlsOf(int fd);

} // namespace km::detail
