#include "ftp/FtpConfig.h"

#include "settings/SettingsStore.h"

namespace km {

FtpConfig ReadFtpConfig(SettingsStore& store) {
    const FtpConfig defaults;
    FtpConfig c;
    c.passive = store.GetInt("FTP", "Passive", defaults.passive ? 1 : 0) != 0;
    const int32_t port = store.GetInt("FTP", "Port", defaults.port);
    c.port = port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : defaults.port;
    const int32_t timeout = store.GetInt("FTP", "Timeout", defaults.timeout);
    c.timeout = timeout >= 1 ? timeout : defaults.timeout;
    const int32_t blocks = store.GetInt("FTP", "PauseBlocks", defaults.pauseBlocks);
    c.pauseBlocks = blocks >= 1 ? blocks : defaults.pauseBlocks;
    const int32_t ms = store.GetInt("FTP", "PauseMs", defaults.pauseMs);
    c.pauseMs = ms < 0 ? 0 : ms > 10000 ? 10000 : ms;
    return c;
}

} // namespace km
