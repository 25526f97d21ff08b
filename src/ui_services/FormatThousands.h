#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace km {

// Unsigned decimal with `separator` between groups of three digits.
std::string FormatThousands(uint64_t value, std::string_view separator);
// The same with the locale's separator read at start-up.
std::string FormatThousands(uint64_t value);

} // namespace km
