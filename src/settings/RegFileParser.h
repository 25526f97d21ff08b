#pragma once
#include "settings/RegDocument.h"

#include <string>
#include <string_view>

namespace km {

// Reads a REGEDIT4 export (or a "Windows Registry Editor Version 5.00" one,
// UTF-8 or UTF-16LE with BOM) into `out`. Returns false with `error` naming the
// line on anything a careful reader would not trust: a wrong header, a line that
// is not a key, value or comment, an unterminated string, a dword that is not 8
// hex digits, a malformed or truncated hex list, or an unknown value type.
bool ParseRegFile(std::string_view text, RegDocument& out, std::string& error);

} // namespace km
