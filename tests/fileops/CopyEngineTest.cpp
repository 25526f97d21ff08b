#include "fileops/CopyEngine.h"

#include "fileops/ChildProcess.h"
#include "fileops/FileCommands.h"
#include "fileops/ScriptedUi.h"
#include "platform/DirectoryReader.h"
#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
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

void setMtime(const std::string& p, time_t t) {
    const struct timespec ts[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, 0);
}

bool noTempFiles(const std::string& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().filename().string().rfind(".km-", 0) == 0)
            return false;
    }
    return true;
}

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("src").c_str(), 0755);
        mkdir(dir.file("dst").c_str(), 0755);
    }
    std::string src(const std::string& n) const { return dir.file("src/" + n); }
    std::string dst(const std::string& n) const { return dir.file("dst/" + n); }
    // A source panel over src/ with the given names selected.
    // What a command given on a panel with `selected` selected acts on.
    PanelSelection panel(std::initializer_list<const char*> selected) { return listing(selected).Chosen(); }
    PanelListing listing(std::initializer_list<const char*> selected) {
        PanelListing l;
        l.path = dir.file("src");
        l.ReadDirectory(ListingFilter{true, true, true, true}, "*.*");
        for (const char* n : selected)
            for (auto& e : l.entries)
                if (e.name == n)
                    e.selected = true;
        return l;
    }
    test::TempDir dir;
    test::ScriptedUi ui;
};

} // namespace

TEST_F(CopyTest, OneFileToDirectoryToNameAndPattern) {
    WriteAll(src("a.txt"), "alpha");
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyOneFile(src("a.txt"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("a.txt")), "alpha");
    EXPECT_EQ(e.CopyOneFile(src("a.txt"), dst("other.txt"), false), CopyDone);
    EXPECT_EQ(ReadAll(dst("other.txt")), "alpha");
    EXPECT_EQ(e.CopyOneFile(src("a.txt"), dst("*.bak"), false), CopyDone);
    EXPECT_EQ(ReadAll(dst("a.bak")), "alpha");
    EXPECT_TRUE(noTempFiles(dir.file("dst")));
}

