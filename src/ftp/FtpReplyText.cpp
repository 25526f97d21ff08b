#include "ftp/FtpReplyText.h"

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

} // namespace km
