#pragma once
// A small blocking TCP library over POSIX sockets. Every operation returns a
// status of net/TcpStatus.h; a socket is an int, -1 for none; timeouts are in
// seconds (see each call); `log` is a log handle (net/TcpLog.h) or -1.
// Waiting calls pump and can be cancelled (net/TcpHooks.h).
#include <cstddef>
#include <cstdint>
#include <string>

namespace km {

// Starts the library; the socket table is cleared on the first call. 1.
int TcpInit();
// Closes every tracked socket of the calling thread: 1. When a blocking call is
// in progress (a pump called us) that call is cancelled instead: -1.
int TcpCleanup();

// Connects to `host`: a name, an IPv4 or IPv6 address (also "[::1]"); a name
// is looked up without blocking the pump and each of its addresses is tried
// in turn. The port comes from `service`
// when the services database knows it, else from `*port` (null counts as 0);
// the port used is written back. `timeout` limits the connection attempt
// (0 = no limit). 1; -13, -4, -5, -6, -2, -11.
int TcpConnect(int& sock, const char* host, const char* service, uint16_t* port, int timeout = 0);
// A listening socket on `service` or `*port` (0 = any free port), bound to
// the numeric address `bindHost` of either family (none = every local IPv4
// address). The bound port is written back. 1; -5, -8.
int TcpGetListenSocket(int& sock, const char* service, uint16_t* port, int backlog,
                       const char* bindHost = nullptr);
// Waits for a connection (timeout 0 = no limit) and accepts it. 1; -2, -1, -11.
int TcpAccept(int& sock, int listenSock, int timeout);
// 1 (also for -1, doing nothing); -1 if the system refuses, the entry stays.
int TcpClose(int& sock);
// Discards pending ordinary and urgent input. 1, or -1 without a socket.
int TcpFlush(int sock);
// Ends this side's sending; the peer reads end of data. 1 or -1.
int TcpShutdown(int sock);

// Receives at most `size` bytes once: count (>0); 0 closed; with no buffer or
// size 0, 1 when data is ready. Timeout 0 = no limit, -1 = do not wait.
// -1, -2, -11.
int TcpRecv(int sock, char* buf, size_t size, int timeout, int log);
// Sends every byte (as out-of-band data when `urgent`): 1; -1, -2, -11.
// `timeout` limits each wait for room to send (0 = no limit).
int TcpSend(int sock, const char* data, size_t length, bool urgent, int log, int timeout = 0);

int TcpIsDataAvail(int sock);
int TcpIsOOBDataAvail(int sock);
// Bytes sent but not yet acknowledged by the peer, or -1.
int TcpPendingOutput(int sock);

// IPv4 addresses are in network byte order, as the socket calls use them.
// 255.255.255.255 when `host` cannot be resolved.
uint32_t TcpGetIPAddr(const char* host);
// The local or peer address and port of a connected socket; 1 or -1.
int TcpGetLocalAddr(int sock, uint32_t* addr, uint16_t* port);
int TcpGetPeerAddr(int sock, uint32_t* addr, uint16_t* port);
// Either end of a socket, with its numeric address as text.
struct TcpEndpoint {
    std::string host;
    uint16_t port = 0;
    bool v6 = false;
};
int TcpGetEndpoint(int sock, bool peer, TcpEndpoint& out);
// The local host name (-9 when it had to be cut) and its first IPv4 address.
int TcpGetLocalID(char* name, size_t size, uint32_t* addr);
// The peer's address and, by reverse look-up, its name (-9 when cut); -1.
int TcpGetRemoteID(int sock, char* name, size_t size, uint32_t* addr);

// The value of the leading decimal digits (no sign, no blanks; 0 if none).
// Saturates instead of overflowing.
int TcpAtoi(const char* text);
long TcpAtol(const char* text);

} // namespace km
