#pragma once
#include <string>
#include <string_view>

namespace km {

// The copy target's wildcard rename: "*" takes the rest of the name's part,
// "?" one character, anything else is itself; base and extension apart.
std::string ApplyRenamePattern(std::string_view name, std::string_view pattern);

} // namespace km
