#include "fileops/compare/LineText.h"

#include <cstddef>

namespace km {
namespace {

constexpr uint32_t kHashFactor = 6293815u;

bool isWhite(char c) {
    return c == ' ' || c == '\t';
}

size_t skipWhite(std::string_view t, size_t i) {
    while (i < t.size() && isWhite(t[i]))
        ++i;
    return i;
}

} // namespace

uint32_t LineHash(std::string_view text, bool ignoreWhiteSpace) {
    uint32_t h = 0;
    uint32_t k = 1;
    uint32_t m = kHashFactor;
    for (size_t i = 0;; ++i) {
        if (ignoreWhiteSpace)
            i = skipWhite(text, i);
        if (i >= text.size())
            break;
        // Bytes above 127 count as negative: the hash is defined on signed chars.
        const auto c = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(text[i])));
        h += k * m * c;
        ++k;
        m *= kHashFactor;
    }
    return h;
}

bool IsBlankLine(std::string_view text) {
    const size_t i = skipWhite(text, 0);
    return i == text.size() || text[i] == '\r' || text[i] == '\n';
}

bool LineTextsEqual(std::string_view a, std::string_view b, bool ignoreWhiteSpace) {
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        if (ignoreWhiteSpace) {
            i = skipWhite(a, i);
            j = skipWhite(b, j);
        }
        // Both must end together: a text is never equal to a longer one that
        // merely starts with it (a trailing NUL does not change the hash).
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        // UTF-8 sequences agree as units exactly when their bytes agree.
        if (a[i] != b[j])
            return false;
        ++i;
        ++j;
    }
}

} // namespace km
