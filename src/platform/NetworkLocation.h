#pragma once
// A network location as the user types it for gio ("smb://nas/docs",
// "sftp://me@host/home/me"), and how it relates to the directory gvfs mounts
// it on.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace km {

struct NetworkLocation {
    std::string scheme; // lower case
    std::string user;   // percent-decoded; the password, if typed, is not kept
    std::string host;   // lower case, without the brackets of an IPv6 address
    std::string port;   // digits, or empty
    std::string path;   // percent-decoded, "/" or empty at the top
};

// The schemes gio mounts over the network: smb, sftp (and ssh), ftp, ftps,
// dav, davs, nfs, afp.
bool IsNetworkScheme(std::string_view scheme);

// Splits "scheme://[user[:password]@]host[:port][/path]". False when `text`
// is not such a location with a network scheme and a host, or holds a blank,
// a control character or a bad %-escape.
bool ParseNetworkLocation(std::string_view text, NetworkLocation& out);

// A gvfs entry names its mount as "scheme:key=value,key=value" with the
// values %-escaped ("smb-share:server=nas,share=docs").
struct GvfsEntry {
    std::string scheme;
    std::vector<std::pair<std::string, std::string>> keys; // decoded
};

// nullopt for a name not of that form, or with a bad escape or a NUL in it.
std::optional<GvfsEntry> ParseGvfsEntry(std::string_view entry);

// Whether the gvfs entry (a directory name such as "ftp:host=nas,port=2121"
// or "smb-share:server=nas,share=docs") is the mount of `location`.
bool GvfsEntryMatches(std::string_view entry, const NetworkLocation& location);

// The folder the location names inside its mount, without leading or
// trailing '/' ("" for the top); for smb the share is the top. Empty too when
// the path holds a ".." component or the scheme mounts a prefix (dav, nfs).
std::string PathWithinMount(const NetworkLocation& location);

} // namespace km
