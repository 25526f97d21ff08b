#pragma once
// Entry names from the bytes an archive stores. Without the UTF-8 flag (bit 11)
// a name is in the DOS code page 437, as Info-ZIP reads such names on Linux;
// one made on a Unix host that is already valid UTF-8 stays as it is, since
// Unix zip tools of the past wrote the locale's bytes without the flag.
#include <string>
#include <string_view>

namespace km::zip {

bool IsValidUtf8(std::string_view bytes);
std::string Cp437ToUtf8(std::string_view bytes);
// The name as shown and written, from the raw stored bytes.
std::string DecodeEntryName(std::string_view raw, unsigned flags, unsigned versionMadeBy);

} // namespace km::zip
