#include "fileops/printing/PrintLayout.h"

#include <gtest/gtest.h>

using namespace km;

namespace {

void add(PrintLayout& layout, const std::string& utf8) {
    layout.AddSourceLine(DecodePrintText(utf8, PrintCharset::Utf8));
}

TEST(PrintLayout, WrapCutAndLineNumbers) {
    PrintSettings s;
    s.lineNumbers = true;
    const std::string line(120, 'x');
    PrintLayout wrap(s, 80, 60, "/tmp/file");
    add(wrap, line);
    ASSERT_EQ(wrap.pages().size(), 1u);
    const auto& lines = wrap.pages()[0].lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "001 " + std::string(76, 'x'));
    EXPECT_EQ(lines[1], "    " + std::string(44, 'x'));

    s.cutLines = true;
    PrintLayout cut(s, 80, 60, "h");
    add(cut, line);
    ASSERT_EQ(cut.pages()[0].lines.size(), 1u);
    EXPECT_EQ(cut.pages()[0].lines[0], "001 " + std::string(76, 'x'));
    EXPECT_EQ(cut.pages()[0].header.size(), 80u);
    EXPECT_EQ(cut.pages()[0].header.substr(74), "Page 1");
}

TEST(PrintLayout, TabsFormFeedsPagesAndTwoPerSheet) {
    PrintSettings s;
    s.tabSize = 4;
    PrintLayout p(s, 40, 3, "h");
    add(p, "a\tb\tc");
    EXPECT_EQ(p.pages()[0].lines[0], "a   b   c");
    add(p, "\fnew page");
    ASSERT_EQ(p.pages().size(), 2u);
    EXPECT_EQ(p.pages()[1].lines[0], "new page");
    add(p, "\f");
    EXPECT_EQ(p.pages().size(), 3u);
    EXPECT_TRUE(p.pages()[2].lines.empty()) << "a line of only a form feed prints nothing";

    s.layout = 2;
    PrintLayout two(s, 40, 1, "h");
    for (const char* l : {"one", "two", "three"})
        add(two, l);
    ASSERT_EQ(two.pages().size(), 3u);
    EXPECT_EQ(two.pages()[0].sheet, 0);
    EXPECT_FALSE(two.pages()[0].rightHalf);
    EXPECT_EQ(two.pages()[1].sheet, 0);
    EXPECT_TRUE(two.pages()[1].rightHalf);
    EXPECT_EQ(two.pages()[2].sheet, 1);
    EXPECT_FALSE(two.pages()[2].rightHalf);
}

TEST(PrintLayout, LongLinesArriveInPiecesOf254) {
    const std::vector<std::u32string> pieces =
        SplitPrintLines(std::string(300, 'y') + "\r\nshort\n\nlast", PrintCharset::Utf8);
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0].size(), 254u);
    EXPECT_EQ(pieces[1].size(), 46u);
    EXPECT_EQ(pieces[2], U"short");
    EXPECT_EQ(pieces[3], U"") << "an empty line is a line";
    EXPECT_EQ(pieces[4], U"last");
    PrintSettings s;
    s.lineNumbers = true;
    PrintLayout p(s, 400, 10, "h");
    for (const std::u32string& piece : pieces)
        p.AddSourceLine(piece);
    EXPECT_EQ(p.pages()[0].lines[1].substr(0, 4), "002 ") << "each piece has its own number";
}

TEST(PrintLayout, CharactersNotBytesAndWideCharactersTakeTwoColumns) {
    PrintSettings s;
    s.tabSize = 4;
    // 254 characters of two bytes each are one piece, not two.
    std::string accents;
    for (int i = 0; i < 300; ++i)
        accents += "\xC3\xA9"; // é
    const std::vector<std::u32string> pieces = SplitPrintLines(accents, PrintCharset::Utf8);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].size(), 254u);
    EXPECT_EQ(pieces[1].size(), 46u);

    // Tab stops count columns: after two wide characters the next stop is 8.
    PrintLayout tabs(s, 40, 10, "h");
    add(tabs, "\xE6\x9D\xB1\xE4\xBA\xAC\tx"); // 東京
    add(tabs, "ab\tx");
    EXPECT_EQ(tabs.pages()[0].lines[0], "\xE6\x9D\xB1\xE4\xBA\xAC    x");
    EXPECT_EQ(tabs.pages()[0].lines[1], "ab  x");

    // Wrapping by columns: ten wide characters in 9 columns make 4 + 4 + 2,
    // never splitting a character.
    PrintLayout wrap(s, 9, 10, "h");
    std::string cjk;
    for (int i = 0; i < 10; ++i)
        cjk += "\xE6\x9D\xB1";
    add(wrap, cjk);
    const auto& lines = wrap.pages()[0].lines;
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(TextColumns(DecodePrintText(lines[0], PrintCharset::Utf8)), 8);
    EXPECT_EQ(lines[2], "\xE6\x9D\xB1\xE6\x9D\xB1");

    // Pages are handed out once complete.
    PrintLayout pages(s, 20, 2, "h");
    for (int i = 0; i < 5; ++i)
        add(pages, "line");
    EXPECT_EQ(pages.TakePages(false).size(), 2u);
    const std::vector<PrintedPage> rest = pages.TakePages(true);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].number, 3);
    EXPECT_EQ(rest[0].header.substr(rest[0].header.size() - 6), "Page 3");
}

TEST(PrintText, OemCodePagesAndBytesThatAreNotUtf8) {
    EXPECT_EQ(DecodePrintText("\x80\x9B\xC9\xE1\t\x0C", PrintCharset::Cp437), U"\u00C7\u00A2\u2554\u00DF\t\f");
    EXPECT_EQ(DecodePrintText("\x9B\xB5\xD0", PrintCharset::Cp850), U"\u00F8\u00C1\u00F0");
    EXPECT_EQ(OemCharsetForLocale("de_DE.UTF-8"), PrintCharset::Cp850);
    EXPECT_EQ(OemCharsetForLocale("fr_CA"), PrintCharset::Cp850);
    EXPECT_EQ(OemCharsetForLocale("en_US.UTF-8"), PrintCharset::Cp437);
    EXPECT_EQ(OemCharsetForLocale("C"), PrintCharset::Cp437);
    // A stray Latin-1 byte keeps its character; a cut sequence is not swallowed.
    EXPECT_EQ(DecodePrintText("caf\xE9 \xE6\x9D", PrintCharset::Utf8), U"caf\u00E9 \u00E6\u009D");
    EXPECT_EQ(CharacterColumns(U'\u6771'), 2);
    EXPECT_EQ(CharacterColumns(U'\u0301'), 0);
    EXPECT_EQ(CharacterColumns(U'a'), 1);
}

} // namespace
