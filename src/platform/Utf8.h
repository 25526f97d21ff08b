#pragma once
// UTF-8 one code point at a time.
#include <string>
#include <string_view>

namespace km {

// The sequence at `at` in `s`: its code point in `out` and its length, or 0
// for a byte that does not start a valid sequence (overlong forms,
// surrogates and values past U+10FFFF are not UTF-8).
size_t DecodeUtf8(std::string_view s, size_t at, char32_t& out);

void AppendUtf8(std::string& out, char32_t c);

} // namespace km
