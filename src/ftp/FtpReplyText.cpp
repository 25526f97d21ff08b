#include "ftp/FtpReplyText.h"

#include "ftp/MlsdLine.h"
#include "platform/Collation.h"

#include <cstdint>
#include <cstring>

namespace km {

std::string_view FtpTextAfterCode(std::string_view reply) {
    return reply.size() > 4 ? reply.substr(4) : std::string_view();
}

bool FtpQuotedName(std::string_view reply, std::string& name) {
    const std::string_view text = FtpTextAfterCode(reply);
    name.clear();
    if (text.empty() || text[0] != '"')
        return false;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '"') {
            name += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '"') {
            name += '"';
            ++i;
        } else {
            return true;
        }
    }
    name.clear();
    return false;
}

bool FtpParsePassive(std::string_view reply, uint32_t& addr, uint16_t& port) {
    const size_t open = reply.find('(');
    if (open == std::string_view::npos)
        return false;
    unsigned values[6];
    size_t at = open + 1;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (at >= reply.size() || reply[at] != ',')
                return false;
            ++at;
        }
        unsigned v = 0;
        size_t digits = 0;
        while (at < reply.size() && reply[at] >= '0' && reply[at] <= '9' && digits < 4) {
            v = v * 10 + static_cast<unsigned>(reply[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || v > 255)
            return false;
        values[i] = v;
    }
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(values[0]), static_cast<unsigned char>(values[1]),
        static_cast<unsigned char>(values[2]), static_cast<unsigned char>(values[3])};
    std::memcpy(&addr, bytes, sizeof addr); // network order is the order on the wire
    port = static_cast<uint16_t>(values[4] << 8 | values[5]);
    return true;
}


bool FtpParseExtendedPassive(std::string_view reply, uint16_t& port) {
    const size_t open = reply.find('(');
    if (open == std::string_view::npos || open + 4 >= reply.size())
        return false;
    // Three delimiters, the port, a fourth: the delimiter is any printable
    // character (RFC 2428 suggests '|'), never a digit.
    const char d = reply[open + 1];
    if (d < 33 || d > 126 || (d >= '0' && d <= '9') || reply[open + 2] != d || reply[open + 3] != d)
        return false;
    unsigned value = 0;
    size_t at = open + 4, digits = 0;
    while (at < reply.size() && reply[at] >= '0' && reply[at] <= '9' && digits < 5) {
        value = value * 10 + static_cast<unsigned>(reply[at] - '0');
        ++at;
        ++digits;
    }
    if (digits == 0 || value == 0 || value > 65535 || at >= reply.size() || reply[at] != d)
        return false;
    port = static_cast<uint16_t>(value);
    return true;
}

FtpFeatures FtpParseFeatures(std::string_view reply) {
    FtpFeatures f;
    size_t start = reply.find('\n');
    while (start != std::string_view::npos) {
        ++start;
        const size_t end = reply.find('\n', start);
        std::string_view line = reply.substr(start, end == std::string_view::npos ? end : end - start);
        start = end;
        // Feature lines begin with a blank; the closing "211 End" does not.
        if (line.empty() || line[0] != ' ')
            continue;
        line.remove_prefix(1);
        const size_t blank = line.find(' ');
        const std::string_view name = line.substr(0, blank);
        const std::string_view rest =
            blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
        if (EqualsIgnoreCase(name, "MLST"))
            f.mlsd = true;
        else if (EqualsIgnoreCase(name, "SIZE"))
            f.size = true;
        else if (EqualsIgnoreCase(name, "MDTM"))
            f.mdtm = true;
        else if (EqualsIgnoreCase(name, "UTF8"))
            f.utf8 = true;
        else if (EqualsIgnoreCase(name, "EPSV"))
            f.epsv = true;
        else if (EqualsIgnoreCase(name, "REST") && EqualsIgnoreCase(rest.substr(0, 6), "STREAM"))
            f.restStream = true;
    }
    return f;
}

bool FtpParseTimeReply(std::string_view reply, int64_t& unixUtc) {
    std::string_view text = FtpTextAfterCode(reply);
    const size_t end = text.find_first_of(" \r");
    return ParseFtpTimeValue(text.substr(0, end), unixUtc);
}

bool FtpParseSizeReply(std::string_view reply, uint64_t& size) {
    const std::string_view text = FtpTextAfterCode(reply);
    uint64_t value = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        const uint64_t d = static_cast<uint64_t>(text[digits] - '0');
        if (value > (UINT64_MAX - d) / 10)
            return false;
        value = value * 10 + d;
    }
    if (digits == 0 || (digits < text.size() && text[digits] != '\r' && text[digits] != ' '))
        return false;
    size = value;
    return true;
}

} // namespace km
