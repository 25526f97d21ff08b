#include "panels/CellText.h"

#include "platform/FileAttributes.h"
#include "ui_services/FormatThousands.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

using namespace km;

namespace {
FileEntry entry(int kind, const char* name, uint64_t size = 0) {
    FileEntry e;
    e.kind = kind;
    e.name = name;
    e.size = size;
    return e;
}
} // namespace

TEST(CellText, NameCaseVariants) {
    const FileEntry f = entry(KindFile, "ReadMe.TXT"), d = entry(KindDirectory, "MyDir");
    EXPECT_EQ(DisplayName(f, NameCaseLower), "readme.txt");
    EXPECT_EQ(DisplayName(d, NameCaseLower), "[mydir]");
    EXPECT_EQ(DisplayName(f, NameCaseUpper), "README.TXT");
    EXPECT_EQ(DisplayName(f, NameCaseFilesUpper), "README.TXT");
    EXPECT_EQ(DisplayName(d, NameCaseFilesUpper), "[mydir]");
    EXPECT_EQ(DisplayName(f, NameCaseFilesLower), "readme.txt");
    EXPECT_EQ(DisplayName(d, NameCaseFilesLower), "[MYDIR]");
    EXPECT_EQ(DisplayName(f, NameCaseAsStored), "ReadMe.TXT");
    EXPECT_EQ(DisplayName(entry(KindParent, ".."), NameCaseUpper), "[..]");
    // Only A-Z change; other bytes stay as they are.
    EXPECT_EQ(DisplayName(entry(KindFile, "\xc3\x89T\xc3\xa9"), NameCaseLower), "\xc3\x89t\xc3\xa9");
}

TEST(CellText, SizeColumn) {
    LocaleInfo li;
    li.thousandsSeparator = ".";
    EXPECT_EQ(CellText(entry(KindFile, "x", 1234567), 1, 2460, li), "1.234.567");
    EXPECT_EQ(CellText(entry(KindFile, "x", 5ull << 30), 1, 2460, li), "5.368.709.120");
    EXPECT_EQ(CellText(entry(KindDirectory, "x"), 1, 2460, li), "<DIR>   ");
    EXPECT_EQ(CellText(entry(KindParent, ".."), 1, 2460, li), "<DIR>   ");
    EXPECT_EQ(CellText(entry(KindParent, ".."), 2, 2460, li), "");
}

TEST(CellText, DateColumnOrderSeparatorAndAttributes) {
    setenv("TZ", "UTC", 1);
    tzset();
    FileEntry e = entry(KindFile, "x");
    // 1998-12-24 13:05 UTC
    e.lastWrite = FileTimeFromUnix(914504700, 0);
    e.attributes = AttrArchive;
    const LocaleInfo dmy = LocaleInfo::WithDateSeparator("-", 1);
    EXPECT_EQ(DateColumnText(e, dmy), "  24-12-98  13:05  -a--");
    const LocaleInfo mdy = LocaleInfo::WithDateSeparator("/", 0);
    e.attributes = AttrReadOnly | AttrHidden | AttrSystem;
    EXPECT_EQ(DateColumnText(e, mdy), "  12/24/98  13:05  r-hs");
    const LocaleInfo ymd = LocaleInfo::WithDateSeparator(".", 2);
    e.lastWrite = FileTimeFromUnix(946684800, 0); // 2000-01-01 00:00
    e.attributes = 0;
    EXPECT_EQ(DateColumnText(e, ymd), "  00.01.01  00:00  ----");
}

TEST(FormatThousands, Groups) {
    EXPECT_EQ(FormatThousands(0, ","), "0");
    EXPECT_EQ(FormatThousands(999, ","), "999");
    EXPECT_EQ(FormatThousands(1000, ","), "1,000");
    EXPECT_EQ(FormatThousands(2113470464, "."), "2.113.470.464");
    EXPECT_EQ(FormatThousands(UINT64_MAX, ","), "18,446,744,073,709,551,615");
    // Separators of more than one byte: U+202F as French groups digits.
    EXPECT_EQ(FormatThousands(1234567, "\u202f"), "1\u202f234\u202f567");
}

TEST(CellText, DatesWithSeparatorsOfSeveralBytes) {
    setenv("TZ", "UTC", 1);
    tzset();
    FileEntry e = entry(KindFile, "x");
    e.lastWrite = FileTimeFromUnix(914504700, 0); // 1998-12-24 13:05 UTC
    LocaleInfo ja = LocaleInfo::WithDateSeparator("\u5e74", 2);
    ja.dateSeparator2 = "\u6708";
    ja.dateSuffix = "\u65e5";
    EXPECT_EQ(DateColumnText(e, ja), "  98\u5e7412\u670824\u65e5  13:05  ----");
}
