#pragma once
// Results of the FTP engine: 0 success, small positive values are steps of the
// protocol, -1 an aborted transfer, 1000 and above errors with fixed texts.

namespace km {

enum FtpResult : int {
    kFtpOk = 0,
    kFtpNeedPassword = 1,
    kFtpNeedAccount = 2,
    kFtpRestartOk = 3,
    kFtpDataClosed = 4,
    kFtpAborted = -1,
    kFtpBadParameters = 1000,
    kFtpAlreadyActive = 1001,
    kFtpNotInitialized = 1002,
    kFtpNotConnected = 1003,
    kFtpCannotOpenLocal = 1004,
    kFtpCannotWrite = 1005,
    kFtpNoSession = 1006,
    kFtpIncorrectlyClosed = 1007,
    kFtpActionNotTaken = 1008,
    kFtpLoginRejected = 1009,
    kFtpServerCannotOpen = 1010,
    kFtpTransferRefused = 1011,
    kFtpNoSocketLayer = 1012,
    kFtpCloseFailed = 1013,
    kFtpDeleteFailed = 1014,
    kFtpFirewallRejects = 1015,
    kFtpSynchronousOnly = 1016,
    kFtpResolveFailed = 2001,
    kFtpNoAnswer = 2002,
    kFtpConnectError = 2003,
    kFtpNoFtpServer = 2004,
    kFtpSendFailed = 2005,
    kFtpDataConnectionFailed = 2006,
    kFtpTimeout = 2007,
    kFtpFirewallConnectError = 2008,
    kFtpFirewallNoFtp = 2009,
    kFtpNoTls = 2010,
    kFtpCertificateRejected = 2011,
    kFtpTlsFailed = 2012,
    kFtpUnexpectedAnswer = 3001,
    kFtpTypeRejected = 3002,
    kFtpNotImplemented = 3003,
    kFtpNoDirectory = 3004,
    kFtpNoPassive = 3005,
    kFtpNoResources = 5002,
    kFtpNoMemory = 5003,
    kFtpSocketUnavailable = 5004,
    kFtpBindFailed = 5005,
    kFtpUnknownHostType = 5006,
};

// The text of a result; "Unknown error code" for any other value.
const char* FtpErrorText(int result);

} // namespace km
