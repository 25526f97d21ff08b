#pragma once
// One entry of the FTP site book and its stored form: eleven fields joined
// by tabs, as section "FTPSites" keeps them under the site's name, and two
// more of this program's (data connection, encryption).
#include <string>
#include <string_view>

namespace km {

struct FtpSite {
    std::string address; // host name or dotted address
    bool anonymous = false;
    std::string user;
    std::string password;
    bool useFirewall = false;
    std::string firewallAddress;
    std::string firewallPort; // kept and shown; the firewall is reached on the control port
    std::string firewallUser;
    std::string firewallPassword;
    int firewallMode = 1; // 1 "SITE site", 2 "OPEN site", 3 "USER with logon", 4 "USER user@site"
    std::string loginDirectory;
    // Kept behind the eleven fields; records without them read as the
    // defaults, so older site books load unchanged.
    int dataConnection = 0; // 0 the setting's default, 1 passive, 2 active
    int encryption = 0;     // 0 none, 1 TLS if available, 2 require TLS
};

// The stored text. A tab or line break typed into a field would shift every
// later field, so those become blanks.
std::string FormatFtpSite(const FtpSite& site);

// Reads a stored text: the address ends at the first tab and loses a comment
// from " (" on; the flags are one character ('0' off); parsing stops at the
// first missing tab and leaves the later fields cleared.
FtpSite ParseFtpSite(std::string_view text);

} // namespace km
