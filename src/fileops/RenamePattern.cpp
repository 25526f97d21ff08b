#include "fileops/RenamePattern.h"

namespace km {
namespace {

std::string walk(std::string_view src, std::string_view pattern) {
    std::string out;
    size_t pos = 0;
    for (char c : pattern) {
        if (c == '*') {
            out.append(src.substr(pos));
            pos = src.size();
        } else if (c == '?') {
            if (pos < src.size())
                out += src[pos];
            if (pos < src.size())
                ++pos;
        } else {
            out += c;
            if (pos < src.size())
                ++pos;
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
