#pragma once
// TLS on a connected socket of the library (OpenSSL). Once started, every
// operation on that socket (receiving, lines, sending, flushing, closing)
// goes through TLS unchanged for its callers.
#include <string>

namespace km {

struct TcpTlsPeer {
    bool verified = false;   // the chain reaches a trusted root and names the host
    std::string problem;     // why not, when not
    std::string fingerprint; // SHA-256 of the server's certificate, "AB:CD:..."
    bool resumed = false;    // the session of `resumeFrom` was taken up
};

// Starts TLS as the client. `host` is what the user gave (checked against the
// certificate; sent as the server name when it is a name). When `resumeFrom`
// is a TLS socket its session is offered, as FTP servers ask of data
// connections. Certificate problems do not fail the handshake: `peer` reports
// them so that the caller can decide. 1; -15 handshake failed; -2, -11, -1.
int TcpStartTls(int sock, const char* host, int resumeFrom, int timeout, TcpTlsPeer* peer);
bool TcpIsTls(int sock);

} // namespace km
