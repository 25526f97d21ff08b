#include "platform/ReplacementFile.h"

#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace km;
using km::test::ReadAll;
using km::test::WriteAll;

namespace {

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(ReplacementFile, ReplacesOnlyOnCommitAndLeavesNothingBehind) {
    test::TempDir tmp;
    const std::string target = tmp.file("t.txt");
    WriteAll(target, "old");
    chmod(target.c_str(), 0640);
    {
        ReplacementFile f;
        ASSERT_EQ(f.Create(target), 0);
        EXPECT_EQ(f.TempPath().rfind(tmp.file(".km-t.txt-"), 0), 0u);
        EXPECT_EQ(f.Write("new", 3), 0);
    } // discarded
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(entries(tmp.path()), std::vector<std::string>{"t.txt"});

    ReplacementFile f;
    ASSERT_EQ(f.Create(target), 0);
    const std::string big(300000, 'q'); // past the gathering buffer
    EXPECT_EQ(f.Write("x", 1), 0);
    EXPECT_EQ(f.Write(big.data(), big.size()), 0);
    EXPECT_EQ(f.Commit(true), 0);
    EXPECT_EQ(ReadAll(target), "x" + big);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // the old bits kept
    EXPECT_EQ(entries(tmp.path()), std::vector<std::string>{"t.txt"});

    ASSERT_EQ(f.Create(tmp.file("private"), 0600), 0);
    EXPECT_EQ(f.Commit(false), 0);
    ASSERT_EQ(stat(tmp.file("private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(f.Create(tmp.path()), EISDIR);
    symlink(tmp.path().c_str(), tmp.file("dirlink").c_str());
    EXPECT_EQ(f.Create(tmp.file("dirlink")), EISDIR);
    EXPECT_EQ(f.Create(tmp.file("missing/x")), ENOENT);
}

TEST(ReplacementFile, NeverReplacesAFileThatAppearedMeanwhile) {
    test::TempDir tmp;
    const std::string target = tmp.file("new");
    ReplacementFile f;
    ASSERT_EQ(f.Create(target), 0);
    EXPECT_EQ(f.Write("ours", 4), 0);
    WriteAll(target, "theirs"); // someone else made it first
    EXPECT_EQ(f.Commit(false), EEXIST);
    EXPECT_EQ(ReadAll(target), "theirs");
    EXPECT_EQ(entries(tmp.path()), std::vector<std::string>{"new"});
    // A link is replaced as a link, never written through.
    WriteAll(tmp.file("linked"), "linked");
    symlink(tmp.file("linked").c_str(), tmp.file("link").c_str());
    EXPECT_EQ(ReplaceWithSymlink(target, "elsewhere", true), 0);
    ASSERT_EQ(f.Create(tmp.file("link")), 0);
    EXPECT_EQ(f.Write("file", 4), 0);
    EXPECT_EQ(f.Commit(false), 0);
    EXPECT_EQ(ReadAll(tmp.file("linked")), "linked");
    EXPECT_EQ(ReadAll(tmp.file("link")), "file");
    char buf[32];
    const ssize_t n = readlink(target.c_str(), buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0))), "elsewhere");
}

TEST(ReplacementFile, AFullDiskFailsTheWriteAndKeepsTheTarget) {
    test::TempDir tmp;
    WriteAll(tmp.file("t"), "precious");
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &lim);
        ReplacementFile f;
        const std::string data(1u << 20, 'z');
        if (f.Create(tmp.file("t")) != 0)
            _exit(3);
        const int w = f.Write(data.data(), data.size());
        _exit(w == EFBIG && f.Commit(true) == EFBIG ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(tmp.file("t")), "precious");
    EXPECT_EQ(entries(tmp.path()), std::vector<std::string>{"t"});
}

TEST(ReplacementFile, APartialFileIsKeptResumedAndUsedUp) {
    test::TempDir tmp;
    const std::string target = tmp.file("data.bin");
    WriteAll(target, "old");
    ReplacementFile f;
    ASSERT_EQ(f.CreatePartial(target, true), 0) << "nothing to resume: starts empty";
    EXPECT_EQ(f.Size(), 0u);
    ASSERT_EQ(f.Write("first half ", 11), 0);
    EXPECT_EQ(f.Keep(), 0);
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(ReplacementFile::PartialSize(target), 11);

    ASSERT_EQ(f.CreatePartial(target, true), 0);
    EXPECT_EQ(f.Size(), 11u);
    ASSERT_EQ(f.Write("second half", 11), 0);
    ASSERT_EQ(f.Commit(false), 0);
    EXPECT_EQ(ReadAll(target), "first half second half");
    EXPECT_EQ(ReplacementFile::PartialSize(target), -1);
    EXPECT_EQ(entries(tmp.path()), std::vector<std::string>{"data.bin"});

    // Keeping nothing leaves nothing; starting over empties an old partial.
    ASSERT_EQ(f.CreatePartial(target, false), 0);
    EXPECT_EQ(f.Keep(), 0);
    EXPECT_EQ(ReplacementFile::PartialSize(target), -1);
}

