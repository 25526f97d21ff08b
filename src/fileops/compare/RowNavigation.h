#pragma once
// Next and previous difference or match over the flags of the rows.
#include "fileops/compare/DisplayRows.h"

#include <vector>

namespace km {

struct RowMove {
    size_t row = 0;
    bool passedEnd = false; // nothing found: the row is the last (or the first)
};

// From top row `top`: past the rest of the current difference (or match) and
// the match (difference) after it, to the first row of the next one.
RowMove NextRow(const std::vector<DisplayRow>& rows, size_t top, bool difference);
// From top row `top` back to the first row of the previous difference (or
// match); a run under the top row counts as the current one.
RowMove PreviousRow(const std::vector<DisplayRow>& rows, size_t top, bool difference);

} // namespace km
