#pragma once
#include <string>
#include <string_view>

namespace km {

// A key whose byte order is the locale's case-insensitive collation of `text`
// (ASCII letters folded first, then strxfrm). In the C locale it is the folded
// bytes, so "_" sorts before letters. Precompute once per entry; compare keys
// with ordinary string comparison.
std::string CollationKey(std::string_view text);

// The first character of UTF-8 `text` (a byte that starts no valid sequence
// stands for itself), folded to one case for any script; 0 for empty text.
char32_t FoldedFirstCharacter(std::string_view text);
// `c` folded the same way.
char32_t FoldCase(char32_t c);

// Case-insensitive (A–Z/a–z) equality, as the panels use for names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

} // namespace km
