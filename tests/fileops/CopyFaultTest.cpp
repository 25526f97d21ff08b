// Faults under a copy or a move, injected for real: a full file system, a
// process killed mid-file, cancels, sources that change or vanish, and
// directories the user may not touch. Each case looks at the disk afterwards.
#include "fileops/CopyEngine.h"

#include "fileops/ChildProcess.h"
#include "fileops/ScriptedUi.h"
#include "support/FileTree.h"
#include "support/ScratchFileSystem.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace km;
using km::test::ReadAll;
using km::test::WriteAll;

namespace {

bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

// Names in `dir` other than the program's temporary files, and how many of those.
std::vector<std::string> namesIn(const std::string& dir, int* temps = nullptr) {
    std::vector<std::string> names;
    if (temps)
        *temps = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        if (n.rfind(".km-", 0) == 0) {
            if (temps)
                ++*temps;
        } else {
            names.push_back(n);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    return s;
}

// Runs `job` in a child that stops (and tells us) at the engine's second
// pump, i.e. with a file half written; the child is then killed.
void killMidFile(const std::function<void(test::ScriptedUi&)>& job) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        test::ScriptedUi ui;
        ui.onPump = [&](long n) {
            if (n == 2) {
                (void)!write(fds[1], "x", 1);
                for (;;)
                    pause();
            }
        };
        job(ui);
        _exit(0);
    }
    close(fds[1]);
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), 1) << "the child never reached the middle of the file";
    close(fds[0]);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
}

class CopyFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        chmod(dir.path().c_str(), 0755); // "nobody" must reach it
        mkdir(dir.file("src").c_str(), 0755);
        mkdir(dir.file("dst").c_str(), 0755);
    }
    std::string src(const std::string& n) const { return dir.file("src/" + n); }
    std::string dst(const std::string& n) const { return dir.file("dst/" + n); }
    test::TempDir dir;
    test::ScriptedUi ui;
};

} // namespace

TEST_F(CopyFaultTest, FullFileSystemKeepsTargetAndSource) {
    test::ScratchFileSystem small("1m");
    if (!small.mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const std::string big = pattern(3u << 20);
    WriteAll(src("big"), big);
    WriteAll(small.file("big"), "precious");
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyOneFile(src("big"), small.path(), true), CopyNotDone);
    EXPECT_EQ(ui.warnings, std::vector<int>{4200});
    EXPECT_EQ(ReadAll(small.file("big")), "precious");
    // A move to it: the source stays, whole.
    EXPECT_EQ(e.MoveOneFile(src("big"), small.path(), true), CopyNotDone);
    EXPECT_EQ(ReadAll(src("big")), big);
    // A tree that does not fit keeps its source tree.
    mkdir(src("t").c_str(), 0755);
    WriteAll(src("t/a"), "a");
    WriteAll(src("t/b"), big);
    e.MoveTree(src("t"), small.path(), true);
    EXPECT_EQ(ReadAll(src("t/a")), "a");
    EXPECT_EQ(ReadAll(src("t/b")), big);
    int temps = 0;
    namesIn(small.path(), &temps);
    EXPECT_EQ(temps, 0);
    for (const auto& n : namesIn(small.file("t"), &temps))
        EXPECT_EQ(n, "a"); // what was copied before the disk filled is whole
    EXPECT_EQ(temps, 0);
}

