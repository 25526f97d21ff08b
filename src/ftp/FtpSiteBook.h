#pragma once
// The site book in section "FTPSites": one value per site, named after it.
#include "ftp/FtpSite.h"

#include <optional>
#include <string>
#include <vector>

namespace km {

class SettingsStore;

// The site names (non-empty value names) sorted without regard to case.
std::vector<std::string> ListFtpSites(SettingsStore& store);
// The stored record; none when the site has no non-empty record.
std::optional<FtpSite> ReadFtpSite(SettingsStore& store, const std::string& name);
void WriteFtpSite(SettingsStore& store, const std::string& name, const FtpSite& site);
void DeleteFtpSite(SettingsStore& store, const std::string& name);

} // namespace km
