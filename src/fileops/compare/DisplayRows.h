#pragma once
// The rows of the two lists of the compare window. Both lists always have the
// same number of rows and a row has the same flag in both: '0' for equal
// lines, '1' for everything else, including the empty filler rows opposite a
// line that only one file has.
#include "fileops/compare/Composition.h"
#include "fileops/compare/LineFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct DisplayRow {
    char flag = '1';
    uint8_t file = 0;      // 0 left, 1 right: where the text comes from
    size_t line = kNoLine; // kNoLine for a filler row
    bool equal() const { return flag == '0'; }
};

struct DisplayRows {
    std::vector<DisplayRow> left;
    std::vector<DisplayRow> right;
};

// What is drawn of a line: tabs expanded to the next multiple of `tabSize`
// (below 1 counts as 1), line ends removed, at most kMaxDisplayChars
// characters (UTF-8 sequences count as one and are kept whole).
inline constexpr size_t kMaxDisplayChars = 1000;
std::string DisplayText(std::string_view line, int tabSize);

// Lays out `sections` as ComposeDisplay made them. Equal rows
// show the right file's text. CompareNoMemory when the rows do not fit.
int FillDisplayRows(const std::vector<DisplaySection>& sections, DisplayRows& out);

// The row as the list holds it: the flag, then the display text.
std::string RowText(const DisplayRow& row, const LineFile& left, const LineFile& right,
                    int tabSize);

} // namespace km
