#include "platform/PrivateTemp.h"

#include "support/EnvScope.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace km;
using km::test::TempDir;
using km::test::WriteAll;

namespace {

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

void makeOld(const std::string& path) {
    const time_t twoDaysAgo = time(nullptr) - 2 * 24 * 60 * 60;
    const struct timespec times[2] = {{twoDaysAgo, 0}, {twoDaysAgo, 0}};
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

class PrivateTempTest : public ::testing::Test {
protected:
    void SetUp() override { env.set("TMPDIR", tmp.path()); }
    void TearDown() override { RemovePrivateRunDir(); }
    std::string root() const { return tmp.file("km-" + std::to_string(getuid())); }

    TempDir tmp;
    test::EnvScope env;
};

} // namespace

TEST_F(PrivateTempTest, OwnRunFolderAndAFreshFileEachTime) {
    const std::string dir = PrivateTempDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir, root() + "/" + RunFolderName(getpid()));
    for (const std::string& d : {root(), dir}) {
        struct stat st;
        ASSERT_EQ(stat(d.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 077, 0u) << d << " closed to other users";
        EXPECT_EQ(st.st_uid, getuid());
    }
    const std::string a = PrivateTempFile("dir"), b = PrivateTempFile("dir");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b) << "two listings at once never share a file";
    EXPECT_EQ(a.compare(0, dir.size() + 5, dir + "/dir-"), 0);
    EXPECT_TRUE(exists(a));

    // The end of the run takes the folder and what is in it; a later use makes it again.
    mkdir((dir + "/sub").c_str(), 0500);
    RemovePrivateRunDir();
    EXPECT_FALSE(exists(dir));
    EXPECT_TRUE(exists(root()));
    EXPECT_EQ(PrivateTempDir(), dir);
    EXPECT_TRUE(exists(dir));

    // Someone else's directory in its place is refused.
    RemovePrivateRunDir();
    chmod(root().c_str(), 0755);
    EXPECT_EQ(PrivateTempDir(), "");
    chmod(root().c_str(), 0700);
}

TEST_F(PrivateTempTest, StartSweepsOldLeftoversButNeverALiveRun) {
    ASSERT_EQ(mkdir(root().c_str(), 0700), 0);
    const std::string parent = RunFolderName(getppid());
    ASSERT_FALSE(parent.empty());
    // The same pid with another start time is a process that has ended.
    const std::string reused = "run-" + std::to_string(getpid()) + "-1";
    for (const std::string& d :
         {parent, reused, std::string("run-4194304-7"), std::string("old-tree")})
        ASSERT_EQ(mkdir((root() + "/" + d).c_str(), 0700), 0) << d;
    WriteAll(root() + "/" + parent + "/kept.txt", "still in use");
    WriteAll(root() + "/" + reused + "/copy.txt", "old");
    WriteAll(tmp.file("outside.txt"), "not ours to remove");
    mkdir((root() + "/old-tree/ro").c_str(), 0700);
    WriteAll(root() + "/old-tree/ro/f", "x");
    chmod((root() + "/old-tree/ro").c_str(), 0500);
    symlink(tmp.file("outside.txt").c_str(), (root() + "/old-tree/link").c_str());
    symlink(tmp.path().c_str(), (root() + "/old-tree/dirlink").c_str());
    WriteAll(root() + "/list-abc123", "a list file of an earlier version");
    WriteAll(root() + "/young.txt", "from a minute ago");
    for (const std::string& d :
         {parent, reused, std::string("old-tree"), std::string("list-abc123")})
        makeOld(root() + "/" + d);

    ASSERT_FALSE(PrivateTempDir().empty());
    EXPECT_TRUE(exists(root() + "/" + parent + "/kept.txt")) << "a running process";
    EXPECT_FALSE(exists(root() + "/" + reused));
    EXPECT_FALSE(exists(root() + "/old-tree"));
    EXPECT_FALSE(exists(root() + "/list-abc123"));
    EXPECT_TRUE(exists(root() + "/run-4194304-7")) << "less than a day old";
    EXPECT_TRUE(exists(root() + "/young.txt"));
    EXPECT_EQ(test::ReadAll(tmp.file("outside.txt")), "not ours to remove");
    EXPECT_TRUE(exists(tmp.path() + "/km-" + std::to_string(getuid())));
}
