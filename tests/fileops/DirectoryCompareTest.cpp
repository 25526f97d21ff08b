#include "fileops/DirectoryCompare.h"

#include "support/TempDir.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace km;
using km::test::TempDir;
using km::test::WriteAll;

namespace {

// Local 2024-03-05 at hh:mm:ss.
FileTime At(int hh, int mm, int ss = 0) {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = hh;
    t.tm_min = mm;
    t.tm_sec = ss;
    t.tm_isdst = -1;
    return FileTimeFromUnix(mktime(&t), 0);
}

TEST(DirectoryCompare, MissingNewerSameMinuteAndCase) {
    const DirectoryDifference d = CompareDirectoryFiles(
        {{"same.txt", At(10, 0)},
         {"report.txt", At(14, 5)},
         {"onlyleft", At(9, 0)},
         {"README", At(8, 0)},
         {"seconds.dat", At(12, 30, 1)},
         {"older.doc", At(7, 0)}},
        {{"same.txt", At(10, 0)},
         {"report.txt", At(13, 0)},
         {"readme", At(8, 0, 59)},
         {"seconds.dat", At(12, 30, 58)},
         {"older.doc", At(7, 1)},
         {"onlyright.x", At(1, 0)}});
    EXPECT_EQ(d.left, (std::vector<std::string>{"onlyleft", "report.txt"}));
    EXPECT_EQ(d.right, (std::vector<std::string>{"older.doc", "onlyright.x"}));
    EXPECT_TRUE(CompareDirectoryFiles({}, {}).left.empty());
}

TEST(DirectoryCompare, NamesSplitAtTheFirstDotAndSortLikeTheirPaddedParts) {
    // "a.b.c" and "a.b" differ; "a" sorts before "a b" and "a.txt" (its
    // padding is a blank); a merge in any other order would pair them wrongly.
    const DirectoryDifference d = CompareDirectoryFiles(
        {{"a", At(1, 0)}, {"a b", At(1, 0)}, {"a.txt", At(1, 0)}, {"a.b.c", At(1, 0)}, {"Z.TXT", At(1, 0)}},
        {{"a.txt", At(1, 0)}, {"a b", At(1, 0)}, {"a", At(1, 0)}, {"a.b", At(1, 0)}, {"z.txt", At(1, 0)}});
    EXPECT_EQ(d.left, std::vector<std::string>{"a.b.c"});
    EXPECT_EQ(d.right, std::vector<std::string>{"a.b"});
}

TEST(DirectoryCompare, ReadsFilesOnlyAndHonoursTheHiddenFilter) {
    TempDir dir;
    mkdir(dir.file("sub").c_str(), 0755);
    WriteAll(dir.file("sub/inner.txt"), "x");
    WriteAll(dir.file("plain.txt"), "x");
    WriteAll(dir.file(".dot"), "x");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.file("plain.txt").c_str(), times, 0), 0);
    auto names = [](const std::vector<CompareFile>& files) {
        std::vector<std::string> n;
        for (const CompareFile& f : files)
            n.push_back(f.name);
        std::sort(n.begin(), n.end());
        return n;
    };
    const auto shown = ReadCompareFiles(dir.path(), false, false);
    EXPECT_EQ(names(shown), std::vector<std::string>{"plain.txt"});
    EXPECT_EQ(UnixSecondsFromFileTime(shown.at(0).lastWrite), 1700000000);
    EXPECT_EQ(names(ReadCompareFiles(dir.path(), true, false)), (std::vector<std::string>{".dot", "plain.txt"}));
    if (setxattr(dir.file("plain.txt").c_str(), "user.DOSATTRIB", "0x4", 3, 0) == 0) {
        EXPECT_TRUE(ReadCompareFiles(dir.path(), false, false).empty()) << "system file";
        EXPECT_EQ(ReadCompareFiles(dir.path(), false, true).size(), 1u);
    }
    EXPECT_TRUE(ReadCompareFiles(dir.file("missing"), true, true).empty());
}

} // namespace
