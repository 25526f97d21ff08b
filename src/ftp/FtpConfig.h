#pragma once
// The engine's tunable values, with the program's defaults.
#include <cstdint>

namespace km {

class SettingsStore;

enum class FtpEncryption : int {
    None = 0,        // everything in clear text
    IfAvailable = 1, // TLS when the server offers it
    Required = 2,    // no login without TLS
};

struct FtpConfig {
    bool passive = true;  // EPSV, then PASV; PORT or EPRT when off
    uint16_t port = 21;   // the server's control port, unless the address names one
    int timeout = 30;     // seconds for every wait
    int64_t rateLimit = 0; // bytes per second a transfer may move; 0 = no limit
    FtpEncryption encryption = FtpEncryption::None;
};

// Section "FTP": "Passive", "Port", "Timeout", and the rate limit: "LimitRate"
// (off by default) with "RateLimit" in KiB/s. A settings file from before the
// limit had "PauseBlocks"/"PauseMs" pacing; that pace becomes the limit's
// value, and applies only when the user turns the limit on. Values that cannot
// work fall back to the defaults.
FtpConfig ReadFtpConfig(SettingsStore& store);
// The "RateLimit" value the settings dialog shows: the stored one, else the
// old pacing's rate, else 1024.
int32_t StoredRateLimitKiB(SettingsStore& store);

} // namespace km
