#include "net/TcpStatus.h"

namespace km {

const char* TcpErrorString(int status) {
    switch (status) {
    case kTcpSuccess:
        return "Successful call";
    case kTcpClosed:
        return "Host has closed connection";
    case kTcpError:
        return "Network error";
    case kTcpTimeout:
        return "Timeout in recv or accept";
    case kTcpUnknownHost:
        return "Reference to Unknown host";
    case kTcpNoSocket:
        return "All sockets has been used up";
    case kTcpConnectFailed:
        return "Connect function has failed";
    case kTcpBadLength:
        return "TcpPPRecv : Error in length";
    case kTcpBindFailed:
        return "Bind failed (Task already started or attempt to open privileged socket )";
    case kTcpOverflow:
        return "Overflow during TcpPPRecv/TcpRecvUntilStr";
    case kTcpZeroLength:
        return "TcpPPRecv receives 0 byte";
    case kTcpCancelled:
        return "Call cancelled by signal or TcpAbort";
    case kTcpNoMemory:
        return "Not enough memory to perform function";
    case kTcpBadPort:
        return "Bad port number or alias";
    case kTcpFileError:
        return "A file operation has failed";
    case kTcpTlsFailed:
        return "TLS negotiation failed";
    default:
        return "Not a Tcp return code";
    }
}

} // namespace km
