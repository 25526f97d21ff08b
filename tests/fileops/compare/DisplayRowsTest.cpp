#include "fileops/compare/DisplayRows.h"
#include "fileops/compare/RowNavigation.h"

#include <gtest/gtest.h>

namespace km::test {
namespace {

TEST(DisplayText, TabsExpandToTheTabSizeAndLineEndsGo) {
    EXPECT_EQ(DisplayText("a\tb\r\n", 4), "a   b");
    EXPECT_EQ(DisplayText("\tab\tc\n", 4), "    ab  c");
    EXPECT_EQ(DisplayText("abcd\tx", 4), "abcd    x");
    EXPECT_EQ(DisplayText("a\tb", 8), "a       b");
    // A tab size below 1 counts as 1.
    EXPECT_EQ(DisplayText("a\t\tb", 0), "a  b");
    EXPECT_EQ(DisplayText("a\tb", -3), "a b");
    // A character of several bytes takes one column.
    EXPECT_EQ(DisplayText("\xC3\xA9\tx", 4), "\xC3\xA9   x");
}

TEST(DisplayText, StopsAtAThousandCharacters) {
    EXPECT_EQ(DisplayText(std::string(512, '\t'), 4), std::string(1000, ' '));
    EXPECT_EQ(DisplayText(std::string(300, '\t'), 1000000), std::string(1000, ' '));
    // The last character is kept whole.
    const std::string text = std::string(999, 'a') + "\xE2\x82\xAC" + "zz";
    EXPECT_EQ(DisplayText(text, 4), std::string(999, 'a') + "\xE2\x82\xAC");
}

std::vector<DisplayRow> Flags(const std::string& flags) {
    std::vector<DisplayRow> rows;
    for (const char f : flags)
        rows.push_back({f, 0, 0});
    return rows;
}

TEST(RowNavigation, NextDifferenceAndMatch) {
    const auto rows = Flags("0011010");
    EXPECT_EQ(NextRow(rows, 0, true).row, 2u);
    EXPECT_EQ(NextRow(rows, 2, true).row, 5u);
    EXPECT_EQ(NextRow(rows, 3, true).row, 5u);
    const RowMove end = NextRow(rows, 5, true);
    EXPECT_EQ(end.row, 6u);
    EXPECT_TRUE(end.passedEnd);
    EXPECT_EQ(NextRow(rows, 0, false).row, 4u);
    EXPECT_EQ(NextRow(rows, 4, false).row, 6u);
    EXPECT_FALSE(NextRow(rows, 4, false).passedEnd);
    EXPECT_TRUE(NextRow(rows, 6, false).passedEnd);

    const RowMove same = NextRow(Flags("0000"), 0, true);
    EXPECT_EQ(same.row, 3u);
    EXPECT_TRUE(same.passedEnd);
    EXPECT_TRUE(NextRow({}, 0, true).passedEnd);
    EXPECT_EQ(NextRow({}, 0, true).row, 0u);
}

TEST(RowNavigation, PreviousGoesToTheFirstRowOfTheRunBefore) {
    const auto rows = Flags("0011010");
    EXPECT_EQ(PreviousRow(rows, 6, true).row, 5u);
    EXPECT_EQ(PreviousRow(rows, 5, true).row, 2u);
    // From inside the first difference there is none before it.
    EXPECT_TRUE(PreviousRow(rows, 3, true).passedEnd);
    const RowMove top = PreviousRow(rows, 2, true);
    EXPECT_EQ(top.row, 0u);
    EXPECT_TRUE(top.passedEnd);
    EXPECT_EQ(PreviousRow(rows, 6, false).row, 4u);
    EXPECT_EQ(PreviousRow(rows, 4, false).row, 0u);
    EXPECT_FALSE(PreviousRow(rows, 4, false).passedEnd);
    EXPECT_TRUE(PreviousRow(rows, 1, false).passedEnd);

    // A difference that begins at the first row is found, not passed.
    const RowMove first = PreviousRow(Flags("1100"), 3, true);
    EXPECT_EQ(first.row, 0u);
    EXPECT_FALSE(first.passedEnd);
    // A top row beyond the end counts as the last row.
    EXPECT_EQ(PreviousRow(rows, 99, true).row, 5u);
    EXPECT_TRUE(PreviousRow({}, 0, true).passedEnd);
}

} // namespace
} // namespace km::test
