#include "ftp/RemoteDirectory.h"

#include <gtest/gtest.h>

using namespace km;

namespace {

TEST(RemoteDirectory, PathsRootsDepthAndVmsNames) {
    bool slash = false;
    EXPECT_EQ(RemotePanelPath("/pub/linux", slash), "/pub/linux");
    EXPECT_TRUE(slash);
    EXPECT_EQ(RemoteRootPath(3, slash), "/");
    EXPECT_EQ(RemotePanelPath("C:\\data", slash), "C:\\data");
    EXPECT_FALSE(slash);
    EXPECT_EQ(RemoteRootPath(0, slash), "\\");
    EXPECT_EQ(RemoteRootPath(kVmsHostType, true), "[000000]");
    EXPECT_EQ(RemoteDirectoryArgument("SUB.DIR;1", kVmsHostType), "[.SUB]");
    EXPECT_EQ(RemoteDirectoryArgument("SUB.DIR;1", 3), "SUB.DIR;1");
    EXPECT_EQ(RemoteDepth("/"), 0);
    EXPECT_EQ(RemoteDepth("/pub"), 1);
    EXPECT_EQ(RemoteDepth("/pub/linux"), 2);
    EXPECT_EQ(RemoteJoin("/pub", "a b", true), "/pub/a b");
    EXPECT_EQ(RemoteJoin("/", "x", true), "/x");
}

TEST(RemoteDirectory, ListingKeepsFilesAndDirectoriesAndDropsDotNames) {
    const std::string text = "total 12\r\n"
                             "drwxr-xr-x   2 ann  users     4096 Mar  5  2021 .\r\n"
                             "drwxr-xr-x   2 ann  users     4096 Mar  5  2021 ..\r\n"
                             "-rw-r--r--   1 ann  users       42 Mar  5  2021 .profile\r\n"
                             "drwxr-xr-x   2 ann  users     4096 Mar  5  2021 sub dir\r\n"
                             "-rw-r--r--\t1 ann  users     1234 Mar  5  2021 notes.txt\r\n"
                             "garbage line\r\n";
    const std::vector<RemoteEntry> rows = ParseRemoteListing(text, false);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "sub dir");
    EXPECT_TRUE(rows[0].isDirectory);
    EXPECT_EQ(rows[0].size, 0u) << "directories show no size";
    EXPECT_EQ(rows[1].name, "notes.txt");
    EXPECT_EQ(rows[1].size, 1234u);
    const std::tm t = LocalTimeOf(rows[1].lastWrite);
    EXPECT_EQ(t.tm_year, 121);
    EXPECT_EQ(t.tm_mon, 2);
    EXPECT_EQ(t.tm_mday, 5);
    EXPECT_TRUE(ParseRemoteListing("total 0\n", false).empty());
}

TEST(RemoteDirectory, VmsNameWrappedOntoTheNextLineIsJoined) {
    const std::string text = "A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT;1\n"
                             "                         4/8        5-MAR-2021 10:20:30  [GROUP,ANN]  (RWED,RWED,RE,)\n"
                             "SUB.DIR;1             1/3        5-MAR-2021 10:20:30  [GROUP,ANN]  (RWE,RWE,RE,E)\n";
    const std::vector<RemoteEntry> rows = ParseRemoteListing(text, true);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name.substr(0, 33), "A_VERY_LONG_FILE_NAME_THAT_WRAPS.");
    EXPECT_FALSE(rows[0].isDirectory);
    EXPECT_TRUE(rows[1].isDirectory);
}

} // namespace
