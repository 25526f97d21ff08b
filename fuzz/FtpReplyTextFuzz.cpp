// Reply texts from a hostile server: the passive-mode address of a 227 reply, the quoted
// directory of a 257 reply and the leading number of a reply. Whatever is read must stay
// inside the text and read back the same when written out again as a server would.
#include "ftp/FtpReplyText.h"
#include "net/TcpTransport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    uint32_t addr = 0;
    uint16_t port = 0;
    if (km::FtpParsePassive(reply, addr, port)) {
        const auto* a = reinterpret_cast<const uint8_t*>(&addr);
        char again[80];
        std::snprintf(again, sizeof again, "227 Entering Passive Mode (%u,%u,%u,%u,%u,%u).", a[0],
                      a[1], a[2], a[3], port >> 8, port & 0xFF);
        uint32_t addr2 = 0;
        uint16_t port2 = 0;
        if (!km::FtpParsePassive(again, addr2, port2) || addr2 != addr || port2 != port)
            std::abort();
    }

    std::string name;
    if (km::FtpQuotedName(reply, name)) {
        if (name.size() > km::FtpTextAfterCode(reply).size())
            std::abort();
        std::string again = "257 \"";
        for (char c : name)
            again += c == '"' ? std::string("\"\"") : std::string(1, c);
        again += "\" is the current directory";
        std::string name2;
        if (!km::FtpQuotedName(again, name2) || name2 != name)
            std::abort();
    } else if (!name.empty()) {
        std::abort();
    }

    // The transport reads numbers from NUL-terminated buffers.
    const std::string text(reply);
    if (km::TcpAtoi(text.c_str()) < 0 || km::TcpAtol(text.c_str()) < 0)
        std::abort();
    return 0;
}
