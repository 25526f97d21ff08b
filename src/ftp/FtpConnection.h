#pragma once
// The program's one FTP connection: the session, the site it is logged in to
// and the log file, shared by the sites dialog and the FTP panels.
#include "ftp/FtpSession.h"
#include "ftp/FtpSite.h"

#include <memory>
#include <string>
#include <string_view>

namespace km {

class SettingsStore;

struct FtpConnectionState {
    std::unique_ptr<FtpSession> session; // exists while engineStarted
    bool engineStarted = false;
    bool connected = false;
    std::string siteName;
    int logFile = -1;
    int hostType = 0; // index into FtpHostTypes()
    bool slashPaths = false;
};

FtpConnectionState& FtpState();

// "Dos", "Windows", "WIN32", "Unix", "VMS", "CMS", "OS2".
std::span<const std::string_view> FtpHostTypes();

// What connecting and disconnecting tell the user and ask of the panels.
class FtpConnectUi {
public:
    virtual ~FtpConnectUi() = default;
    virtual void Warning(int stringId) = 0;        // exclamation box, "Kestrum"
    virtual void Error(std::string_view text) = 0; // stop icon
    virtual bool PanelShowsFtp() = 0;              // either panel shows the site
    virtual void RereadPanels(bool both) = 0;      // the active panel, or both
    // A certificate the system's store does not vouch for; `previous` is the
    // fingerprint accepted for this host before, when it has changed since.
    virtual bool AcceptCertificate(const FtpCertificate& cert, const std::string& previous) {
        (void)cert;
        (void)previous;
        return false;
    }
};

// The engine's settings for one site: the "FTP" section, with the site's
// own data connection and encryption.
FtpConfig FtpConfigForSite(SettingsStore& store, const FtpSite& site);

// Logs in to the stored site `name`, ending an earlier login first (4440 while
// a panel shows it). A relative "LogFile" is taken in `currentDir`. Returns
// the engine's result (0 when connected), or 4440.
int ConnectFtpSite(SettingsStore& store, const std::string& name, const std::string& currentDir,
                   FtpConnectUi& ui);

// Ends the login ("QUIT", else the connections are closed), closes the log
// and releases the session.
void DisconnectFtp(FtpConnectUi& ui);

// At the program's end: releases a started session without a word to the server.
void ReleaseFtpAtExit();

// The settings dialog's logging switch, acting at once: on while connected
// and without a log opens (truncates) `logFile`; off closes the log.
void SetFtpLogging(bool on, const std::string& logFile, const std::string& currentDir);

// The "Email" setting, or the placeholder used when it is missing.
std::string AnonymousPassword(SettingsStore& store);
constexpr const char* kDefaultEmail = "guest@example.com";

} // namespace km
