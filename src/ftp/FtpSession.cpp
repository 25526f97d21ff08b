#include "ftp/FtpSession.h"

#include "ftp/FtpAddress.h"
#include "ftp/FtpCommandTable.h"
#include "ftp/FtpReplyText.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSessionState.h"
#include "net/TcpHooks.h"
#include "net/TcpStatus.h"
#include "net/TcpTls.h"
#include "net/TcpTransport.h"
#include "net/TnLineLayer.h"

#include <atomic>
#include <cstring>
#include <new>
#include <unistd.h>

namespace km {

namespace {

// The TCP library's state is process-wide, so only one session may use it.
std::atomic<bool> g_sessionExists{false};

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Uppercase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Upper(c);
    return out;
}

int MapConnectStatus(int status) {
    switch (status) {
    case kTcpCancelled:
        return kFtpAborted;
    case kTcpConnectFailed:
        return kFtpNoFtpServer;
    case kTcpNoSocket:
        return kFtpSocketUnavailable;
    case kTcpUnknownHost:
        return kFtpResolveFailed;
    case kTcpTimeout:
        return kFtpTimeout;
    default:
        return kFtpConnectError;
    }
}

} // namespace

bool FtpSafeArgument(std::string_view argument) {
    return argument.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

FtpSession::FtpSession(FtpConfig config) : config_(config) {}

FtpSession::~FtpSession() {
    if (s_ && Release() != kFtpOk) {
        // Destroyed from inside a blocked call: close what is ours regardless.
        TcpClose(s_->data);
        TcpClose(s_->listen);
        TcpClose(s_->control);
        if (s_->upload >= 0)
            ::close(s_->upload);
        s_.reset();
        g_sessionExists = false;
    }
}

int FtpSession::Init() {
    if (s_ || g_sessionExists.load())
        return kFtpAlreadyActive;
    if (TcpInit() != kTcpSuccess)
        return kFtpNoSocketLayer;
    s_.reset(new (std::nothrow) State);
    if (!s_)
        return kFtpNoMemory;
    g_sessionExists = true;
    return kFtpOk;
}

int FtpSession::Release() {
    if (!s_)
        return kFtpNoSession;
    if (TcpCleanup() != kTcpSuccess)
        return kFtpIncorrectlyClosed;
    s_->download.Keep();
    if (s_->upload >= 0)
        ::close(s_->upload);
    s_.reset();
    g_sessionExists = false;
    return kFtpOk;
}

void FtpSession::SetConfig(const FtpConfig& config) {
    config_ = config;
}

int FtpSession::Check(bool needControl) const {
    if (!s_)
        return kFtpNotInitialized;
    if (needControl && s_->control < 0)
        return kFtpNotConnected;
    return kFtpOk;
}

int FtpSession::SendLine(std::string_view line) {
    return TnSend(s_->control, line, false, s_->log, config_.timeout) == kTcpSuccess
               ? kFtpOk
               : kFtpSendFailed;
}

int FtpSession::ReadReply() {
    return TnReadAnswerCode(s_->control, s_->reply, sizeof s_->reply, config_.timeout, s_->log);
}

int FtpSession::Exchange(int command, std::string_view argument) {
    if (const char* format = FtpCommandFormat(command)) {
        if (!FtpSafeArgument(argument))
            return kFtpBadParameters;
        if (SendLine(FtpFormatCommand(format, argument)) != kFtpOk)
            return kFtpSendFailed;
    }
    return FtpMapReply(command, ReadReply());
}

int FtpSession::Connect(std::string_view address) {
    if (s_->control >= 0)
        CloseConnections();
    State& s = *s_;
    std::string host;
    uint16_t port = config_.port;
    SplitFtpAddress(address, config_.port, host, port);
    s.host = host;
    s.tls = s.protectData = s.epsvRefused = false;
    s.features = FtpFeatures{};
    const int r =
        TcpConnect(s.control, host.c_str(), port == 21 ? "ftp" : nullptr, &port, config_.timeout);
    if (r != kTcpSuccess)
        return MapConnectStatus(r);
    TcpEndpoint peer;
    s.serverV6 = TcpGetEndpoint(s.control, true, peer) == kTcpSuccess && peer.v6;
    s.type = 'A';
    const int greeting = Exchange(kCmdGreeting);
    if (greeting != kFtpOk || config_.encryption == FtpEncryption::None)
        return greeting;
    return StartTls();
}

int FtpSession::VerifyPeer(int sock) {
    State& s = *s_;
    TcpTlsPeer peer;
    const int r = TcpStartTls(sock, s.host.c_str(), sock == s.control ? -1 : s.control,
                              config_.timeout, &peer);
    if (r == kTcpCancelled)
        return kFtpAborted;
    if (r == kTcpTimeout)
        return kFtpTimeout;
    if (r != kTcpSuccess)
        return kFtpTlsFailed;
    if (sock != s.control) {
        s.dataResumed = peer.resumed;
        return kFtpOk;
    }
    if (peer.verified)
        return kFtpOk;
    const FtpCertificate cert{s.host, peer.fingerprint, peer.problem};
    return s.certificateCheck && s.certificateCheck(cert) ? kFtpOk : kFtpCertificateRejected;
}

// Explicit FTPS (RFC 4217): AUTH TLS on the control connection before the login.
int FtpSession::StartTls() {
    State& s = *s_;
    if (SendLine("AUTH TLS") != kFtpOk)
        return kFtpSendFailed;
    const int code = ReadReply();
    if (code != 234) {
        if (code < 100)
            return code == -1 || code == kTcpTimeout ? kFtpNoAnswer : kFtpUnexpectedAnswer;
        if (config_.encryption != FtpEncryption::Required)
            return kFtpOk;
        s.reply[0] = '\0'; // our reason, not the server's words, is shown
        return kFtpNoTls;
    }
    const int r = VerifyPeer(s.control);
    if (r != kFtpOk) {
        // Nothing more may go over a connection we do not trust.
        TcpClose(s.control);
        s.reply[0] = '\0';
        return r;
    }
    s.tls = true;
    return kFtpOk;
}

// After a successful login: data protection with TLS, then what the server
// supports. Only a refused protection under "require TLS" fails the login;
// the reply shown afterwards stays the login's.
int FtpSession::AfterLogin(int result) {
    if (result != kFtpOk)
        return result;
    State& s = *s_;
    char login[sizeof s.reply];
    std::memcpy(login, s.reply, sizeof login);
    if (s.tls) {
        if (SendLine("PBSZ 0") == kFtpOk)
            ReadReply();
        s.protectData = SendLine("PROT P") == kFtpOk && ReadReply() / 100 == 2;
        if (!s.protectData && config_.encryption == FtpEncryption::Required) {
            s.reply[0] = '\0';
            return kFtpNoTls;
        }
    }
    if (SendLine("FEAT") == kFtpOk && ReadReply() == 211)
        s.features = FtpParseFeatures(LastReply());
    if (s.features.utf8 && SendLine("OPTS UTF8 ON") == kFtpOk)
        ReadReply();
    std::memcpy(s.reply, login, sizeof login);
    return kFtpOk;
}

int FtpSession::Login(std::string_view host, std::string_view user, std::string_view password) {
    if (int r = Check(false))
        return r;
    if (host.empty())
        return kFtpBadParameters;
    int r = Connect(host);
    if (r == kFtpOk && !user.empty()) {
        FlushReplies();
        r = Exchange(kCmdUser, user);
    }
    if (r == kFtpNeedPassword && !password.empty())
        r = Exchange(kCmdPass, password);
    return AfterLogin(r);
}

int FtpSession::FirewallLogin(std::string_view firewallHost, std::string_view firewallUser,
                              std::string_view firewallPassword, std::string_view site,
                              std::string_view user, std::string_view password, int mode) {
    if (int r = Check(false))
        return r;
    if (mode < 1 || mode > 4 || firewallHost.empty() || site.empty())
        return kFtpBadParameters;
    if (!FtpSafeArgument(site) || !FtpSafeArgument(user))
        return kFtpBadParameters;
    int r = Connect(firewallHost);
    if (r == kFtpConnectError)
        return kFtpFirewallConnectError;
    if (r == kFtpNoFtpServer)
        return kFtpFirewallNoFtp;
    if (r != kFtpOk)
        return r;
    if (mode == 1 || mode == 3) {
        r = Exchange(kCmdUser, firewallUser);
        if (r == kFtpNeedPassword)
            r = Exchange(kCmdPass, firewallPassword);
        if (r == kFtpLoginRejected)
            return kFtpFirewallRejects;
        if (r != kFtpOk)
            return r;
    }
    if (mode == 1 || mode == 2) {
        const std::string line = std::string(mode == 1 ? "SITE " : "OPEN ") + std::string(site);
        if (SendLine(line) != kFtpOk)
            return kFtpSendFailed;
        if (ReadReply() / 100 != 2)
            return kFtpConnectError;
    }
    std::string line = "USER " + std::string(user);
    if (mode >= 3)
        line += "@" + std::string(site);
    if (SendLine(line) != kFtpOk)
        return kFtpSendFailed;
    const int code = ReadReply();
    if (code == 230)
        return AfterLogin(kFtpOk);
    if (code == 331)
        return AfterLogin(Exchange(kCmdPass, password));
    return kFtpConnectError;
}

int FtpSession::Quit() {
    if (int r = Check(true))
        return r;
    const int r = Exchange(kCmdQuit);
    if (r == kFtpOk)
        CloseConnections();
    return r;
}

int FtpSession::CloseConnections() {
    if (int r = Check(false))
        return r;
    s_->download.Keep();
    if (s_->upload >= 0)
        ::close(s_->upload);
    s_->upload = -1;
    const bool dataClosed = CloseData(false) == kFtpOk;
    const bool controlClosed = TcpClose(s_->control) == kTcpSuccess;
    return dataClosed && controlClosed ? kFtpOk : kFtpCloseFailed;
}

int FtpSession::FlushReplies() {
    if (int r = Check(false))
        return r;
    if (s_->control >= 0)
        TcpFlush(s_->control);
    s_->reply[0] = '\0';
    return kFtpOk;
}

int FtpSession::DeleteFile(std::string_view name) {
    if (int r = Check(true))
        return r;
    return Exchange(kCmdDele, name);
}

int FtpSession::ChangeDir(std::string_view path) {
    if (int r = Check(true))
        return r;
    return Exchange(kCmdCwd, path);
}

int FtpSession::ParentDir() {
    if (int r = Check(true))
        return r;
    return Exchange(kCmdCdup);
}

int FtpSession::MakeDir(std::string_view path, std::string& created) {
    created.clear();
    if (int r = Check(true))
        return r;
    const int r = Exchange(kCmdMkd, path);
    if (r == kFtpOk)
        FtpQuotedName(LastReply(), created);
    return r;
}

int FtpSession::RemoveDir(std::string_view path) {
    if (int r = Check(true))
        return r;
    return Exchange(kCmdRmd, path);
}

int FtpSession::CurrentDir(std::string& dir) {
    if (int r = Check(true))
        return r;
    const int r = Exchange(kCmdPwd);
    if (r != kFtpOk)
        return r;
    if (FtpQuotedName(LastReply(), dir))
        return kFtpOk;
    dir = FtpTextAfterCode(LastReply());
    return kFtpNoDirectory;
}

int FtpSession::SetType(char type) {
    if (int r = Check(true))
        return r;
    if (type == s_->type)
        return kFtpOk;
    const char* argument = type == 'A' ? "A" : type == 'I' ? "I" : type == 'L' ? "L 8" : nullptr;
    if (!argument)
        return kFtpBadParameters;
    const int r = Exchange(kCmdType, argument);
    if (r == kFtpOk)
        s_->type = type;
    return r;
}

int FtpSession::Rename(std::string_view from, std::string_view to) {
    if (int r = Check(true))
        return r;
    if (!FtpSafeArgument(to))
        return kFtpBadParameters;
    int r = Exchange(kCmdRnfr, from);
    if (r == kFtpOk)
        r = Exchange(kCmdRnto, to);
    return r;
}

int FtpSession::SystemType(std::span<const std::string_view> names) {
    if (int r = Check(true))
        return r;
    if (int r = Exchange(kCmdSyst))
        return r;
    const std::string reply = Uppercase(LastReply());
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string name = Uppercase(names[i].substr(0, 127));
        if (!name.empty() && reply.find(name) != std::string::npos)
            return static_cast<int>(i);
    }
    return kFtpUnknownHostType;
}

