#pragma once
// Pieces of reply texts the engine reads, parsed from the bytes alone.
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

// The text after the three-digit code and its blank (empty when shorter).
std::string_view FtpTextAfterCode(std::string_view reply);

// A name in double quotes at the start of the text after the code, with "" in
// it standing for one quote (RFC 959 appendix II). False when the text does not
// start with a quote or has no closing one.
bool FtpQuotedName(std::string_view reply, std::string& name);

// The six numbers h1,h2,h3,h4,p1,p2 after the first '(' of a 227 reply, each
// 0-255. The address is in network byte order.
bool FtpParsePassive(std::string_view reply, uint32_t& addr, uint16_t& port);

} // namespace km
