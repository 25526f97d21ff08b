#include "ftp/FtpConfig.h"

#include "settings/SettingsStore.h"

namespace km {

int32_t StoredRateLimitKiB(SettingsStore& store) {
    constexpr int32_t kDefault = 1024;
    // The old pacing moved PauseBlocks blocks of 4 KiB, then slept PauseMs.
    const int64_t blocks = store.GetInt("FTP", "PauseBlocks", 0);
    const int64_t ms = store.GetInt("FTP", "PauseMs", 0);
    const int64_t paced = blocks > 0 && ms > 0 ? blocks * 4 * 1000 / ms : kDefault;
    const int64_t kib = store.GetInt("FTP", "RateLimit", static_cast<int32_t>(paced));
    return kib >= 1 && kib <= 1024 * 1024 ? static_cast<int32_t>(kib) : kDefault;
}

FtpConfig ReadFtpConfig(SettingsStore& store) {
    const FtpConfig defaults;
    FtpConfig c;
    c.passive = store.GetInt("FTP", "Passive", defaults.passive ? 1 : 0) != 0;
    const int32_t port = store.GetInt("FTP", "Port", defaults.port);
    c.port = port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : defaults.port;
    const int32_t timeout = store.GetInt("FTP", "Timeout", defaults.timeout);
    c.timeout = timeout >= 1 ? timeout : defaults.timeout;
    if (store.GetInt("FTP", "LimitRate", 0) == 1)
        c.rateLimit = int64_t{StoredRateLimitKiB(store)} * 1024;
    return c;
}

} // namespace km
