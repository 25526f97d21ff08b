#pragma once
// A site address as users type it: a name or address, optionally with a port.
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

// "name", "name:2121", "192.0.2.1:21", "[2001:db8::1]:2121", "[::1]", and a
// bare IPv6 address ("::1", taken whole). `port` is `defaultPort` when the
// address names none or names one outside 1-65535.
void SplitFtpAddress(std::string_view address, uint16_t defaultPort, std::string& host,
                     uint16_t& port);

} // namespace km
