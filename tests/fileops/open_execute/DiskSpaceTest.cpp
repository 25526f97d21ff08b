#include "fileops/open_execute/DiskSpaceCounter.h"
#include "fileops/open_execute/NewDirectory.h"

#include "ScriptedOpenUi.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace km;
using namespace km::test;

namespace {

bool isDir(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

TEST(DiskSpace, CountsEntriesBelowTheDirectory) {
    TempDir dir;
    WriteAll(dir.file("a"), std::string(10, 'a'));
    WriteAll(dir.file(".hidden"), std::string(20, 'b'));
    mkdir(dir.file("empty").c_str(), 0755);
    DiskSpaceTotals t;
    ASSERT_TRUE(CountDiskSpace(dir.path(), t, {}));
    EXPECT_EQ(t.directories, 1u);
    EXPECT_EQ(t.files, 2u);
    EXPECT_EQ(t.bytes, 30u);
}

TEST(DiskSpace, LinksAreNotFollowedNorCountedTwice) {
    TempDir dir;
    WriteAll(dir.file("x"), std::string(100, 'x'));
    ASSERT_EQ(link(dir.file("x").c_str(), dir.file("x2").c_str()), 0);
    mkdir(dir.file("d").c_str(), 0755);
    WriteAll(dir.file("d/y"), "12345");
    ASSERT_EQ(symlink("d", dir.file("ld").c_str()), 0);     // would count d/y twice
    ASSERT_EQ(symlink(".", dir.file("d/loop").c_str()), 0); // would never end
    DiskSpaceTotals t;
    ASSERT_TRUE(CountDiskSpace(dir.path(), t, {}));
    EXPECT_EQ(t.directories, 1u);
    EXPECT_EQ(t.files, 4u); // x, d/y and the two links themselves
    EXPECT_EQ(t.bytes, 100u + 5u + 1u + 1u);
    // The link the user pointed at is followed; the loop below it is not.
    ASSERT_TRUE(CountDiskSpace(dir.file("ld"), t, {}));
    EXPECT_EQ(t.directories, 0u);
    EXPECT_EQ(t.files, 2u); // y and loop
    EXPECT_EQ(t.bytes, 5u + 1u);
}

TEST(DiskSpace, TotalsBeyondFourGigabytesAndCancel) {
    TempDir dir;
    const int fd = open(dir.file("sparse").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    const off_t big = (off_t{5} << 30) + 7;
    const bool sized = ftruncate(fd, big) == 0;
    close(fd);
    for (int i = 0; i < 5; ++i)
        WriteAll(dir.file("f" + std::to_string(i)), "z");
    DiskSpaceTotals t;
    if (sized) {
        ASSERT_TRUE(CountDiskSpace(dir.path(), t, {}));
        EXPECT_EQ(t.bytes, static_cast<uint64_t>(big) + 5u);
    }
    int pumps = 0;
    EXPECT_FALSE(CountDiskSpace(dir.path(), t, [&] { return ++pumps == 3; }));
    EXPECT_EQ(pumps, 3);
    EXPECT_EQ(t.files, 2u) << "stops at the entry where the cancel came";
}

TEST(MakeDirectory, NestedPathsAndTheCursorTarget) {
    TempDir dir;
    ScriptedOpenUi ui;
    EXPECT_EQ(MakeNewDirectory(dir.path(), "a/b/c", ui), 0);
    EXPECT_TRUE(isDir(dir.file("a/b/c")));
    EXPECT_EQ(MakeNewDirectory(dir.path(), "a/b", ui), 0) << "an existing directory is fine";
    EXPECT_EQ(MakeNewDirectory(dir.path(), "", ui), 1);
    WriteAll(dir.file("file"), "");
    EXPECT_EQ(MakeNewDirectory(dir.path(), "file/sub", ui), -1);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"Error creating directory " + dir.file("file/sub")});
    EXPECT_EQ(FirstPathComponent("a/b/c"), "a");
    EXPECT_EQ(FirstPathComponent("single"), "single");
    EXPECT_EQ(FirstPathComponent("//x/y"), "x");
}

} // namespace
