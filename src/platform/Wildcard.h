#pragma once
#include <string_view>

namespace km {

// File-system style wildcard match: case-insensitive (ASCII letters), '*' any run,
// '?' one character. "*.*" also matches names without a dot, and a pattern ending
// in "." ("*.", "abc.") matches only names without an extension dot.
bool WildcardMatch(std::string_view pattern, std::string_view name);

} // namespace km