int FtpSession::Account(std::string_view account) {
    if (int r = Check(true))
        return r;
    return Exchange(kCmdAcct, account);
}

int FtpSession::Help(std::string_view topic) {
    if (int r = Check(true))
        return r;
    return topic.empty() ? Exchange(kCmdHelp) : Exchange(kCmdHelpOn, topic);
}

int FtpSession::Noop() {
    if (int r = Check(true))
        return r;
    return Exchange(kCmdNoop);
}

int FtpSession::Restart(int64_t offset) {
    if (int r = Check(true))
        return r;
    if (offset <= 0)
        return kFtpRestartOk;
    return Exchange(kCmdRest, std::to_string(offset));
}

// SIZE or MDTM on one file: 0 with the reply in LastReply, else the
// table's result for what the server answered (as for the other commands on
// one file), or ours.
int FtpSession::FileQuery(const char* verb, std::string_view name) {
    if (int r = Check(true))
        return r;
    if (!FtpSafeArgument(name))
        return kFtpBadParameters;
    if (SendLine(std::string(verb) + " " + std::string(name)) != kFtpOk)
        return kFtpSendFailed;
    const int code = ReadReply();
    if (code == 213)
        return kFtpOk;
    const int r = FtpMapReply(kCmdDele, code);
    return r == kFtpOk ? kFtpUnexpectedAnswer : r;
}

