#include "fileops/RenamePattern.h"

#include "platform/Utf8.h"

namespace km {
namespace {

// The length of the character at `at`: a UTF-8 sequence, or one byte that
// is not one, so a name in another encoding is never cut inside a byte.
size_t charLength(std::string_view s, size_t at) {
    char32_t c;
    const size_t n = DecodeUtf8(s, at, c);
    return n == 0 ? 1 : n;
}

std::string walk(std::string_view src, std::string_view pattern) {
    std::string out;
    size_t pos = 0;
    for (size_t i = 0; i < pattern.size(); i += charLength(pattern, i)) {
        const size_t step = pos < src.size() ? charLength(src, pos) : 0;
        if (pattern[i] == '*') {
            out.append(src.substr(pos));
            pos = src.size();
        } else if (pattern[i] == '?') {
            out.append(src.substr(pos, step));
            pos += step;
        } else {
            out.append(pattern.substr(i, charLength(pattern, i)));
            pos += step;
        }
    }
    return out;
}

} // namespace

std::string ApplyRenamePattern(std::string_view name, std::string_view pattern) {
    const size_t nd = name.rfind('.'), pd = pattern.rfind('.');
    const std::string_view nBase = nd == std::string_view::npos ? name : name.substr(0, nd);
    // A name without an extension simply has an empty one here, so "*.bak"
    // gives "name.bak" rather than a literal "*".
    const std::string_view nExt = nd == std::string_view::npos ? std::string_view() : name.substr(nd + 1);
    const std::string_view pBase = pd == std::string_view::npos ? pattern : pattern.substr(0, pd);
    std::string result = walk(nBase, pBase);
    if (pd != std::string_view::npos) {
        const std::string ext = walk(nExt, pattern.substr(pd + 1));
        if (!ext.empty())
            result += "." + ext;
    }
    return result;
}

} // namespace km
