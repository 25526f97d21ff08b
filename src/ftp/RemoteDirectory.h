#pragma once
// What an FTP panel needs of the server's directories: the panel's form of a
// remote path, the root, and the listing read through LIST and parsed.
#include "platform/FileTime.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

class FtpSession;

constexpr int kVmsHostType = 4; // index of "VMS" in FtpHostTypes()

struct RemoteEntry {
    std::string name;
    bool isDirectory = false;
    uint64_t size = 0; // 0 for directories, whatever the line says
    FileTime lastWrite = 0;
};

// The server's directory text as the panel keeps it (as the server wrote
// it); `slashPaths` tells whether the server writes '/'.
std::string RemotePanelPath(std::string_view serverDir, bool& slashPaths);
// The root the panel goes to with "CD \".
std::string RemoteRootPath(int hostType, bool slashPaths);
// What entering directory `name` sends: the name, or on a VMS host
// "[." + the name up to ".DIR" + "]".
std::string RemoteDirectoryArgument(std::string_view name, int hostType);
// The separators in a path that is not a root, as a local path counts them.
int RemoteDepth(std::string_view path);
// `dir` and `name` joined as the server writes paths.
std::string RemoteJoin(std::string_view dir, std::string_view name, bool slashPaths);

// The lines of a LIST reply: tabs become blanks, a VMS name wrapped onto a
// second line is joined, unrecognised lines and names beginning with '.' are
// left out; dates are local wall-clock times, kept to the minute.
std::vector<RemoteEntry> ParseRemoteListing(std::string_view text, bool vms);

// The lines of an MLSD reply, with the same rules for names.
std::vector<RemoteEntry> ParseMachineListing(std::string_view text);

// Lists the server's current directory into `listingFile` (removed again)
// and parses it. Returns the engine's result; `readFailed` is set when the
// listing arrived but could not be read back.
int ListRemoteDirectory(FtpSession& session, bool vms, const std::string& listingFile,
                        std::vector<RemoteEntry>& out, bool& readFailed);

} // namespace km
