#include "platform/PrivateTemp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace km;

TEST(PrivateTemp, OwnDirectoryAndAFreshFileEachTime) {
    const std::string dir = PrivateTempDir();
    ASSERT_FALSE(dir.empty());
    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "closed to other users";
    EXPECT_EQ(st.st_uid, getuid());
    const std::string a = PrivateTempFile("dir"), b = PrivateTempFile("dir");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b) << "two listings at once never share a file";
    EXPECT_EQ(a.compare(0, dir.size() + 5, dir + "/dir-"), 0);
    EXPECT_EQ(stat(a.c_str(), &st), 0);
    unlink(a.c_str());
    unlink(b.c_str());
}
