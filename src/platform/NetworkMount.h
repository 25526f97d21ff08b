#pragma once
// Connecting and disconnecting network drives: `gio mount` on a location the
// user types, its questions (user, domain, password, a choice) put to the
// user, and the directory gvfs shows the mount under.
#include "platform/Volumes.h"

#include <string>
#include <vector>

namespace km {

// One question gio asks, with the fields it needs.
struct NetworkLogin {
    std::string message; // gio's words ("Enter user and password for “nas”:")
    bool askUser = false, askDomain = false, askPassword = false;
    std::string otherLabel; // a question this program does not know, asked as one line of text
    std::string user, domain, password, other; // defaults in, answers out
};

class NetworkMountUi {
public:
    virtual ~NetworkMountUi() = default;
    // False when the user cancels.
    virtual bool AskLogin(NetworkLogin& login) = 0;
    // The chosen index; -1 when the user cancels.
    virtual int AskChoice(const std::string& message, const std::vector<std::string>& choices) = 0;
    // Called at least every 50 ms while gio runs; true once the user cancelled.
    virtual bool Cancelled() = 0;
};

enum class NetworkMountStatus { Done, Cancelled, Failed };

struct NetworkMountResult {
    NetworkMountStatus status = NetworkMountStatus::Failed;
    std::string message; // why it failed: gio's words, or why gio could not run
    // After a mount, its directory (or the typed folder inside it, when that
    // exists); empty when the desktop shows the mount under no directory.
    std::string directory;
};

// The gvfs directory of this session ($XDG_RUNTIME_DIR/gvfs) when gvfsd-fuse
// has mounted it; other sessions' and users' mounts are not ours to list.
std::vector<std::string> SessionGvfsDirectories();

// What can be disconnected: one volume per mount in those directories.
std::vector<Volume> ListNetworkMounts();

// `gio mount` on `location` ("smb://nas/docs"); `anonymous` lets gio log in
// anonymously where the server allows it instead of asking. A location that
// is mounted already counts as done.
NetworkMountResult MountNetworkLocation(const std::string& location, bool anonymous,
                                        NetworkMountUi& ui);

// `gio mount --unmount` on a mount's directory (one of ListNetworkMounts).
NetworkMountResult UnmountNetworkLocation(const std::string& directory, NetworkMountUi& ui);

} // namespace km