TEST_F(CopyFaultTest, KilledInTheMiddleOfACopyOrAMove) {
    const std::string big = pattern(40u << 20); // five kernel chunks
    WriteAll(src("big"), big);
    WriteAll(dst("big"), "precious");
    killMidFile([&](test::ScriptedUi& childUi) {
        CopyEngine e(childUi);
        e.CopyOneFile(src("big"), dir.file("dst"), true);
    });
    EXPECT_EQ(ReadAll(dst("big")), "precious");
    EXPECT_EQ(ReadAll(src("big")), big);
    int temps = 0;
    EXPECT_EQ(namesIn(dir.file("dst"), &temps), std::vector<std::string>{"big"});
    EXPECT_LE(temps, 1);

    // Across file systems (tmpfs to disk) the source is only removed after the copy.
    test::ScratchFileSystem other("64m");
    if (!other.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    WriteAll(other.file("moved"), big);
    killMidFile([&](test::ScriptedUi& childUi) {
        CopyEngine e(childUi);
        e.MoveOneFile(other.file("moved"), dir.file("dst"), true);
    });
    EXPECT_EQ(ReadAll(other.file("moved")), big);
    EXPECT_FALSE(exists(dst("moved")));
    EXPECT_EQ(namesIn(dir.file("dst"), &temps), std::vector<std::string>{"big"});
    EXPECT_LE(temps, 2);
}

TEST_F(CopyFaultTest, AKilledCopyToANewNameLeavesNothingThatPassesForTheFile) {
    const std::string big = pattern(40u << 20);
    WriteAll(src("big"), big);
    killMidFile([&](test::ScriptedUi& childUi) {
        CopyEngine e(childUi);
        e.CopyOneFile(src("big"), dst("fresh"), false);
    });
    struct stat st;
    if (lstat(dst("fresh").c_str(), &st) == 0) {
        EXPECT_EQ(st.st_mode & 07777, 0u) << "a partial copy that anyone may open";
        EXPECT_LT(st.st_size, static_cast<off_t>(big.size()));
    }
}

TEST_F(CopyFaultTest, CancelBetweenFilesOfATreeKeepsWholeFilesOnly) {
    mkdir(src("t").c_str(), 0755);
    for (const char* n : {"1", "2", "3", "4", "5"})
        WriteAll(src(std::string("t/") + n), n);
    ui.cancelAfterPumps = 2; // a small file takes one pump
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyTree(src("t"), dir.file("dst"), true), CopyNotDone);
    EXPECT_TRUE(e.cancelled());
    int temps = 0;
    const auto copied = namesIn(dst("t"), &temps);
    EXPECT_EQ(copied.size(), 2u);
    for (const auto& n : copied)
        EXPECT_EQ(ReadAll(dst("t/" + n)), n);
    EXPECT_EQ(temps, 0);
}

TEST_F(CopyFaultTest, SourceThatShrinksOrVanishesMeanwhile) {
    const std::string big = pattern(20u << 20);
    WriteAll(src("shrinks"), big);
    WriteAll(dst("shrinks"), "precious");
    ui.onPump = [&](long n) {
        if (n == 2)
            truncate(src("shrinks").c_str(), 100);
    };
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyOneFile(src("shrinks"), dir.file("dst"), true), CopyNotDone);
    EXPECT_EQ(ui.warnings, std::vector<int>{4199});
    EXPECT_EQ(ReadAll(dst("shrinks")), "precious");

    // Deleted by someone else while we read it: what we copied is complete.
    WriteAll(src("vanishes"), big);
    ui.pumps = 0;
    ui.onPump = [&](long n) {
        if (n == 2)
            unlink(src("vanishes").c_str());
    };
    EXPECT_EQ(e.CopyOneFile(src("vanishes"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("vanishes")), big);
    int temps = 0;
    namesIn(dir.file("dst"), &temps);
    EXPECT_EQ(temps, 0);
}

