#include "platform/PathUtil.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km;

TEST(PathUtil, DepthParentJoin) {
    EXPECT_EQ(PathDepth("/"), 0);
    EXPECT_EQ(PathDepth("/a"), 1);
    EXPECT_EQ(PathDepth("/a/b"), 2);
    EXPECT_EQ(ParentPath("/a/b"), "/a");
    EXPECT_EQ(ParentPath("/a"), "/");
    EXPECT_EQ(JoinPath("/", "x"), "/x");
    EXPECT_EQ(JoinPath("/a", "x"), "/a/x");
    EXPECT_EQ(BaseName("/a/b.txt"), "b.txt");
}

TEST(PathUtil, ResolveRelativeAndDots) {
    EXPECT_EQ(ResolvePath("/home/u", "docs"), "/home/u/docs");
    EXPECT_EQ(ResolvePath("/home/u", "../v/./w//"), "/home/v/w");
    EXPECT_EQ(ResolvePath("/home/u", "/etc/.."), "/");
    EXPECT_EQ(ResolvePath("/", "../../.."), "/");
}

TEST(PathUtil, NearestExistingDirectory) {
    test::TempDir dir;
    mkdir(dir.file("a").c_str(), 0700);
    EXPECT_EQ(NearestExistingDirectory(dir.file("a/gone/deeper")), dir.file("a"));
    test::WriteAll(dir.file("f"), "x");
    EXPECT_EQ(NearestExistingDirectory(dir.file("f")), dir.path()); // a file is no directory
    EXPECT_EQ(NearestExistingDirectory("/no/such/place/at/all"), "/");
}
