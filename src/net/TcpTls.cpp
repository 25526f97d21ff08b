#include "net/TcpTls.h"

#include "net/SocketIo.h"
#include "net/TcpStatus.h"
#include "net/TcpWait.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

namespace km {

namespace {

SSL_CTX* Context() {
    static SSL_CTX* const ctx = [] {
        SSL_CTX* c = SSL_CTX_new(TLS_client_method());
        if (!c)
            return c;
        SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
        SSL_CTX_set_default_verify_paths(c);
        // Checked after the handshake, so that the user can be asked.
        SSL_CTX_set_verify(c, SSL_VERIFY_NONE, nullptr);
        // Servers that close the data connection without close_notify are
        // common; the FTP reply that follows says whether all data came.
        SSL_CTX_set_options(c, SSL_OP_IGNORE_UNEXPECTED_EOF);
        SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        return c;
    }();
    return ctx;
}

std::string Fingerprint(X509* cert) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!cert || X509_digest(cert, EVP_sha256(), md, &length) != 1)
        return {};
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        if (i)
            out += ':';
        out += kHex[md[i] >> 4];
        out += kHex[md[i] & 15];
    }
    return out;
}

} // namespace

int TcpStartTls(int sock, const char* host, int resumeFrom, int timeout, TcpTlsPeer* peer) {
    if (sock < 0 || !host || detail::TlsOf(sock))
        return kTcpError;
    SSL_CTX* ctx = Context();
    SSL* ssl = ctx ? SSL_new(ctx) : nullptr;
    if (!ssl || SSL_set_fd(ssl, sock) != 1) {
        SSL_free(ssl);
        return kTcpTlsFailed;
    }
    if (detail::IsAddressLiteral(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host);
    } else {
        SSL_set_tlsext_host_name(ssl, host);
        SSL_set1_host(ssl, host);
    }
    if (SSL* other = resumeFrom >= 0 ? detail::TlsOf(resumeFrom) : nullptr) {
        if (SSL_SESSION* session = SSL_get1_session(other)) {
            SSL_set_session(ssl, session);
            SSL_SESSION_free(session);
        }
    }
    TcpWaiter waiter;
    const TcpDeadline deadline(timeout);
    for (;;) {
        ERR_clear_error();
        const int r = SSL_connect(ssl);
        if (r == 1)
            break;
        const int error = SSL_get_error(ssl, r);
        const short events = error == SSL_ERROR_WANT_READ    ? POLLIN
                              : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                              : 0;
        const int w = events ? waiter.Wait(sock, events, deadline) : kTcpTlsFailed;
        if (w != kTcpSuccess) {
            SSL_free(ssl);
            return w;
        }
    }
    if (peer) {
        X509* cert = SSL_get1_peer_certificate(ssl);
        const long result = SSL_get_verify_result(ssl);
        peer->verified = cert && result == X509_V_OK;
        peer->problem = !cert                  ? "The server sent no certificate"
                        : result != X509_V_OK ? X509_verify_cert_error_string(result)
                                              : "";
        peer->fingerprint = Fingerprint(cert);
        peer->resumed = SSL_session_reused(ssl) == 1;
        X509_free(cert);
    }
    detail::AttachTls(sock, ssl);
    return kTcpSuccess;
}

bool TcpIsTls(int sock) {
    return detail::TlsOf(sock) != nullptr;
}

} // namespace km