TEST(ReplacementFile, PartialNamesFitAndAPlantedFifoCannotHang) {
    test::TempDir tmp;
    // 255-byte names: the partial name must fit, and two names sharing
    // their first 240 bytes must not share one.
    const std::string a = tmp.file(std::string(250, 'a') + "-one.");
    const std::string b = tmp.file(std::string(250, 'a') + "-two.");
    ReplacementFile f;
    ASSERT_EQ(f.CreatePartial(a, false), 0);
    ASSERT_EQ(f.Write("A", 1), 0);
    EXPECT_EQ(f.Keep(), 0);
    EXPECT_EQ(ReplacementFile::PartialSize(a), 1);
    EXPECT_EQ(ReplacementFile::PartialSize(b), -1);

    const std::string target = tmp.file("fifo-target");
    ASSERT_EQ(f.CreatePartial(target, false), 0);
    EXPECT_EQ(f.Keep(), 0);
    std::string partial;
    for (const std::string& name : entries(tmp.path()))
        if (name.find("fifo-target") != std::string::npos)
            partial = name;
    EXPECT_TRUE(partial.empty()) << "an empty partial is not kept";
    ASSERT_EQ(f.CreatePartial(target, false), 0);
    ASSERT_EQ(f.Write("x", 1), 0);
    ASSERT_EQ(f.Keep(), 0);
    for (const std::string& name : entries(tmp.path()))
        if (name.find("fifo-target") != std::string::npos)
            partial = name;
    ASSERT_FALSE(partial.empty());
    ASSERT_EQ(unlink(tmp.file(partial).c_str()), 0);
    ASSERT_EQ(mkfifo(tmp.file(partial).c_str(), 0600), 0);
    EXPECT_NE(f.CreatePartial(target, true), 0) << "refused, and at once";
}

TEST(ReplacementFile, ANewFileIsMadeUnderItsNameUnreadableUntilCommitted) {
    test::TempDir tmp;
    const int dir = open(tmp.path().c_str(), O_RDONLY | O_DIRECTORY);
    WriteAll(tmp.file("taken"), "keep");
    symlink(tmp.file("nowhere").c_str(), tmp.file("dangling").c_str());
    ReplacementFile f;
    // Anything with the name, a dangling link too, sends the caller the long way.
    EXPECT_EQ(f.CreateNewAt(dir, "taken", 0644), EEXIST);
    EXPECT_EQ(f.CreateNewAt(dir, "dangling", 0644), EEXIST);
    EXPECT_FALSE(std::filesystem::exists(tmp.file("nowhere")));

    ASSERT_EQ(f.CreateNewAt(dir, "new", 0640), 0);
    EXPECT_EQ(f.Write("data", 4), 0);
    struct stat st;
    ASSERT_EQ(stat(tmp.file("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0u); // a half-made file passes for nothing
    ASSERT_EQ(f.Commit(false), 0);
    ASSERT_EQ(stat(tmp.file("new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(tmp.file("new")), "data");

    // Discarded, it goes; but not a file that took its name meanwhile.
    ASSERT_EQ(f.CreateNewAt(dir, "dropped", 0644), 0);
    f.Discard();
    EXPECT_FALSE(std::filesystem::exists(tmp.file("dropped")));
    ASSERT_EQ(f.CreateNewAt(dir, "swapped", 0644), 0);
    ASSERT_EQ(unlink(tmp.file("swapped").c_str()), 0);
    WriteAll(tmp.file("swapped"), "someone else's");
    f.Discard();
    EXPECT_EQ(ReadAll(tmp.file("swapped")), "someone else's");
    EXPECT_EQ(entries(tmp.path()),
              (std::vector<std::string>{"dangling", "new", "swapped", "taken"}));
    EXPECT_GE(fcntl(dir, F_GETFD), 0); // borrowed: still open after Discard
    close(dir);
}
