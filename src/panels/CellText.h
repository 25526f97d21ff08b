#pragma once
#include "panels/FileEntry.h"
#include "platform/LocaleInfo.h"

#include <string>

namespace km {

// Stored values of "Bestandsnamen".
enum NameCase : int {
    NameCaseUpper = 2450,
    NameCaseLower = 2460,
    NameCaseFilesUpper = 2463,
    NameCaseFilesLower = 2467,
    NameCaseAsStored = 2470,
};

// Linux file systems tell UPPER.TXT from upper.txt: names are shown as they
// are unless the user chose otherwise.
constexpr int kDefaultNameCase = NameCaseAsStored;

// Name as shown: directories in brackets, letters A–Z cased per `nameCase`.
std::string DisplayName(const FileEntry& e, int nameCase);
// "  dd-mm-yy  hh:mm  rahs" in the locale's order and separator.
// "  mm-dd-yy  hh:mm" in the locale's order, with its date separator.
std::string DateTimeText(FileTime time, const LocaleInfo& locale);
std::string DateColumnText(const FileEntry& e, const LocaleInfo& locale);
// The lines under the panels and drive bars: left-aligned in 120 characters
// (characters, not bytes: separators and names may take several).
std::string PadLine(std::string text);
// Text of column 0 (name), 1 (size) or 2 (date/time).
std::string CellText(const FileEntry& e, int column, int nameCase, const LocaleInfo& locale);

} // namespace km
