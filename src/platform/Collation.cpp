#include "platform/Collation.h"

#include <cerrno>
#include <cstring>
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