TEST_F(CopyTest, KeepsTimesAndDropsReadOnly) {
    WriteAll(src("ro"), "x");
    chmod(src("ro").c_str(), 0444);
    setMtime(src("ro"), 1000000000);
    CopyEngine e(ui);
    ASSERT_EQ(e.CopyOneFile(src("ro"), dir.file("dst"), true), CopyDone);
    struct stat st;
    ASSERT_EQ(stat(dst("ro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    EXPECT_TRUE(st.st_mode & S_IRUSR);

    // The copy belongs to whoever copies: it never keeps set-user or set-group rights.
    WriteAll(src("tool"), "#!/bin/sh\n");
    chmod(src("tool").c_str(), 06755);
    ASSERT_EQ(e.CopyOneFile(src("tool"), dir.file("dst"), true), CopyDone);
    ASSERT_EQ(stat(dst("tool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07000, 0u);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
}

TEST_F(CopyTest, CommandRulesForSeveralEntries) {
    WriteAll(src("a.txt"), "a");
    WriteAll(src("b.txt"), "b");
    CopyCommand cmd;
    cmd.target = dir.file("dst/x/new.txt");
    EXPECT_EQ(RunCopyCommand(panel({"a.txt", "b.txt"}), cmd, ui), CopyNotDone);
    EXPECT_EQ(ui.warnings, std::vector<int>{4940});
    EXPECT_FALSE(exists(dst("x")));
    cmd.target = dir.file("dst/x/*.bak"); // creates dst/x first
    EXPECT_EQ(RunCopyCommand(panel({"a.txt", "b.txt"}), cmd, ui), CopyDone);
    EXPECT_EQ(ReadAll(dst("x/a.bak")), "a");
    EXPECT_EQ(ReadAll(dst("x/b.bak")), "b");
    cmd.target = "../dst"; // relative to the source panel
    EXPECT_EQ(RunCopyCommand(panel({"a.txt"}), cmd, ui), CopyDone);
    EXPECT_EQ(ReadAll(dst("a.txt")), "a");
    EXPECT_EQ(CopyLabel(panel({"a.txt", "b.txt"}), false), "Copy 2 files, 0 directories to:");
    EXPECT_EQ(CopyLabel(panel({"a.txt"}), true), "Move/Rename " + src("a.txt") + " to:");
    EXPECT_EQ(DefaultCopyTarget(panel({"a.txt"}), "/other"), "/other/a.txt");
    EXPECT_EQ(DefaultCopyTarget(panel({"a.txt", "b.txt"}), "/other"), "/other");
}

TEST_F(CopyTest, OverwriteQuestionYesToAllAndNo) {
    WriteAll(src("a"), "new");
    WriteAll(dst("a"), "old");
    {
        CopyEngine e(ui);
        e.confirmOverwrite = false; // no question at all
        EXPECT_EQ(e.CopyOneFile(src("a"), dir.file("dst"), true), CopyDone);
        EXPECT_TRUE(ui.overwriteAsked.empty());
        EXPECT_EQ(ReadAll(dst("a")), "new");
    }
    WriteAll(dst("a"), "old");
    CopyEngine e(ui);
    ui.overwriteAnswers = {OverwriteNo};
    EXPECT_EQ(e.CopyOneFile(src("a"), dir.file("dst"), true), CopyNotDone);
    EXPECT_EQ(ReadAll(dst("a")), "old");
    ASSERT_EQ(ui.overwriteAsked.size(), 1u);
    EXPECT_FALSE(ui.overwriteAsked[0].allowYesToAll); // one entry only
    EXPECT_EQ(ui.overwriteAsked[0].sourceSize, 3u);
    ui.overwriteAnswers = {OverwriteCancel};
    EXPECT_EQ(e.CopyOneFile(src("a"), dir.file("dst"), true), CopyCancelled);
    EXPECT_TRUE(e.cancelled());
    EXPECT_EQ(ReadAll(dst("a")), "old");
}

TEST_F(CopyTest, YesToAllHoldsOnlyWithinOneDirectoryOfATree) {
    mkdir(src("t").c_str(), 0755);
    mkdir(src("t/sub").c_str(), 0755);
    for (const char* n : {"t/1", "t/2", "t/sub/3", "t/sub/4"}) {
        WriteAll(src(n), "new");
    }
    mkdir(dst("t").c_str(), 0755);
    mkdir(dst("t/sub").c_str(), 0755);
    for (const char* n : {"t/1", "t/2", "t/sub/3", "t/sub/4"})
        WriteAll(dst(n), "old");
    CopyEngine e(ui);
    ui.overwriteAnswers = {OverwriteYesToAll, OverwriteYesToAll};
    EXPECT_EQ(e.CopyTree(src("t"), dir.file("dst"), true), CopyDone);
    // Asked once in t/ and once again in t/sub/.
    ASSERT_EQ(ui.overwriteAsked.size(), 2u);
    EXPECT_TRUE(ui.overwriteAsked[0].allowYesToAll);
    for (const char* n : {"t/1", "t/2", "t/sub/3", "t/sub/4"})
        EXPECT_EQ(ReadAll(dst(n)), "new") << n;
}

TEST_F(CopyTest, NoInsideATreeStopsThatTreeOnly) {
    mkdir(src("t").c_str(), 0755);
    WriteAll(src("t/1"), "new");
    WriteAll(src("t/2"), "new");
    WriteAll(src("top"), "top");
    mkdir(dst("t").c_str(), 0755);
    WriteAll(dst("t/1"), "old");
    WriteAll(dst("t/2"), "old");
    ui.overwriteAnswers = {OverwriteNo};
    CopyCommand cmd;
    cmd.target = dir.file("dst");
    RunCopyCommand(panel({"t", "top"}), cmd, ui);
    EXPECT_EQ(ui.overwriteAsked.size(), 1u); // the tree stopped at the first No
    EXPECT_EQ(ReadAll(dst("top")), "top");   // the command went on
}

TEST_F(CopyTest, OnlyNewerComparesWholeSeconds) {
    WriteAll(src("same"), "src");
    WriteAll(dst("same"), "dst");
    setMtime(src("same"), 2000000000);
    setMtime(dst("same"), 2000000000);
    WriteAll(src("missing"), "m");
    CopyEngine e(ui);
    e.onlyNewer = true;
    EXPECT_EQ(e.CopyOneFile(src("same"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("same")), "dst");
    EXPECT_EQ(e.CopyOneFile(src("missing"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("missing")), "m");
    // A move under the same rule drops the older source, keeping the newer target.
    setMtime(src("same"), 1000000000);
    EXPECT_EQ(e.MoveOneFile(src("same"), dir.file("dst"), true), CopyDone);
    EXPECT_FALSE(exists(src("same")));
    EXPECT_EQ(ReadAll(dst("same")), "dst");
}

TEST_F(CopyTest, CopyOntoItselfFailsAndTouchesNothing) {
    WriteAll(src("self"), "keep me");
    link(src("self").c_str(), src("hard").c_str());
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyOneFile(src("self"), dir.file("src"), true), CopyNotDone);
    EXPECT_EQ(e.CopyOneFile(src("self"), src("hard"), false), CopyNotDone);
    EXPECT_EQ(ui.warnings, (std::vector<int>{4198, 4198}));
    EXPECT_EQ(ReadAll(src("self")), "keep me");
    EXPECT_TRUE(ui.overwriteAsked.empty());
}

TEST_F(CopyTest, DirectoryNeverIntoItself) {
    mkdir(src("d").c_str(), 0755);
    WriteAll(src("d/f"), "f");
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyTree(src("d"), src("d"), true), CopyNotDone);
    EXPECT_FALSE(exists(src("d/d")));
    EXPECT_EQ(e.MoveTree(src("d"), src("d/deeper"), true), CopyDone);
    EXPECT_TRUE(exists(src("d/f")));
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(CopyTest, LinksAndSpecialFilesInATree) {
    mkdir(src("t").c_str(), 0755);
    WriteAll(dir.file("outside"), "outside");
    symlink(dir.file("outside").c_str(), src("t/filelink").c_str());
    symlink(dir.path().c_str(), src("t/dirlink").c_str());
    mkfifo(src("t/fifo").c_str(), 0644);
    WriteAll(src("t/plain"), "p");
    CopyEngine e(ui);
    // The skipped FIFO makes the tree not done, but the rest is copied.
    EXPECT_EQ(e.CopyTree(src("t"), dir.file("dst"), true), CopyNotDone);
    char buf[512];
    ssize_t n = readlink(dst("t/dirlink").c_str(), buf, sizeof buf);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), dir.path()); // a link, not a copied tree
    n = readlink(dst("t/filelink").c_str(), buf, sizeof buf);
    EXPECT_GT(n, 0);
    EXPECT_FALSE(exists(dst("t/fifo")));
    EXPECT_EQ(ui.messages.size(), 1u); // the FIFO was reported, not read
    EXPECT_EQ(ReadAll(dst("t/plain")), "p");
    // At the top, a link to a file copies the file.
    symlink(dir.file("outside").c_str(), src("top").c_str());
    EXPECT_EQ(e.CopyOneFile(src("top"), dir.file("dst"), true), CopyDone);
    struct stat st;
    ASSERT_EQ(lstat(dst("top").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(CopyTest, OddNamesCopyByTheirBytes) {
    const std::vector<std::string> names = {"with space", "quote\"'s", "new\nline", "bad\xff\xfe"};
    for (const auto& n : names)
        WriteAll(src(n), n);
    CopyEngine e(ui);
    for (const auto& n : names) {
        EXPECT_EQ(e.CopyOneFile(src(n), dir.file("dst"), true), CopyDone) << n;
        EXPECT_EQ(ReadAll(dst(n)), n);
    }
}

TEST_F(CopyTest, CancelInTheMiddleLeavesNoPartialFileAndTheOldTarget) {
    std::string big(20u << 20, 'z');
    WriteAll(src("big"), big);
    WriteAll(dst("big"), "precious");
    CopyEngine e(ui);
    ui.cancelAfterPumps = 1; // lets one chunk through, then cancels
    EXPECT_EQ(e.CopyOneFile(src("big"), dir.file("dst"), true), CopyCancelled);
    EXPECT_EQ(ReadAll(dst("big")), "precious");
    // To a new name: the half-made file goes.
    ui.pumps = 0;
    EXPECT_EQ(e.CopyOneFile(src("big"), dst("new"), false), CopyCancelled);
    EXPECT_FALSE(exists(dst("new")));
    EXPECT_TRUE(noTempFiles(dir.file("dst")));
}

TEST_F(CopyTest, ADeepTreeCopiesWithFewDescriptors) {
    // 200 levels, copied by a child allowed 32 open files.
    std::string path = src("deep");
    for (int i = 0; i < 200; ++i) {
        mkdir(path.c_str(), 0755);
        WriteAll(path + "/f", std::to_string(i));
        path += "/d";
    }
    EXPECT_EQ(test::RunInChild([&](std::string&) {
                  const struct rlimit few = {32, 32};
                  setrlimit(RLIMIT_NOFILE, &few);
                  test::ScriptedUi childUi;
                  CopyEngine e(childUi);
                  return e.CopyTree(src("deep"), dir.file("dst"), true) == CopyDone &&
                         childUi.messages.empty() && childUi.warnings.empty();
              }),
              test::ChildPassed);
    std::string copied = dst("deep");
    for (int i = 0; i < 199; ++i)
        copied += "/d";
    EXPECT_EQ(ReadAll(copied + "/f"), "199");
}

TEST_F(CopyTest, WriteFailurePartWayKeepsTheExistingTarget) {
    WriteAll(src("big"), std::string(1u << 20, 'q'));
    WriteAll(dst("big"), "precious");
    EXPECT_EQ(test::RunInChild([&](std::string&) {
                  signal(SIGXFSZ, SIG_IGN);
                  struct rlimit lim = {64 * 1024, 64 * 1024};
                  setrlimit(RLIMIT_FSIZE, &lim);
                  test::ScriptedUi childUi;
                  CopyEngine e(childUi);
                  const int replaced = e.CopyOneFile(src("big"), dir.file("dst"), true);
                  const int made = e.CopyOneFile(src("big"), dst("new"), false);
                  return replaced == CopyNotDone && made == CopyNotDone &&
                         childUi.warnings == std::vector<int>{4200, 4200};
              }),
              test::ChildPassed);
    EXPECT_EQ(ReadAll(dst("big")), "precious");
    EXPECT_FALSE(exists(dst("new"))); // nor a half-made new file
    EXPECT_TRUE(noTempFiles(dir.file("dst")));
}

TEST_F(CopyTest, PermissionDeniedAsAnUnprivilegedUserNamesTheFile) {
    WriteAll(src("secret"), "s");
    chmod(src("secret").c_str(), 0600);
    mkdir(dst("locked").c_str(), 0555);
    WriteAll(src("open"), "o");
    chmod(src("open").c_str(), 0644);
    mkdir(src("t").c_str(), 0755);
    WriteAll(src("t/unreadable"), "u");
    chmod(src("t/unreadable").c_str(), 0600);
    chmod(dir.path().c_str(), 0755);
    chmod(dir.file("dst").c_str(), 0777);
    std::string out;
    const int r = test::RunAsNobody(
        [&](std::string& details) {
            test::ScriptedUi childUi;
            CopyEngine e(childUi);
            const int a = e.CopyOneFile(src("secret"), dir.file("dst"), true);
            const int b = e.CopyOneFile(src("open"), dst("locked"), true);
            const int c = e.CopyTree(src("t"), dir.file("dst"), true);
            for (const auto& d : childUi.warningDetails)
                details += d + '\0';
            return a == CopyNotDone && b == CopyNotDone && c == CopyNotDone &&
                   childUi.warnings == std::vector<int>{4197, 4198, 4197};
        },
        &out);
    if (r == test::NobodyUnavailable)
        GTEST_SKIP() << "cannot drop privileges here";
    if (geteuid() != 0)
        GTEST_SKIP() << "the owner can read its own files";
    EXPECT_EQ(r, test::ChildPassed);
    // Each warning says which file, and why, whatever the progress window shows.
    const std::string denied = "\n" + ErrorText(EACCES) + '\0';
    EXPECT_EQ(out,
              src("secret") + denied + dst("locked/open") + denied + src("t/unreadable") + denied);
    EXPECT_FALSE(exists(dst("secret")));
    EXPECT_FALSE(exists(dst("t/unreadable")));
}

TEST_F(CopyTest, MoveRenamesWithinAFileSystemAndTreesMoveWhole) {
    WriteAll(src("m"), "m");
    mkdir(src("tree").c_str(), 0755);
    WriteAll(src("tree/x"), "x");
    struct stat before;
    stat(src("m").c_str(), &before);
    CopyEngine e(ui);
    EXPECT_EQ(e.MoveOneFile(src("m"), dir.file("dst"), true), CopyDone);
    struct stat after;
    ASSERT_EQ(stat(dst("m").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // renamed, not copied
    EXPECT_FALSE(exists(src("m")));
    EXPECT_EQ(e.MoveTree(src("tree"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("tree/x")), "x");
    EXPECT_FALSE(exists(src("tree")));
}

TEST_F(CopyTest, RenameInPlaceAndRelativeMove) {
    WriteAll(src("old.txt"), "o");
    EXPECT_FALSE(IsMoveTarget("new.txt"));
    EXPECT_TRUE(IsMoveTarget("../new.txt"));
    EXPECT_TRUE(RunRenameInPlace(panel({"old.txt"}), "new.txt", ui));
    EXPECT_EQ(ReadAll(src("new.txt")), "o");
    CopyCommand cmd;
    cmd.move = true;
    cmd.target = "../new.txt";
    EXPECT_EQ(RunCopyCommand(panel({"new.txt"}), cmd, ui), CopyDone);
    EXPECT_EQ(ReadAll(dir.file("new.txt")), "o");
    EXPECT_FALSE(exists(src("new.txt")));
    // Renaming onto an existing name refuses instead of replacing it.
    WriteAll(src("p"), "p");
    WriteAll(src("q"), "q");
    RunRenameInPlace(panel({"p"}), "q", ui);
    EXPECT_EQ(ReadAll(src("q")), "q");
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(CopyTest, DropCopyRecreatesDirectoriesThatHoldFiles) {
    mkdir(src("d").c_str(), 0755);
    mkdir(src("d/empty").c_str(), 0755);
    mkdir(src("d/full").c_str(), 0755);
    WriteAll(src("d/full/f"), "f");
    WriteAll(src("top"), "t");
    RunDropCopy({src("d/full/f"), src("top")}, dir.file("src"), dir.file("dst"), true, ui);
    EXPECT_EQ(ReadAll(dst("d/full/f")), "f");
    EXPECT_EQ(ReadAll(dst("top")), "t");
    EXPECT_FALSE(exists(dst("d/empty")));
}

TEST_F(CopyTest, ExistingTargetsOfEveryKind) {
    WriteAll(src("f"), "new");
    setMtime(src("f"), 2000000000);
    // A read-only file: asked about, and still not replaced after Yes.
    WriteAll(dst("f"), "protected");
    chmod(dst("f").c_str(), 0444);
    CopyEngine e(ui);
    EXPECT_EQ(e.CopyOneFile(src("f"), dir.file("dst"), true), CopyNotDone);
    EXPECT_EQ(ui.overwriteAsked.size(), 1u);
    EXPECT_EQ(ui.warnings, std::vector<int>{4198});
    EXPECT_EQ(ReadAll(dst("f")), "protected");
    EXPECT_EQ(e.MoveOneFile(src("f"), dir.file("dst"), true), CopyNotDone);
    EXPECT_EQ(ReadAll(src("f")), "new");
    EXPECT_EQ(ReadAll(dst("f")), "protected");
    unlink(dst("f").c_str());

    // A dangling link and a link to a file: the link is replaced, never written through.
    symlink(dir.file("nowhere").c_str(), dst("f").c_str());
    EXPECT_EQ(e.CopyOneFile(src("f"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("f")), "new");
    EXPECT_FALSE(exists(dir.file("nowhere")));
    unlink(dst("f").c_str());
    WriteAll(dir.file("linked"), "linked");
    symlink(dir.file("linked").c_str(), dst("f").c_str());
    EXPECT_EQ(e.CopyOneFile(src("f"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("f")), "new");
    EXPECT_EQ(ReadAll(dir.file("linked")), "linked");
    EXPECT_EQ(ui.overwriteAsked.size(), 4u);
    unlink(dst("f").c_str());

    // A directory and a FIFO are never replaced by a file (and the FIFO is not opened).
    mkdir(dst("f").c_str(), 0755);
    EXPECT_EQ(e.CopyOneFile(src("f"), dir.file("dst"), true), CopyNotDone);
    rmdir(dst("f").c_str());
    mkfifo(dst("f").c_str(), 0644);
    EXPECT_EQ(e.CopyOneFile(src("f"), dir.file("dst"), true), CopyNotDone);
    EXPECT_EQ(e.MoveOneFile(src("f"), dir.file("dst"), true), CopyNotDone);
    struct stat st;
    ASSERT_EQ(lstat(dst("f").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(ReadAll(src("f")), "new");
    EXPECT_EQ(ui.warnings, (std::vector<int>{4198, 4198, 4198, 4198, 4198}));
    EXPECT_TRUE(noTempFiles(dir.file("dst")));
}

TEST_F(CopyTest, LinksInATreeObeyTheExistingTargetRules) {
    mkdir(src("t").c_str(), 0755);
    symlink("somewhere", src("t/l").c_str());
    mkdir(dst("t").c_str(), 0755);
    WriteAll(dst("t/l"), "precious");
    CopyEngine e(ui);
    ui.overwriteAnswers = {OverwriteNo};
    EXPECT_EQ(e.CopyTree(src("t"), dir.file("dst"), true), CopyNotDone);
    EXPECT_EQ(ui.overwriteAsked.size(), 1u);
    EXPECT_EQ(ReadAll(dst("t/l")), "precious");
    // Only newer: the link (made now) is older than a target file from the future.
    setMtime(dst("t/l"), 4000000000);
    e.onlyNewer = true;
    EXPECT_EQ(e.CopyTree(src("t"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("t/l")), "precious");
    // Answered Yes, the file becomes the link.
    e.onlyNewer = false;
    EXPECT_EQ(e.CopyTree(src("t"), dir.file("dst"), true), CopyDone);
    char buf[64];
    const ssize_t n = readlink(dst("t/l").c_str(), buf, sizeof buf);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max<ssize_t>(n, 0))), "somewhere");
    EXPECT_TRUE(noTempFiles(dst("t")));
}

TEST_F(CopyTest, MoveWithOnlyNewerDropsTheSourceOnlyBehindANewerFile) {
    CopyEngine e(ui);
    e.onlyNewer = true;
    e.confirmOverwrite = false;
    // A dangling link whose own time is newer says nothing about the data.
    WriteAll(src("a"), "a");
    setMtime(src("a"), 1000000000);
    symlink(dir.file("nowhere").c_str(), dst("a").c_str());
    EXPECT_EQ(e.MoveOneFile(src("a"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("a")), "a");
    EXPECT_FALSE(exists(src("a")));
    // A link to an older file: copied over.
    WriteAll(src("b"), "b");
    WriteAll(dir.file("old"), "old");
    setMtime(dir.file("old"), 900000000);
    symlink(dir.file("old").c_str(), dst("b").c_str());
    EXPECT_EQ(e.MoveOneFile(src("b"), dir.file("dst"), true), CopyDone);
    EXPECT_EQ(ReadAll(dst("b")), "b");
    // A newer real file behind a link: the source goes without a copy.
    WriteAll(src("c"), "c");
    setMtime(src("c"), 1000000000);
    WriteAll(dir.file("newer"), "newer");
    symlink(dir.file("newer").c_str(), dst("c").c_str());
    EXPECT_EQ(e.MoveOneFile(src("c"), dir.file("dst"), true), CopyDone);
    EXPECT_FALSE(exists(src("c")));
    EXPECT_EQ(ReadAll(dst("c")), "newer");
}

TEST_F(CopyTest, RenameInPlaceAppliesAWildcardToEachEntry) {
    WriteAll(src("a.txt"), "a");
    WriteAll(src("b.txt"), "b");
    EXPECT_TRUE(RunRenameInPlace(panel({"a.txt", "b.txt"}), "*.bak", ui));
    EXPECT_EQ(ReadAll(src("a.bak")), "a");
    EXPECT_EQ(ReadAll(src("b.bak")), "b");
    EXPECT_FALSE(exists(src("*.bak")));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CopyTest, OddNamesThroughMoveAndRename) {
    const std::vector<std::string> names = {"-rf", "with space", "quote\"'s", "new\nline",
                                            "bad\xff\xfe"};
    CopyEngine e(ui);
    for (const auto& n : names) {
        WriteAll(src(n), n);
        EXPECT_EQ(e.MoveOneFile(src(n), dir.file("dst"), true), CopyDone) << n;
        EXPECT_EQ(ReadAll(dst(n)), n);
        EXPECT_FALSE(exists(src(n)));
        WriteAll(src(n), n);
        EXPECT_TRUE(RunRenameInPlace(panel({n.c_str()}), n + "\xe9", ui));
        EXPECT_EQ(ReadAll(src(n + "\xe9")), n);
    }
    EXPECT_TRUE(ui.messages.empty());
}
