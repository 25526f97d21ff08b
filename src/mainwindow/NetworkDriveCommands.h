#pragma once
// Commands 6223 and 6226: connecting a network drive (gio mount on a location
// the user types) and disconnecting one of the user's gvfs mounts. While gio
// runs a small window with Cancel stays up and the questions it asks are put
// in dialogs of our own; failures show string 4170 and gio's message.
#include <string>

class QWidget;

namespace km {

// True when the location is mounted; `directory` is then where the mount
// shows (empty when the desktop shows it nowhere).
bool ConnectNetworkDrive(QWidget* owner, std::string& directory);

// True when a mount was disconnected; `directory` is where it showed.
bool DisconnectNetworkDrive(QWidget* owner, std::string& directory);

} // namespace km
