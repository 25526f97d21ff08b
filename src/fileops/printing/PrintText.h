#pragma once
// A file's bytes as the characters that are printed, and how many columns
// each takes on the fixed-pitch page: East Asian wide characters take two,
// combining marks none.
#include <string>
#include <string_view>

namespace km {

enum class PrintCharset {
    Utf8,  // the ANSI setting: UTF-8, a byte that is not UTF-8 read as Latin-1
    Cp437, // the OEM setting: the DOS code page of English
    Cp850, // the OEM setting under a Western European language
};

// The OEM code page for the language of `localeName` (as LC_CTYPE names it):
// 850 for the Western European languages DOS used it for, else 437.
PrintCharset OemCharsetForLocale(std::string_view localeName);

std::u32string DecodePrintText(std::string_view bytes, PrintCharset charset);

// 0, 1 or 2.
int CharacterColumns(char32_t c);
int TextColumns(std::u32string_view text);

std::string ToUtf8(std::u32string_view text);

} // namespace km
