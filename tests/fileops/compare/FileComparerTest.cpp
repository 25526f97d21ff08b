#include "CompareHelpers.h"

#include <gtest/gtest.h>

namespace km::test {
namespace {

using Rows = std::vector<std::string>;

std::string Numbered(const char* prefix, int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i)
        s += prefix + std::to_string(i) + "\n";
    return s;
}

TEST(FileComparer, IdenticalFilesAreOneSameSection) {
    Compared c;
    CompareTexts(c, "one\ntwo\nthree\n", "one\ntwo\nthree\n");
    EXPECT_EQ(c.result, CompareOk);
    EXPECT_EQ(c.states(), std::vector<int>{StateSame});
    EXPECT_EQ(c.lines(), (Rows{"0 one|one", "0 two|two", "0 three|three"}));
}

TEST(FileComparer, InsertedAndDeletedLinesFaceFillerRows) {
    Compared c;
    CompareTexts(c, "a\nb\nc\nd\n", "a\nb\nnew\nc\nd\n");
    EXPECT_EQ(c.lines(), (Rows{"0 a|a", "0 b|b", "1 |new", "0 c|c", "0 d|d"}));

    CompareTexts(c, "a\ngone\nb\n", "a\nb\n");
    EXPECT_EQ(c.lines(), (Rows{"0 a|a", "1 gone|", "0 b|b"}));

    CompareTexts(c, "a\nold\nb\n", "a\nnew1\nnew2\nb\n");
    EXPECT_EQ(c.lines(), (Rows{"0 a|a", "1 old|", "1 |new1", "1 |new2", "0 b|b"}));
    EXPECT_EQ(c.states(), (std::vector<int>{StateSame, StateLeftOnly, StateRightOnly, StateSame}));
}

TEST(FileComparer, EmptyFileAgainstThreeLines) {
    Compared c;
    CompareTexts(c, "", "x\ny\nz\n");
    EXPECT_EQ(c.lines(), (Rows{"1 |x", "1 |y", "1 |z"}));
    CompareTexts(c, "x\ny\nz\n", "");
    EXPECT_EQ(c.lines(), (Rows{"1 x|", "1 y|", "1 z|"}));
    CompareTexts(c, "", "");
    EXPECT_TRUE(c.lines().empty());
}

TEST(FileComparer, AMovedBlockShowsRedAtBothPlaces) {
    // The smaller block is the one that moved, whichever side it comes first on.
    const std::string body = Numbered("body ", 1, 8);
    const std::string block = Numbered("block ", 1, 3);
    Compared c;
    CompareTexts(c, block + body, body + block);
    EXPECT_EQ(c.states(), (std::vector<int>{StateMovedLeft, StateSame, StateMovedRight}));
    const Rows rows = c.lines();
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_EQ(rows[0], "1 block 1|");
    EXPECT_EQ(rows[3], "0 body 1|body 1");
    EXPECT_EQ(rows[10], "0 body 8|body 8");
    EXPECT_EQ(rows[13], "1 |block 3");

    CompareTexts(c, body + block, block + body);
    EXPECT_EQ(c.states(), (std::vector<int>{StateMovedRight, StateSame, StateMovedLeft}));
    EXPECT_EQ(c.lines().front(), "1 |block 1");
    EXPECT_EQ(c.lines().back(), "1 block 3|");
}

TEST(FileComparer, RepeatedLinesMatchWhereTheyAreUniqueBetweenMatchedBlocks) {
    // "k" occurs twice in each file, so only the stretch between "A" and "B"
    // (where it occurs once) can match it.
    Compared c;
    CompareTexts(c, "A\np\nk\nq\nB\nk\n", "A\nr\nk\ns\nB\nk\n");
    EXPECT_EQ(c.lines(),
              (Rows{"0 A|A", "1 p|", "1 |r", "0 k|k", "1 q|", "1 |s", "0 B|B", "0 k|k"}));
}

TEST(FileComparer, IgnoringWhiteSpaceShowsTheRightFilesText) {
    const std::string left = "if (x)\n{\n    go();\n}\n";
    const std::string right = "if(x)\n{\n\tgo ();\n}\n";
    Compared c;
    CompareTexts(c, left, right, true);
    EXPECT_EQ(c.lines(), (Rows{"0 if(x)|if(x)", "0 {|{", "0     go ();|    go ();", "0 }|}"}));
    CompareTexts(c, left, right, false);
    EXPECT_EQ(c.lines(),
              (Rows{"1 if (x)|", "1 |if(x)", "0 {|{", "1     go();|", "1 |    go ();", "0 }|}"}));
}

TEST(FileComparer, IgnoredBlankLinesAreShownOnlyFromTheRightFile) {
    Compared c;
    CompareTexts(c, "a\n\n  \nb\n", "a\nb\n", true);
    EXPECT_EQ(c.lines(), (Rows{"0 a|a", "0 b|b"}));
    CompareTexts(c, "a\nb\n", "a\n\nb\n", true);
    EXPECT_EQ(c.lines(), (Rows{"0 a|a", "0 |", "0 b|b"}));
    CompareTexts(c, "a\n\nb\n", "a\nb\n", false);
    EXPECT_EQ(c.lines(), (Rows{"0 a|a", "1 |", "0 b|b"}));
    EXPECT_EQ(c.unequalLines(0), std::vector<size_t>{2});
}

TEST(FileComparer, DifferentLineEndsNeverMatch) {
    for (const bool ignore : {false, true}) {
        Compared c;
        CompareTexts(c, "a\r\nb\r\n", "a\nb\n", ignore);
        EXPECT_EQ(c.unequalLines(0), (std::vector<size_t>{1, 2})) << ignore;
        EXPECT_EQ(c.unequalLines(1), (std::vector<size_t>{1, 2})) << ignore;

        CompareTexts(c, "a\nend", "a\nend\n", ignore);
        EXPECT_EQ(c.lines(), (Rows{"0 a|a", "1 end|", "1 |end"})) << ignore;
    }
}

TEST(FileComparer, LongLinesCompareAsPieces) {
    // Only the middle 512-byte piece differs.
    std::string line(1199, 'x');
    std::string changed = line;
    changed[700] = 'y';
    Compared c;
    CompareTexts(c, "top\n" + line + "\n", "top\n" + changed + "\n");
    EXPECT_EQ(c.comparer.left().size(), 4u);
    EXPECT_EQ(c.unequalLines(0), std::vector<size_t>{3});
    EXPECT_EQ(c.unequalLines(1), std::vector<size_t>{3});
    EXPECT_EQ(c.rows.left.size(), 5u);
}

TEST(FileComparer, AFileThatCannotBeOpenedShowsNothing) {
    TempDir dir;
    WriteAll(dir.file("there"), "a\n");
    FileComparer c(false);
    EXPECT_EQ(c.Compare(dir.file("there"), dir.file("missing")), CompareCannotOpen);
    EXPECT_TRUE(c.display().empty());
    EXPECT_EQ(c.Compare(dir.file("missing"), dir.file("there")), CompareCannotOpen);
    EXPECT_TRUE(c.display().empty());
}

TEST(FileComparer, PartnersAreMutualAndEveryLineIsShownOnce) {
    // Many repeated lines, so every stage of matching takes part.
    std::string left, right;
    const char* words[] = {"{\n", "}\n", "\n", "x = 1;\n", "return;\n"};
    unsigned seed = 7;
    for (int i = 0; i < 400; ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::string w =
            (seed >> 16) % 3 == 0 ? "u" + std::to_string(i) + "\n" : words[(seed >> 8) % 5];
        if ((seed >> 20) % 7 != 0)
            left += w;
        if ((seed >> 24) % 7 != 0)
            right += w;
    }
    Compared c;
    CompareTexts(c, left, right);
    const LineFile& l = c.comparer.left();
    const LineFile& r = c.comparer.right();
    std::vector<int> leftShown(l.size()), rightShown(r.size());
    for (size_t i = 0; i < l.size(); ++i) {
        const size_t p = l.line(i).partner;
        if (p != kNoLine) {
            ASSERT_LT(p, r.size());
            EXPECT_EQ(r.line(p).partner, i);
            EXPECT_EQ(l.text(i), r.text(p));
        }
    }
    for (size_t row = 0; row < c.rows.left.size(); ++row) {
        const DisplayRow& a = c.rows.left[row];
        const DisplayRow& b = c.rows.right[row];
        ASSERT_EQ(a.flag, b.flag);
        if (a.equal()) {
            ASSERT_EQ(a.line, b.line);
            ++rightShown[b.line];
        } else {
            if (a.line != kNoLine)
                ++leftShown[a.line];
            if (b.line != kNoLine)
                ++rightShown[b.line];
        }
    }
    for (size_t i = 0; i < r.size(); ++i)
        EXPECT_EQ(rightShown[i], 1) << "right line " << i + 1;
    for (size_t i = 0; i < l.size(); ++i)
        EXPECT_EQ(leftShown[i], l.line(i).partner == kNoLine ? 1 : 0) << "left line " << i + 1;
}

} // namespace
} // namespace km::test
