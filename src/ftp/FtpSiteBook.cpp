#include "ftp/FtpSiteBook.h"

#include "settings/SettingsStore.h"

#include <algorithm>
#include <strings.h>

namespace km {
namespace {

constexpr const char* kSection = "FTPSites";

} // namespace

std::vector<std::string> ListFtpSites(SettingsStore& store) {
    std::vector<std::string> names;
    for (const SettingsValue& v : store.ListValues(kSection)) {
        if (!v.name.empty())
            names.push_back(v.name.substr(0, 255));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = strcasecmp(a.c_str(), b.c_str());
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

std::optional<FtpSite> ReadFtpSite(SettingsStore& store, const std::string& name) {
    const std::string text = store.GetString(kSection, name, "");
    if (text.empty())
        return std::nullopt;
    return ParseFtpSite(text);
}

void WriteFtpSite(SettingsStore& store, const std::string& name, const FtpSite& site) {
    store.PutString(kSection, name, FormatFtpSite(site));
}

void DeleteFtpSite(SettingsStore& store, const std::string& name) { store.DeleteValue(kSection, name); }

} // namespace km
