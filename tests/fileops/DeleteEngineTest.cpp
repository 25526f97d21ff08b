#include "fileops/DeleteEngine.h"

#include "fileops/FileCommands.h"
#include "fileops/ScriptedUi.h"
#include "platform/Trash.h"
#include "support/ScratchFileSystem.h"
#include "support/TempDir.h"

#include <cstdlib>
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

bool exists(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0;
}

class DeleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        mkdir(dir.file("p").c_str(), 0755);
        // The home trash lives in the temporary directory for these tests.
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    }
    std::string p(const std::string& n) const { return dir.file("p/" + n); }
    // What a command given on a panel with `selected` selected acts on.
    PanelSelection panel(std::initializer_list<const char*> selected) { return listing(selected).Chosen(); }
    PanelListing listing(std::initializer_list<const char*> selected) {
        PanelListing l;
        l.path = dir.file("p");
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

TEST_F(DeleteTest, QuestionsCountItemsAndAskForNonEmptyDirectories) {
    for (const char* n : {"a", "b", "c"})
        WriteAll(p(n), "x");
    mkdir(p("empty").c_str(), 0755);
    mkdir(p("full").c_str(), 0755);
    WriteAll(p("full/x"), "x");
    EXPECT_EQ(DeleteQuestion(panel({"a", "b", "c", "empty", "full"})),
              "You are about to delete 5 items. Are you sure?");
    EXPECT_EQ(DeleteQuestion(panel({"a"})), "You are about to delete " + p("a") + ". Are you sure?");

    DeleteCommand cmd;
    cmd.confirmFiles = false;
    cmd.confirmDirs = true;
    ui.yesNoAnswers = {false}; // keep the non-empty one
    EXPECT_TRUE(RunDeleteCommand(panel({"empty", "full"}), cmd, ui));
    EXPECT_EQ(ui.questions, std::vector<std::string>{"You are about to delete non empty directory " + p("full") +
                                                     ". Are you sure?"});
    EXPECT_FALSE(exists(p("empty")));
    EXPECT_TRUE(exists(p("full/x")));
}

TEST_F(DeleteTest, NoAnswerDeletesNothingAndParentAloneIsRefused) {
    WriteAll(p("a"), "x");
    DeleteCommand cmd;
    ui.yesNoAnswers = {false};
    EXPECT_FALSE(RunDeleteCommand(panel({"a"}), cmd, ui));
    EXPECT_TRUE(exists(p("a")));
    PanelListing l = listing({});
    l.SetCursor(0); // the parent entry
    EXPECT_FALSE(RunDeleteCommand(l.Chosen(), cmd, ui));
    EXPECT_EQ(ui.warnings, std::vector<int>{4187});
}

TEST_F(DeleteTest, PermanentTreeWithReadOnlyFilesAndLinksAsLinks) {
    mkdir(p("t").c_str(), 0755);
    mkdir(p("t/s").c_str(), 0755);
    WriteAll(p("t/s/ro"), "x");
    chmod(p("t/s/ro").c_str(), 0444);
    mkdir(dir.file("keep").c_str(), 0755);
    WriteAll(dir.file("keep/f"), "keep");
    symlink(dir.file("keep").c_str(), p("t/link").c_str());
    DeleteEngine e(ui, false, true);
    EXPECT_EQ(e.DeleteTree(p("t")), 0);
    EXPECT_FALSE(exists(p("t")));
    EXPECT_EQ(ReadAll(dir.file("keep/f")), "keep"); // the link's target is untouched
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DeleteTest, ADeepTreeNeedsOneDescriptorAtATime) {
    // 200 levels, each with a file, deleted by a child allowed 32 open files.
    std::string path = p("deep");
    for (int i = 0; i < 200; ++i) {
        mkdir(path.c_str(), 0755);
        WriteAll(path + "/f", "x");
        path += "/d";
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const struct rlimit few = {32, 32};
        setrlimit(RLIMIT_NOFILE, &few);
        test::ScriptedUi childUi;
        DeleteEngine e(childUi, false, true);
        _exit(e.DeleteTree(p("deep")) == 0 && childUi.messages.empty() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(exists(p("deep")));
}

TEST_F(DeleteTest, TrashKeepsFilesWithTheirOriginalPaths) {
    WriteAll(p("file one"), "1");
    mkdir(p("t").c_str(), 0755);
    WriteAll(p("t/inner"), "2");
    WriteAll(p("t/inner2"), "3");
    DeleteCommand cmd;
    cmd.recycle = true;
    cmd.confirmFiles = false;
    cmd.confirmDirs = false;
    EXPECT_TRUE(RunDeleteCommand(panel({"file one", "t"}), cmd, ui));
    EXPECT_FALSE(exists(p("file one")));
    EXPECT_FALSE(exists(p("t")));
    const std::string trash = dir.file("data/Trash");
    EXPECT_EQ(TrashDirectoryFor(p("x")), trash);
    EXPECT_EQ(ReadAll(trash + "/files/file one"), "1");
    // The directory went whole, with one trashinfo, so it is restored as a folder.
    EXPECT_EQ(ReadAll(trash + "/files/t/inner"), "2");
    EXPECT_EQ(ReadAll(trash + "/files/t/inner2"), "3");
    EXPECT_NE(ReadAll(trash + "/info/t.trashinfo").find("Path=" + EscapeTrashPath(p("t")) + "\n"),
              std::string::npos);
    EXPECT_FALSE(exists(trash + "/info/inner.trashinfo"));
    const std::string info = ReadAll(trash + "/info/file one.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u);
    EXPECT_NE(info.find("Path=" + EscapeTrashPath(p("file one")) + "\n"), std::string::npos);
    EXPECT_NE(info.find("%20one"), std::string::npos);
    EXPECT_NE(info.find("DeletionDate=20"), std::string::npos);
    // The same name again gets a name of its own.
    WriteAll(p("file one"), "again");
    DeleteEngine e(ui, true, false);
    EXPECT_TRUE(e.DeleteFile(p("file one")));
    EXPECT_EQ(ReadAll(trash + "/files/file one.2"), "again");
    EXPECT_TRUE(exists(trash + "/info/file one.2.trashinfo"));
}

TEST_F(DeleteTest, CancelDuringATreeStopsAndReports) {
    mkdir(p("t").c_str(), 0755);
    for (int i = 0; i < 3; ++i) {
        mkdir(p("t/d" + std::to_string(i)).c_str(), 0755);
        WriteAll(p("t/d" + std::to_string(i) + "/f"), "x");
    }
    ui.cancelAfterPumps = 0;
    DeleteEngine e(ui, false, false);
    EXPECT_EQ(e.DeleteTree(p("t")), 1);
    EXPECT_TRUE(exists(p("t")));
    EXPECT_EQ(ui.messages.size(), 1u); // the directory left non-empty
}

TEST_F(DeleteTest, FailedEntriesAreReportedAndTheLoopGoesOn) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may delete anything";
    mkdir(p("locked").c_str(), 0755);
    WriteAll(p("locked/f"), "x");
    chmod(p("locked").c_str(), 0555);
    WriteAll(p("z"), "z");
    DeleteCommand cmd;
    cmd.confirmFiles = false;
    cmd.confirmDirs = false;
    RunDeleteCommand(panel({"locked", "z"}), cmd, ui);
    EXPECT_FALSE(exists(p("z")));
    EXPECT_TRUE(exists(p("locked/f")));
    chmod(p("locked").c_str(), 0755);
}

namespace {

// What a trash's "Restore" does: the percent-decoded Path of the trashinfo.
std::string restoredPath(const std::string& info) {
    const size_t at = info.find("Path=");
    std::string out;
    for (size_t i = at + 5; i < info.size() && info[i] != '\n'; ++i) {
        if (info[i] == '%' && i + 2 < info.size()) {
            out += static_cast<char>(std::stoi(info.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += info[i];
        }
    }
    return out;
}

} // namespace

TEST_F(DeleteTest, OddNamesGoToTheTrashRestorably) {
    const std::vector<std::string> names = {"-rf", "with space", "100% \"q\"", "new\nline", "bad\xff\xfe"};
    DeleteEngine e(ui, true, false);
    for (const auto& n : names) {
        mkdir(p(n).c_str(), 0755);
        WriteAll(p(n + "/inside"), n);
        EXPECT_EQ(e.DeleteTree(p(n)), 0) << n;
        const std::string trash = dir.file("data/Trash");
        EXPECT_EQ(restoredPath(ReadAll(trash + "/info/" + n + ".trashinfo")), p(n));
        EXPECT_EQ(ReadAll(trash + "/files/" + n + "/inside"), n);
        EXPECT_FALSE(exists(p(n)));
    }
    EXPECT_TRUE(ui.messages.empty());

    // The desktop's own trash (GIO) writes the very same Path line for these names.
    if (access("/usr/bin/gio", X_OK) != 0)
        GTEST_SKIP() << "gio is not installed";
    const std::string info = dir.file("data/Trash/info");
    for (const auto& n : names) {
        WriteAll(p(n), "again");
        const pid_t pid = fork();
        if (pid == 0) {
            execl("/usr/bin/gio", "gio", "trash", "--", p(n).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << n;
        std::vector<std::string> lines;
        for (const auto& entry : std::filesystem::directory_iterator(info)) {
            const std::string text = ReadAll(entry.path().string());
            const size_t at = text.find("Path=");
            if (restoredPath(text) == p(n))
                lines.push_back(text.substr(at, text.find('\n', at) - at));
        }
        ASSERT_EQ(lines.size(), 2u) << n;
        EXPECT_EQ(lines[0], lines[1]) << n;
    }
}

TEST_F(DeleteTest, ADirectoryOnAnotherVolumeGoesToThatVolumesTrashWhole) {
    test::ScratchFileSystem other("4m");
    if (!other.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    mkdir(other.file("d").c_str(), 0755);
    WriteAll(other.file("d/f"), "f");
    DeleteEngine e(ui, true, false);
    EXPECT_EQ(e.DeleteTree(other.file("d")), 0);
    const std::string trash = other.file(".Trash-" + std::to_string(getuid()));
    EXPECT_EQ(ReadAll(trash + "/files/d/f"), "f");
    EXPECT_NE(ReadAll(trash + "/info/d.trashinfo").find("Path=d\n"), std::string::npos);
    EXPECT_FALSE(exists(other.file("d")));
}
