#include "ftp/FtpResult.h"

namespace km {

const char* FtpErrorText(int result) {
    switch (result) {
    case kFtpOk:
        return "FTP - Function successful";
    case kFtpNeedPassword:
        return "FTP - Enter password";
    case kFtpNeedAccount:
        return "FTP - Enter account";
    case kFtpRestartOk:
        return "FTP - Restart command successful";
    case kFtpDataClosed:
        return "FTP - Server closed data connection";
    case kFtpAborted:
        return "FTP - File transfer aborted";
    case kFtpBadParameters:
        return "FTP - Error in parameters";
    case kFtpAlreadyActive:
        return "FTP - Session already active";
    case kFtpNotInitialized:
        return "FTP - Not initialized";
    case kFtpNotConnected:
        return "FTP - User not connected to a server";
    case kFtpCannotOpenLocal:
        return "FTP - Cannot open local file";
    case kFtpCannotWrite:
        return "FTP - Cannot write file";
    case kFtpNoSession:
        return "FTP - Not initialized";
    case kFtpIncorrectlyClosed:
        return "FTP - Incorrectly closed";
    case kFtpActionNotTaken:
        return "FTP - File action not taken";
    case kFtpLoginRejected:
        return "FTP - Login rejected by server";
    case kFtpServerCannotOpen:
        return "FTP - Server cannot open file";
    case kFtpTransferRefused:
        return "FTP - Host refused file transfer";
    case kFtpNoSocketLayer:
        return "FTP - WINSOCK.DLL required";
    case kFtpCloseFailed:
        return "FTP - Close failed - file transfer in progress";
    case kFtpDeleteFailed:
        return "FTP - Error during file delete";
    case kFtpFirewallRejects:
        return "FTP - Firewall rejects userid/passwd";
    case kFtpSynchronousOnly:
        return "FTP - Available only in synchronous mode";
    case kFtpResolveFailed:
        return "FTP - Failed to resolve host address";
    case kFtpNoAnswer:
        return "FTP - No answer from host";
    case kFtpConnectError:
        return "FTP - Error during connection";
    case kFtpNoFtpServer:
        return "FTP - Host does not support FTP";
    case kFtpSendFailed:
        return "FTP - Data send failed";
    case kFtpDataConnectionFailed:
        return "FTP - Data connection failed";
    case kFtpTimeout:
        return "FTP - Timeout";
    case kFtpFirewallConnectError:
        return "FTP - Error during connection with firewall ";
    case kFtpFirewallNoFtp:
        return "FTP - Firewall has no FTP server";
    case kFtpNoTls:
        return "FTP - Server does not support TLS";
    case kFtpCertificateRejected:
        return "FTP - Server certificate not accepted";
    case kFtpTlsFailed:
        return "FTP - TLS negotiation failed";
    case kFtpUnexpectedAnswer:
        return "FTP - Unexpected answer from host";
    case kFtpTypeRejected:
        return "FTP - Host rejects TYPE command";
    case kFtpNotImplemented:
        return "FTP - Command not implemented on host";
    case kFtpNoDirectory:
        return "FTP - Host does not report directory";
    case kFtpNoPassive:
        return "FTP - Host does not support passive mode";
    case kFtpNoResources:
        return "FTP - Insufficient free resources";
    case kFtpNoMemory:
        return "FTP - Insufficient memory";
    case kFtpSocketUnavailable:
        return "FTP - Socket unavailable";
    case kFtpBindFailed:
        return "FTP - Bind unsuccessful";
    case kFtpUnknownHostType:
        return "FTP - Unknown host type";
    default:
        return "Unknown error code";
    }
}

} // namespace km
