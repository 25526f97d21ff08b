#pragma once
// The DOS code pages of old archives and printers: 437 (English) and 850
// (Western Europe). Their lower halves are ASCII; control codes stay controls.
#include <string>
#include <string_view>

namespace km {

enum class DosCodePage { Cp437, Cp850 };

char32_t DosCodePageCharacter(DosCodePage page, unsigned char byte);
std::string DosCodePageToUtf8(std::string_view bytes, DosCodePage page);

} // namespace km
