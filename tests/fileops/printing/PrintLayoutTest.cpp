#include "fileops/printing/PrintLayout.h"

#include <gtest/gtest.h>

using namespace km;

namespace {

TEST(PrintLayout, WrapCutAndLineNumbers) {
    PrintSettings s;
    s.lineNumbers = true;
    const std::string line(120, 'x');
    PrintLayout wrap(s, 80, 60, "/tmp/file");
    wrap.AddSourceLine(line);
    ASSERT_EQ(wrap.pages().size(), 1u);
    const auto& lines = wrap.pages()[0].lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "001 " + std::string(76, 'x'));
    EXPECT_EQ(lines[1], "    " + std::string(44, 'x'));

    s.cutLines = true;
    PrintLayout cut(s, 80, 60, "h");
    cut.AddSourceLine(line);
    ASSERT_EQ(cut.pages()[0].lines.size(), 1u);
    EXPECT_EQ(cut.pages()[0].lines[0], "001 " + std::string(76, 'x'));
    EXPECT_EQ(cut.pages()[0].header.size(), 80u);
    EXPECT_EQ(cut.pages()[0].header.substr(74), "Page 1");
}

TEST(PrintLayout, TabsFormFeedsPagesAndTwoPerSheet) {
    PrintSettings s;
    s.tabSize = 4;
    PrintLayout p(s, 40, 3, "h");
    p.AddSourceLine("a\tb\tc");
    EXPECT_EQ(p.pages()[0].lines[0], "a   b   c");
    p.AddSourceLine("\fnew page");
    ASSERT_EQ(p.pages().size(), 2u);
    EXPECT_EQ(p.pages()[1].lines[0], "new page");
    p.AddSourceLine("\f");
    EXPECT_EQ(p.pages().size(), 3u);
    EXPECT_TRUE(p.pages()[2].lines.empty()) << "a line of only a form feed prints nothing";

    s.layout = 2;
    PrintLayout two(s, 40, 1, "h");
    for (const char* l : {"one", "two", "three"})
        two.AddSourceLine(l);
    ASSERT_EQ(two.pages().size(), 3u);
    EXPECT_EQ(two.pages()[0].sheet, 0);
    EXPECT_FALSE(two.pages()[0].rightHalf);
    EXPECT_EQ(two.pages()[1].sheet, 0);
    EXPECT_TRUE(two.pages()[1].rightHalf);
    EXPECT_EQ(two.pages()[2].sheet, 1);
    EXPECT_FALSE(two.pages()[2].rightHalf);
}

TEST(PrintLayout, LongLinesArriveInPiecesOf254) {
    const std::vector<std::string> pieces = SplitPrintLines(std::string(300, 'y') + "\r\nshort\nlast");
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].size(), 254u);
    EXPECT_EQ(pieces[1].size(), 46u);
    EXPECT_EQ(pieces[2], "short");
    EXPECT_EQ(pieces[3], "last");
    PrintSettings s;
    s.lineNumbers = true;
    PrintLayout p(s, 400, 10, "h");
    for (const std::string& piece : pieces)
        p.AddSourceLine(piece);
    EXPECT_EQ(p.pages()[0].lines[1].substr(0, 4), "002 ") << "each piece has its own number";
}

} // namespace
