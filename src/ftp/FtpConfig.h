#pragma once
// The engine's tunable values, with the engine's own initial values.
#include <cstdint>

namespace km {

class SettingsStore;

struct FtpConfig {
    bool passive = false; // PASV instead of PORT
    uint16_t port = 21;   // the server's control port
    int timeout = 30;     // seconds for every wait
    int pauseBlocks = 40; // a transfer pauses after this many blocks...
    int pauseMs = 100;    // ...for this long (0 = no pacing)
};

// Section "FTP": "Passive", "Port", "Timeout", "PauseBlocks", "PauseMs". Values
// that cannot work (a port outside 1-65535, a timeout below 1 s, no blocks per
// pause) fall back to the defaults; the pause is limited to 0-10000 ms.
FtpConfig ReadFtpConfig(SettingsStore& store);

} // namespace km
