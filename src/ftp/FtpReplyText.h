#pragma once
// Pieces of reply texts the engine reads, parsed from the bytes alone.
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

// What the server said it supports in its answer to FEAT (RFC 2389).
struct FtpFeatures {
    bool mlsd = false;       // MLST/MLSD listings (RFC 3659)
    bool size = false;       // SIZE
    bool mdtm = false;       // MDTM
    bool restStream = false; // REST STREAM: downloads and uploads can resume
    bool utf8 = false;       // UTF8 names
    bool epsv = false;       // EPSV was listed (it is tried anyway)
};

// The text after the three-digit code and its blank (empty when shorter).
std::string_view FtpTextAfterCode(std::string_view reply);

// A name in double quotes at the start of the text after the code, with "" in
// it standing for one quote (RFC 959 appendix II). False when the text does not
// start with a quote or has no closing one.
bool FtpQuotedName(std::string_view reply, std::string& name);

// The six numbers h1,h2,h3,h4,p1,p2 after the first '(' of a 227 reply, each
// 0-255. The address is in network byte order.
bool FtpParsePassive(std::string_view reply, uint32_t& addr, uint16_t& port);

// The EPSV reply's port, "(|||port|)" with any delimiter (RFC 2428).
bool FtpParseExtendedPassive(std::string_view reply, uint16_t& port);

// The features of a 211 reply to FEAT, one per line after the first.
FtpFeatures FtpParseFeatures(std::string_view reply);

// The value of a 213 reply to SIZE (decimal bytes) or MDTM (YYYYMMDDHHMMSS,
// UTC, optional fraction), as seconds since 1970.
bool FtpParseSizeReply(std::string_view reply, uint64_t& size);
bool FtpParseTimeReply(std::string_view reply, int64_t& unixUtc);

} // namespace km
