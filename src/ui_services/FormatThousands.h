#pragma once
#include <cstdint>
#include <string>

namespace km {

// Unsigned decimal with `separator` between groups of three digits.
std::string FormatThousands(uint64_t value, char separator);
// The same with the locale's separator read at start-up.
std::string FormatThousands(uint64_t value);

} // namespace km
