#include "platform/Utf8.h"

namespace km {

size_t DecodeUtf8(std::string_view s, size_t at, char32_t& out) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[at + i]); };
    const unsigned char c = b(0);
    size_t n;
    char32_t cp;
    if (c < 0x80)
        return out = c, 1;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, cp = c & 0x07;
    else
        return 0;
    if (at + n > s.size())
        return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    out = cp;
    return n;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace km
