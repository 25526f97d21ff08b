#include "ftp/FtpSite.h"

#include <charconv>

namespace km {
namespace {

std::string clean(std::string_view field) {
    std::string out(field);
    for (char& c : out) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

} // namespace

std::string FormatFtpSite(const FtpSite& s) {
    std::string out;
    // What reading would drop as a comment is not written either.
    std::string address = clean(s.address);
    address = address.substr(0, address.find(" ("));
    const std::string fields[] = {address,
                                  s.anonymous ? "1" : "0",
                                  clean(s.user),
                                  clean(s.password),
                                  s.useFirewall ? "1" : "0",
                                  clean(s.firewallAddress),
                                  clean(s.firewallPort),
                                  clean(s.firewallUser),
                                  clean(s.firewallPassword),
                                  std::to_string(s.firewallMode),
                                  clean(s.loginDirectory),
                                  std::to_string(s.dataConnection),
                                  std::to_string(s.encryption)};
    for (size_t i = 0; i < std::size(fields); ++i) {
        if (i)
            out += '\t';
        out += fields[i];
    }
    return out;
}

FtpSite ParseFtpSite(std::string_view text) {
    FtpSite s;
    size_t tab = text.find('\t');
    std::string_view address = text.substr(0, tab);
    if (const size_t comment = address.find(" ("); comment != std::string_view::npos)
        address = address.substr(0, comment);
    s.address.assign(address);
    // Each later field runs from after one tab to the next; no tab, no field.
    size_t field = 1;
    const auto choice = [](std::string_view v, int max) {
        int value = 0;
        const auto r = std::from_chars(v.data(), v.data() + v.size(), value);
        return r.ec == std::errc() && value >= 0 && value <= max ? value : 0;
    };
    while (tab != std::string_view::npos && field <= 12) {
        const size_t start = tab + 1;
        tab = text.find('\t', start);
        const std::string_view v = text.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        switch (field) {
        case 1: s.anonymous = !v.empty() && v[0] != '0'; break;
        case 2: s.user.assign(v); break;
        case 3: s.password.assign(v); break;
        case 4: s.useFirewall = !v.empty() && v[0] != '0'; break;
        case 5: s.firewallAddress.assign(v); break;
        case 6: s.firewallPort.assign(v); break;
        case 7: s.firewallUser.assign(v); break;
        case 8: s.firewallPassword.assign(v); break;
        case 9: {
            int mode = 1;
            const auto r = std::from_chars(v.data(), v.data() + v.size(), mode);
            s.firewallMode = r.ec == std::errc() && mode >= 1 && mode <= 4 ? mode : 1;
            break;
        }
        case 10: s.loginDirectory.assign(v); break;
        case 11: s.dataConnection = choice(v, 2); break;
        case 12: s.encryption = choice(v, 2); break;
        }
        ++field;
    }
    return s;
}

} // namespace km
