#include "ftp/FtpConnection.h"

#include "ftp/FtpConfig.h"
#include "ftp/FtpResult.h"
#include "ftp/FtpSiteBook.h"
#include "platform/PathUtil.h"
#include "settings/SettingsStore.h"

#include <array>
#include <fcntl.h>
#include <unistd.h>

namespace km {
namespace {

constexpr int kInUse = 4440;
constexpr int kEstablished = 4460;
constexpr int kClosed = 4470;

void closeLog(FtpConnectionState& st) {
    if (st.engineStarted)
        st.session->SetLogFile(-1);
    if (st.logFile >= 0)
        ::close(st.logFile);
    st.logFile = -1;
}

// The log holds the server's replies and the commands sent (passwords are
// masked), so only the user may read it.
int openLog(const std::string& name, const std::string& currentDir) {
    if (name.empty())
        return -1;
    const std::string path = ResolvePath(currentDir, name);
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
}

void releaseSession(FtpConnectionState& st) {
    if (!st.engineStarted)
        return;
    closeLog(st);
    st.session->Release();
    st.session.reset();
    st.engineStarted = false;
}

// The user's answers per host, so that a known certificate is not asked
// about again and a changed one is.
constexpr const char* kCertificates = "FTPCertificates";

FtpCertificateCheck certificateCheck(SettingsStore& store, FtpConnectUi& ui) {
    return [&store, &ui](const FtpCertificate& cert) {
        const std::string known = store.GetString(kCertificates, cert.host, "");
        if (!known.empty() && known == cert.fingerprint)
            return true;
        if (!ui.AcceptCertificate(cert, known))
            return false;
        store.PutString(kCertificates, cert.host, cert.fingerprint);
        return true;
    };
}

void report(FtpConnectionState& st, int result, FtpConnectUi& ui) {
    const std::string_view reply = st.session->LastReply();
    ui.Error(reply.empty() ? std::string_view(FtpSession::ErrorText(result)) : reply);
}

} // namespace

FtpConnectionState& FtpState() {
    static FtpConnectionState state;
    return state;
}

std::span<const std::string_view> FtpHostTypes() {
    static constexpr std::array<std::string_view, 7> kTypes = {"Dos", "Windows", "WIN32", "Unix",
                                                               "VMS", "CMS",     "OS2"};
    return kTypes;
}

FtpConfig FtpConfigForSite(SettingsStore& store, const FtpSite& site) {
    FtpConfig config = ReadFtpConfig(store);
    if (site.dataConnection == 1 || site.dataConnection == 2)
        config.passive = site.dataConnection == 1;
    if (site.encryption >= 0 && site.encryption <= 2)
        config.encryption = static_cast<FtpEncryption>(site.encryption);
    return config;
}

std::string AnonymousPassword(SettingsStore& store) {
    std::string email = store.GetString("FTP", "Email", "");
    return email.empty() ? std::string(kDefaultEmail) : email;
}

int ConnectFtpSite(SettingsStore& store, const std::string& name, const std::string& currentDir,
                   FtpConnectUi& ui) {
    FtpConnectionState& st = FtpState();
    if (!st.siteName.empty()) {
        if (ui.PanelShowsFtp()) {
            ui.Warning(kInUse);
            return kInUse;
        }
        if (st.connected)
            st.session->Quit();
        st.connected = false;
        st.siteName.clear();
        ui.RereadPanels(false);
    }
    const FtpSite site = ReadFtpSite(store, name).value_or(FtpSite{});
    if (!st.engineStarted) {
        st.session = std::make_unique<FtpSession>(FtpConfigForSite(store, site));
        st.session->Init();
        st.engineStarted = true;
    } else {
        st.session->SetConfig(FtpConfigForSite(store, site));
    }
    st.session->SetCertificateCheck(certificateCheck(store, ui));
    st.session->SetSynchronous();
    closeLog(st);
    if (store.GetInt("FTP", "Logging", 1) == 1)
        st.logFile = openLog(store.GetString("FTP", "LogFile", "KMFTPLOG.TXT"), currentDir);
    st.session->SetLogFile(st.logFile);
    st.session->FlushReplies();

    const std::string user = site.anonymous ? std::string("anonymous") : site.user;
    const std::string password = site.anonymous ? AnonymousPassword(store) : site.password;
    const int result =
        site.useFirewall ? st.session->FirewallLogin(site.firewallAddress, site.firewallUser, site.firewallPassword,
                                                     site.address, user, password, site.firewallMode)
                         : st.session->Login(site.address, user, password);
    // Only the login asks about certificates; `ui` lives no longer than this call.
    st.session->SetCertificateCheck({});
    if (result != 0) {
        report(st, result, ui);
        st.session->Quit();
        closeLog(st);
        return result;
    }
    const int type = st.session->SystemType(FtpHostTypes());
    st.hostType = type >= 0 && static_cast<size_t>(type) < FtpHostTypes().size() ? type : 0;
    st.connected = true;
    st.siteName = name;
    ui.Warning(kEstablished);
    if (!site.loginDirectory.empty()) {
        if (const int r = st.session->ChangeDir(site.loginDirectory))
            report(st, r, ui);
    }
    ui.RereadPanels(true);
    return 0;
}

void DisconnectFtp(FtpConnectUi& ui) {
    FtpConnectionState& st = FtpState();
    if (!st.siteName.empty()) {
        if (st.session->Quit() != 0)
            st.session->CloseConnections();
        closeLog(st);
        st.siteName.clear();
        st.connected = false;
        ui.Warning(kClosed);
        ui.RereadPanels(true);
    }
    releaseSession(st);
}

void ReleaseFtpAtExit() {
    FtpConnectionState& st = FtpState();
    releaseSession(st);
    st.connected = false;
    st.siteName.clear();
}

void SetFtpLogging(bool on, const std::string& logFile, const std::string& currentDir) {
    FtpConnectionState& st = FtpState();
    if (!on) {
        closeLog(st);
        return;
    }
    if (st.logFile < 0 && st.connected) {
        st.logFile = openLog(logFile, currentDir);
        st.session->SetLogFile(st.logFile);
    }
}

} // namespace km
