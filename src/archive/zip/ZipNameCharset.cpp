#include "archive/zip/ZipNameCharset.h"

#include "archive/zip/CentralDirectory.h"
#include "platform/DosCodePage.h"
#include "platform/Utf8.h"

#include <cstdint>

namespace km::zip {

namespace {

bool isAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        char32_t c;
        const size_t n = DecodeUtf8(s, i, c);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Cp437ToUtf8(std::string_view bytes) { return DosCodePageToUtf8(bytes, DosCodePage::Cp437); }

std::string DecodeEntryName(std::string_view raw, unsigned flags, unsigned versionMadeBy) {
    const unsigned host = versionMadeBy >> 8;
    if ((flags & kUtf8NameFlag) != 0 || isAscii(raw) ||
        ((host == kHostUnix || host == kHostMacOsX) && IsValidUtf8(raw)))
        return std::string(raw);
    return Cp437ToUtf8(raw);
}

} // namespace km::zip
