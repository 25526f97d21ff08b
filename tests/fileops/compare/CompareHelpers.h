#pragma once
// Compares two texts written to real files and gives the rows as the window
// would list them: "<flag> <left text>|<right text>".
#include "fileops/compare/CompareResult.h"
#include "fileops/compare/DisplayRows.h"
#include "fileops/compare/FileComparer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace km::test {

struct Compared {
    int result = -1;
    FileComparer comparer{false};
    DisplayRows rows;

    std::vector<std::string> lines(int tabSize = 4) const {
        std::vector<std::string> out;
        for (size_t i = 0; i < rows.left.size(); ++i) {
            const std::string l = RowText(rows.left[i], comparer.left(), comparer.right(), tabSize);
            const std::string r =
                RowText(rows.right[i], comparer.left(), comparer.right(), tabSize);
            EXPECT_EQ(l[0], r[0]) << "row " << i;
            out.push_back(l.substr(0, 1) + " " + l.substr(1) + "|" + r.substr(1));
        }
        return out;
    }
    // The 1-based numbers of the lines a side shows as not equal.
    std::vector<size_t> unequalLines(int side) const {
        std::vector<size_t> out;
        for (const DisplayRow& row : side == 0 ? rows.left : rows.right) {
            if (!row.equal() && row.line != kNoLine)
                out.push_back(row.line + 1);
        }
        return out;
    }
    std::vector<int> states() const {
        std::vector<int> out;
        for (const DisplaySection& s : comparer.display())
            out.push_back(s.state);
        return out;
    }
};

inline void CompareTexts(Compared& c, const std::string& left, const std::string& right,
                         bool ignoreWhiteSpace = false) {
    TempDir dir;
    WriteAll(dir.file("left"), left);
    WriteAll(dir.file("right"), right);
    c.comparer = FileComparer(ignoreWhiteSpace);
    c.result = c.comparer.Compare(dir.file("left"), dir.file("right"));
    c.rows = {};
    if (c.result == CompareOk) {
        EXPECT_EQ(FillDisplayRows(c.comparer.display(), c.rows), CompareOk);
    }
    ASSERT_EQ(c.rows.left.size(), c.rows.right.size());
}

} // namespace km::test
