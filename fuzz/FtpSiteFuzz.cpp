// Stored site records from a hand-edited or foreign settings file: parsing
// must stay inside the text, and what is written back must read back the same.
#include "ftp/FtpSite.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const km::FtpSite site = km::ParseFtpSite(std::string_view(reinterpret_cast<const char*>(data), size));
    if (site.firewallMode < 1 || site.firewallMode > 4)
        std::abort();
    const std::string text = km::FormatFtpSite(site);
    const km::FtpSite again = km::ParseFtpSite(text);
    if (km::FormatFtpSite(again) != text)
        std::abort();
    return 0;
}
