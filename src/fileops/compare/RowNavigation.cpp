#include "fileops/compare/RowNavigation.h"

namespace km {

RowMove NextRow(const std::vector<DisplayRow>& rows, size_t top, bool difference) {
    const size_t n = rows.size();
    size_t i = top;
    while (i < n && rows[i].equal() != difference)
        ++i;
    while (i < n && rows[i].equal() == difference)
        ++i;
    if (i >= n)
        return {n > 0 ? n - 1 : 0, true};
    return {i, false};
}

RowMove PreviousRow(const std::vector<DisplayRow>& rows, size_t top, bool difference) {
    const size_t n = rows.size();
    if (n == 0)
        return {0, true};
    // Rows are walked as i - 1, so i == 0 means the start was passed.
    size_t i = (top < n ? top : n - 1) + 1;
    while (i > 0 && rows[i - 1].equal() != difference)
        --i;
    while (i > 0 && rows[i - 1].equal() == difference)
        --i;
    if (i == 0)
        return {0, true};
    // The difference found may begin at the first row: that is a find, not the top.
    while (i > 0 && rows[i - 1].equal() != difference)
        --i;
    return {i, false};
}

} // namespace km
