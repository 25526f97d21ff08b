#include "platform/Wildcard.h"

namespace km {
namespace {

char fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Classic iterative glob with one backtrack point; linear in practice.
bool globMatch(std::string_view p, std::string_view n) {
    size_t pi = 0, ni = 0, starP = std::string_view::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (pi < p.size() && (p[pi] == '?' || fold(p[pi]) == fold(n[ni]))) {
            ++pi;
            ++ni;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

} // namespace

bool WildcardMatch(std::string_view pattern, std::string_view name) {
    if (pattern.empty())
        return false;
    if (pattern == "*" || pattern == "*.*")
        return true;
    const bool hasDot = name.find('.') != std::string_view::npos;
    if (pattern.back() == '.') {
        // "name." asks for names without extension
        if (hasDot)
            return false;
        return globMatch(pattern.substr(0, pattern.size() - 1), name);
    }
    if (globMatch(pattern, name))
        return true;
    // "x*.*" style patterns: the trailing ".*" may match an absent extension.
    if (!hasDot && pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return globMatch(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

} // namespace km
