#pragma once
// Status codes of the TCP library: positive or zero for success or end of data,
// negative for failure. Every operation returns one of these.

namespace km {

enum TcpStatus : int {
    kTcpSuccess = 1,
    kTcpClosed = 0,
    kTcpError = -1,
    kTcpTimeout = -2,
    kTcpUnknownHost = -4,
    kTcpNoSocket = -5,
    kTcpConnectFailed = -6,
    kTcpBadLength = -7,
    kTcpBindFailed = -8,
    kTcpOverflow = -9,
    kTcpZeroLength = -10,
    kTcpCancelled = -11,
    kTcpNoMemory = -12,
    kTcpBadPort = -13,
    kTcpFileError = -14,
    kTcpTlsFailed = -15, // the TLS handshake did not complete
};

// The fixed text of a status code; "Not a Tcp return code" for anything else.
const char* TcpErrorString(int status);

} // namespace km
