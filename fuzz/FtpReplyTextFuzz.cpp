// Reply texts from a hostile server: the passive-mode address of a 227 reply, the port of
// a 229 (EPSV) reply, the quoted directory of a 257 reply, the features of a 211 FEAT
// reply, the values of 213 SIZE and MDTM replies, a typed site address and the leading
// number of a reply. Whatever is read must stay inside the text, be in range, and read
// back the same when written out again as a server would.
#include "ftp/FtpAddress.h"
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

    if (km::FtpParseExtendedPassive(reply, port)) {
        if (port == 0)
            std::abort();
        const std::string again = "229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)";
        uint16_t port2 = 0;
        if (!km::FtpParseExtendedPassive(again, port2) || port2 != port)
            std::abort();
    }

    km::FtpParseFeatures(reply); // bounds only: any text is a list of features or none
    uint64_t bytes = 0;
    if (km::FtpParseSizeReply(reply, bytes)) {
        uint64_t again = 0;
        if (!km::FtpParseSizeReply("213 " + std::to_string(bytes), again) || again != bytes)
            std::abort();
    }
    int64_t when = 0;
    if (km::FtpParseTimeReply(reply, when) && (when < -62167219200LL || when > 253402300800LL))
        std::abort(); // years 0 to 9999

    std::string host;
    uint16_t sitePort = 0;
    km::SplitFtpAddress(reply, 21, host, sitePort);
    if (sitePort == 0 || host.size() > reply.size())
        std::abort();

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
