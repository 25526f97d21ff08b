#include "ftp/FtpAddress.h"

#include <charconv>

namespace km {

namespace {

uint16_t PortOf(std::string_view text, uint16_t fallback) {
    unsigned value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && value >= 1 && value <= 65535
               ? static_cast<uint16_t>(value)
               : fallback;
}

} // namespace

void SplitFtpAddress(std::string_view address, uint16_t defaultPort, std::string& host,
                     uint16_t& port) {
    port = defaultPort;
    if (!address.empty() && address.front() == '[') {
        const size_t close = address.find(']');
        if (close != std::string_view::npos) {
            host.assign(address.substr(1, close - 1));
            if (close + 1 < address.size() && address[close + 1] == ':')
                port = PortOf(address.substr(close + 2), defaultPort);
            return;
        }
    }
    const size_t colon = address.find(':');
    if (colon == std::string_view::npos || address.find(':', colon + 1) != std::string_view::npos) {
        host.assign(address);
        return;
    }
    host.assign(address.substr(0, colon));
    port = PortOf(address.substr(colon + 1), defaultPort);
}

} // namespace km
