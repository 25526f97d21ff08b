#include "platform/Collation.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <vector>

namespace km {

std::string CollationKey(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        else if (c == '\0')
            c = ' '; // names never hold NUL; keep strxfrm's input terminated
    }
    char small[256];
    errno = 0;
    size_t n = strxfrm(small, folded.c_str(), sizeof small);
    if (errno != 0)
        return folded; // invalid sequences for this locale: fall back to bytes
    if (n < sizeof small)
        return std::string(small, n);
    std::string out(n + 1, '\0');
    strxfrm(out.data(), folded.c_str(), out.size());
    out.resize(n);
    return out;
}

char32_t FoldCase(char32_t c) {
    // C.UTF-8 always exists and carries the Unicode case tables, whatever the
    // process locale is.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (!utf8)
        return c;
    return static_cast<char32_t>(towlower_l(towupper_l(static_cast<wint_t>(c), utf8), utf8));
}

char32_t FoldedFirstCharacter(std::string_view text) {
    if (text.empty())
        return 0;
    const auto b = static_cast<unsigned char>(text[0]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    if (len == 0 || static_cast<size_t>(len) > text.size())
        return b;
    for (int i = 1; i < len; ++i) {
        const auto t = static_cast<unsigned char>(text[static_cast<size_t>(i)]);
        if ((t & 0xC0) != 0x80)
            return b;
        c = (c << 6) | (t & 0x3F);
    }
    return FoldCase(c);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

} // namespace km