int FtpSession::Size(std::string_view name, uint64_t& size) {
    size = 0;
    if (int r = Check(true))
        return r;
    // Servers may refuse SIZE in type A, where the count would depend on line ends.
    if (int r = SetType('I'))
        return r;
    int r = FileQuery("SIZE", name);
    if (r == kFtpOk && !FtpParseSizeReply(LastReply(), size))
        r = kFtpUnexpectedAnswer;
    return r;
}

int FtpSession::ModificationTime(std::string_view name, int64_t& unixUtc) {
    unixUtc = 0;
    int r = FileQuery("MDTM", name);
    if (r == kFtpOk && !FtpParseTimeReply(LastReply(), unixUtc))
        r = kFtpUnexpectedAnswer;
    return r;
}

int FtpSession::Cancel() {
    if (int r = Check(false))
        return r;
    if (s_->data >= 0) {
        TcpAbort();
        s_->cancelled = true;
    } else if (s_->control >= 0) {
        TcpAbort();
    }
    return kFtpOk;
}

int FtpSession::SetProgressFunction(FtpProgressFunction progress) {
    if (int r = Check(false))
        return r;
    s_->progress = std::move(progress);
    return kFtpOk;
}

int FtpSession::SetSynchronous() {
    if (int r = Check(false))
        return r;
    s_->async = false;
    return kFtpOk;
}

int FtpSession::SetLogFile(int handle) {
    if (int r = Check(false))
        return r;
    s_->log = handle;
    return kFtpOk;
}

void FtpSession::SetCertificateCheck(FtpCertificateCheck check) {
    if (s_)
        s_->certificateCheck = std::move(check);
}

const FtpFeatures& FtpSession::Features() const {
    static const FtpFeatures kNone;
    return s_ ? s_->features : kNone;
}

bool FtpSession::Encrypted() const {
    return s_ && s_->tls;
}

bool FtpSession::DataProtected() const {
    return s_ && s_->protectData;
}

bool FtpSession::LastDataResumedTls() const {
    return s_ && s_->dataResumed;
}

std::string_view FtpSession::LastReply() const {
    if (!s_)
        return {};
    return std::string_view(s_->reply, ::strnlen(s_->reply, sizeof s_->reply));
}

const char* FtpSession::ErrorText(int result) {
    return FtpErrorText(result);
}

} // namespace km
