#include "fileops/compare/DisplayRows.h"

#include "fileops/compare/CompareResult.h"

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>

namespace km {
namespace {

// The lists address rows with int.
constexpr size_t kMaxRows = INT_MAX;

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void pad(DisplayRows& rows) {
    while (rows.left.size() < rows.right.size())
        rows.left.push_back({});
    while (rows.right.size() < rows.left.size())
        rows.right.push_back({});
}

} // namespace

std::string DisplayText(std::string_view line, int tabSize) {
    const size_t tab = tabSize < 1 ? 1 : static_cast<size_t>(tabSize);
    std::string out;
    size_t column = 0;
    for (const char c : line) {
        if (c == '\r' || c == '\n')
            continue;
        if (isContinuation(c)) {
            // The rest of a character already counted; a stray one still shows.
            if (!out.empty() &&
                (isContinuation(out.back()) || static_cast<unsigned char>(out.back()) >= 0xC0)) {
                out.push_back(c);
                continue;
            }
        }
        if (column >= kMaxDisplayChars)
            break;
        if (c == '\t') {
            const size_t spaces = std::min(tab - column % tab, kMaxDisplayChars - column);
            out.append(spaces, ' ');
            column += spaces;
        } else {
            out.push_back(c);
            ++column;
        }
    }
    return out;
}

int FillDisplayRows(const std::vector<DisplaySection>& sections, DisplayRows& out) {
    out.left.clear();
    out.right.clear();
    try {
        for (const DisplaySection& s : sections) {
            const size_t count = s.last - s.first + 1;
            if (count > kMaxRows || out.left.size() > kMaxRows - count)
                return CompareNoMemory;
            for (size_t line = s.first; line <= s.last; ++line) {
                switch (s.state) {
                case StateSame:
                    pad(out);
                    out.left.push_back({'0', 1, line});
                    out.right.push_back({'0', 1, line});
                    break;
                case StateLeftOnly:
                case StateMovedLeft:
                    out.left.push_back({'1', 0, line});
                    break;
                default:
                    out.right.push_back({'1', 1, line});
                    break;
                }
            }
            pad(out);
        }
    } catch (const std::bad_alloc&) {
        out = {};
        return CompareNoMemory;
    } catch (const std::length_error&) {
        out = {};
        return CompareNoMemory;
    }
    return CompareOk;
}

std::string RowText(const DisplayRow& row, const LineFile& left, const LineFile& right,
                    int tabSize) {
    std::string text(1, row.flag);
    const LineFile& file = row.file == 0 ? left : right;
    if (row.line != kNoLine && row.line < file.size())
        text += DisplayText(file.text(row.line), tabSize);
    return text;
}

} // namespace km
