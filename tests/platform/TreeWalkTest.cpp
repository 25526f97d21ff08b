#include "platform/TreeWalk.h"

#include "support/TempDir.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace km;

TEST(TreeWalk, ChildrenAreListedAndLinksAreNeverEntered) {
    test::TempDir dir;
    mkdir(dir.file("sub").c_str(), 0755);
    test::WriteAll(dir.file("file"), "x");
    symlink(dir.file("sub").c_str(), dir.file("link").c_str());
    const int fd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    std::vector<DirectoryChild> children;
    ASSERT_EQ(ReadDirectoryChildren(fd, children), 0);
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(children[0].name, "file");
    EXPECT_EQ(children[1].name, "link");
    EXPECT_EQ(children[2].name, "sub");
    const int sub = OpenChildDirectory(fd, "sub");
    EXPECT_GE(sub, 0);
    EXPECT_LT(OpenChildDirectory(fd, "link"), 0);
    EXPECT_TRUE(errno == ELOOP || errno == ENOTDIR) << errno;
    EXPECT_LT(OpenChildDirectory(fd, "file"), 0);
    EXPECT_EQ(errno, ENOTDIR);
    close(sub);
    close(fd);
}

TEST(TreeWalk, AParkedLevelComesBackOnlyAsTheSameDirectory) {
    test::TempDir dir;
    mkdir(dir.file("a").c_str(), 0755);
    mkdir(dir.file("a/b").c_str(), 0755);
    mkdir(dir.file("elsewhere").c_str(), 0755);
    WalkLevel a(open(dir.file("a").c_str(), O_RDONLY | O_DIRECTORY));
    const int b = OpenChildDirectory(a.fd(), "b");
    a.Park();
    EXPECT_EQ(a.fd(), -1);
    EXPECT_EQ(a.Restore(b), 0);
    EXPECT_GE(a.fd(), 0);
    // Moved away while parked: its child's ".." is another directory now.
    a.Park();
    ASSERT_EQ(rename(dir.file("a/b").c_str(), dir.file("elsewhere/b").c_str()), 0);
    EXPECT_EQ(a.Restore(b), ESTALE);
    EXPECT_EQ(a.fd(), -1);
    close(b);
}