TEST_F(CopyFaultTest, SpecialFilesAreSkippedAndKeptByAMoveAcrossFileSystems) {
    test::ScratchFileSystem other("16m");
    if (!other.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    mkdir(other.file("t").c_str(), 0755);
    WriteAll(other.file("t/file"), "data");
    mkfifo(other.file("t/fifo").c_str(), 0644);
    mkfifo(other.file("top-fifo").c_str(), 0644);
    CopyEngine e(ui);
    EXPECT_EQ(e.MoveOneFile(other.file("top-fifo"), dir.file("dst"), true), CopyNotDone);
    EXPECT_TRUE(exists(other.file("top-fifo")));
    EXPECT_FALSE(exists(dst("top-fifo")));
    EXPECT_EQ(e.MoveTree(other.file("t"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("t/file")), "data");
    EXPECT_TRUE(exists(other.file("t/fifo"))); // not moved, so not deleted
    EXPECT_EQ(ReadAll(other.file("t/file")), "data");
    EXPECT_EQ(ui.messages.size(), 2u);
    // A plain file moves across: complete at the target, gone at the source.
    WriteAll(other.file("plain"), "plain");
    EXPECT_EQ(e.MoveOneFile(other.file("plain"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("plain")), "plain");
    EXPECT_FALSE(exists(other.file("plain")));
    // A copied tree with a pipe in it is not done, though its files are copied.
    EXPECT_EQ(e.CopyTree(other.file("t"), dir.file("src"), true), CopyNotDone);
    EXPECT_EQ(ReadAll(src("t/file")), "data");
}

TEST_F(CopyFaultTest, DirectoriesTheUserMayNotTouch) {
    WriteAll(src("f"), "f");
    chmod(src("f").c_str(), 0644);
    chmod(dir.file("src").c_str(), 0555); // cannot remove from it
    chmod(dir.file("dst").c_str(), 0777); // may write here...
    mkdir(dst("locked").c_str(), 0555);   // ...but not into this one
    mkdir(dir.file("tree").c_str(), 0755);
    mkdir(dir.file("tree/closed").c_str(), 0755);
    WriteAll(dir.file("tree/closed/x"), "x");
    chmod(dir.file("tree/closed").c_str(), 0); // cannot be read
    const int r = test::RunAsNobody([&](std::string&) {
        test::ScriptedUi childUi;
        CopyEngine e(childUi);
        bool ok = e.MoveOneFile(src("f"), dir.file("dst"), true) == CopyNotDone;
        ok = ok && e.CopyOneFile(src("f"), dst("locked"), true) == CopyNotDone;
        ok = ok && e.CopyTree(dir.file("tree"), dir.file("dst"), true) == CopyNotDone;
        return ok && childUi.warnings == std::vector<int>{4198, 4198} &&
               childUi.messages.size() == 1;
    });
    chmod(dir.file("src").c_str(), 0755);
    if (r == 2)
        GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(ReadAll(src("f")), "f");
    EXPECT_FALSE(exists(dst("f")));
    EXPECT_FALSE(exists(dst("locked/f")));
    // The tree was begun, and stopped at the directory that cannot be read.
    EXPECT_TRUE(exists(dst("tree")));
    EXPECT_FALSE(exists(dst("tree/closed/x")));
}

TEST_F(CopyFaultTest, ASourceFolderSwappedForALinkMeanwhileIsNotFollowed) {
    // t/a holds 2,000 files and a folder b; outside/ has the same names with
    // other contents, which a walk through a link put in a's place would copy.
    mkdir(src("t").c_str(), 0755);
    mkdir(src("t/a").c_str(), 0755);
    mkdir(dir.file("outside").c_str(), 0755);
    for (int i = 0; i < 2000; ++i) {
        WriteAll(src("t/a/f" + std::to_string(i)), "inside");
        WriteAll(dir.file("outside/f" + std::to_string(i)), "outside");
    }
    mkdir(src("t/a/b").c_str(), 0755);
    WriteAll(src("t/a/b/g"), "inside");
    mkdir(dir.file("outside/b").c_str(), 0755);
    WriteAll(dir.file("outside/b/g"), "outside");
    long shown = 0;
    ui.onShow = [&](std::string_view) {
        if (++shown == 1000) {
            rename(src("t/a").c_str(), src("t/a.old").c_str());
            symlink(dir.file("outside").c_str(), src("t/a").c_str());
        }
    };
    CopyEngine e(ui);
    e.CopyTree(src("t"), dir.file("dst"), true);
    EXPECT_GE(shown, 1000);
    size_t copied = 0, leaked = 0;
    for (const auto& [name, data] : test::TreeOf(dst("t"))) {
        copied += data == "inside";
        leaked += data == "outside";
    }
    EXPECT_EQ(leaked, 0u);
    EXPECT_GE(copied, 1000u);
}
