#pragma once
// The three questions the compare asks of a line's bytes. "White space" is
// spaces and tabs; the end-of-line bytes always count.
#include <cstdint>
#include <string_view>

namespace km {

// The 32-bit hash of the line; with `ignoreWhiteSpace` spaces and tabs do not
// take part.
uint32_t LineHash(std::string_view text, bool ignoreWhiteSpace);

// Only spaces and tabs before the end of the text or its line end.
bool IsBlankLine(std::string_view text);

// The whole texts agree, spaces and tabs passed over on both sides when
// `ignoreWhiteSpace`. (Callers compare the hashes first.)
bool LineTextsEqual(std::string_view a, std::string_view b, bool ignoreWhiteSpace);

} // namespace km
