// Console programs run in a terminal emulator; windowed ones start as they are.
#include "fileops/open_execute/TerminalLauncher.h"
#include "fileops/open_execute/CommandLine.h"
#include "fileops/open_execute/OpenExecute.h"

#include "ScriptedOpenUi.h"
#include "XdgFixture.h"

using namespace km;
using namespace km::test;

namespace {

class TerminalLauncherTest : public XdgFixture {
protected:
    void SetUp() override {
        XdgFixture::SetUp();
        oldPath_ = std::getenv("PATH");
        setenv("PATH", (dir.file("bin dir") + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        XdgFixture::TearDown();
    }
    ScriptedOpenUi ui;
    std::string oldPath_;
};

TEST_F(TerminalLauncherTest, ProgramsWithAWindowOfTheirOwnAreTheOnesNotConsolePrograms) {
    WriteExecutable(dir.file("bin dir/paint"), "#!/bin/sh\n");
    WriteExecutable(dir.file("bin dir/tool"), "#!/bin/sh\n");
    WriteExecutable(dir.file("bin dir/editor"), "#!/bin/sh\n");
    symlink(dir.file("bin dir/paint").c_str(), dir.file("bin dir/x-painter").c_str());
    writeEntry("data/applications", "paint.desktop", "paint %f", "image/png;", "Terminal=false\n");
    writeEntry("data/applications", "editor.desktop", "editor %f", "text/plain;",
               "Terminal=true\n");
    const MimeApps apps(XdgDirs::FromEnvironment());
    EXPECT_FALSE(IsConsoleProgram(dir.file("bin dir/paint"), apps));
    EXPECT_FALSE(IsConsoleProgram(dir.file("bin dir/x-painter"), apps))
        << "a link is known by its target";
    EXPECT_TRUE(IsConsoleProgram(dir.file("bin dir/tool"), apps)) << "no desktop entry";
    EXPECT_TRUE(IsConsoleProgram(dir.file("bin dir/editor"), apps)) << "Terminal=true";
    EXPECT_FALSE(IsConsoleProgram("/usr/bin/xterm", apps));
    EXPECT_FALSE(IsConsoleProgram("/usr/bin/x-terminal-emulator", apps));
}

TEST_F(TerminalLauncherTest, TheTerminalIsChosenInTheDocumentedOrder) {
    const std::string bin = dir.file("only");
    MakeDirs(bin);
    const char* oldTerminal = std::getenv("TERMINAL");
    const std::string savedTerminal = oldTerminal ? oldTerminal : "";
    setenv("PATH", bin.c_str(), 1);
    unsetenv("TERMINAL");
    const std::vector<std::string> cmd = {"top", "-d", "1"};
    EXPECT_TRUE(TerminalCommand(cmd).empty()) << "no terminal at all";

    WriteExecutable(bin + "/xterm", "#!/bin/sh\n");
    WriteExecutable(bin + "/konsole", "#!/bin/sh\n");
    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    std::vector<std::string> t = TerminalCommand(cmd);
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], bin + "/konsole") << "the desktop's own before a generic one";
    EXPECT_EQ(t[1], "-e");
    unsetenv("XDG_CURRENT_DESKTOP");
    EXPECT_EQ(TerminalCommand(cmd)[0], bin + "/konsole") << "any known one";

    WriteExecutable(bin + "/myterm", "#!/bin/sh\n");
    setenv("TERMINAL", "myterm --hold", 1);
    t = TerminalCommand(cmd);
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0], bin + "/myterm");
    EXPECT_EQ(t[1], "--hold");
    EXPECT_EQ(t[2], "-e");

    WriteExecutable(bin + "/x-terminal-emulator", "#!/bin/sh\n");
    t = TerminalCommand(cmd);
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[0], bin + "/x-terminal-emulator") << "Debian's alternative first";
    EXPECT_EQ(t[1], "-e");
    // The command follows as separate arguments at the end.
    ASSERT_GE(t.size(), cmd.size());
    EXPECT_EQ(std::vector<std::string>(t.end() - 3, t.end()), cmd);

    if (oldTerminal)
        setenv("TERMINAL", savedTerminal.c_str(), 1);
    else
        unsetenv("TERMINAL");
}

TEST_F(TerminalLauncherTest, AShortRunWaitsForEnterAndTheCommandIsNeverShellText) {
    // The held command as the terminal would run it, without the terminal.
    std::vector<std::string> t = TerminalCommand({"printf", "%s", "$(touch pwned); `id`"});
    ASSERT_GE(t.size(), 2u);
    t.erase(t.begin(), t.begin() + 2); // the stand-in and "-e"
    std::vector<std::string> argv = {"/bin/sh", "-c", "printf 'x\\n' | \"$@\"", "wrap"};
    argv.insert(argv.end(), t.begin(), t.end());
    const RunResult r = RunAndWait(argv, dir.file("work"));
    EXPECT_EQ(r.exitStatus, 0) << r.output;
    EXPECT_EQ(r.output.find("$(touch pwned); `id`"), 0u) << r.output;
    EXPECT_NE(r.output.find("Press Enter to close"), std::string::npos) << r.output;
    struct stat st;
    EXPECT_NE(stat(dir.file("work/pwned").c_str(), &st), 0)
        << "the command reached a shell as text";
}

TEST_F(TerminalLauncherTest, PromptRunsAConsoleProgramInTheTerminalInTheWorkingDirectory) {
    const std::string out = dir.file("out");
    WriteExecutable(dir.file("bin dir/rec"), ReadAll(recorder));
    ASSERT_EQ(RunCommandLine("rec " + out + " a", dir.file("work"), ui), 0);
    const Recorded r = waitForRecord(out);
    EXPECT_EQ(r.cwd, real(dir.file("work")));
    EXPECT_EQ(r.args, std::vector<std::string>{"a"});
    ASSERT_TRUE(terminal.started());
    const std::vector<std::string> t = terminal.args();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0], "-e");
    EXPECT_EQ(std::vector<std::string>(t.end() - 3, t.end()),
              (std::vector<std::string>{dir.file("bin dir/rec"), out, "a"}));

    // A program with a window starts directly.
    writeEntry("data/applications", "rec.desktop", "rec %f", "", "Terminal=false\n");
    unlink(terminal.log().c_str());
    unlink(out.c_str());
    ASSERT_EQ(RunCommandLine("rec " + out + " b", dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(out).args, std::vector<std::string>{"b"});
    EXPECT_FALSE(terminal.started());
}

TEST_F(TerminalLauncherTest, WhatCannotStartNamesTheProgramAndTheReason) {
    EXPECT_EQ(RunCommandLine("no-such-program-km --x", dir.file("work"), ui), 4171);
    ASSERT_EQ(ui.details.size(), 1u);
    EXPECT_EQ(ui.details[0], "no-such-program-km: No such file or directory");

    WriteExecutable(dir.file("bin dir/rec"), ReadAll(recorder));
    setenv("PATH", dir.file("bin dir").c_str(), 1); // no terminal anywhere
    EXPECT_EQ(RunCommandLine("rec x", dir.file("work"), ui), 4171);
    ASSERT_EQ(ui.details.size(), 2u);
    EXPECT_EQ(ui.details[1].find("rec: it needs a terminal"), 0u) << ui.details[1];

    // A MIME type names its application; with none installed that is the reason.
    EXPECT_EQ(RunCommandLine("text/x-kmtest", dir.file("work"), ui), 4171);
    ASSERT_EQ(ui.details.size(), 3u);
    EXPECT_EQ(ui.details[2], "text/x-kmtest: no application is installed for it");
}

TEST_F(TerminalLauncherTest, AMimeTypeStartsItsApplicationWithTheFileOrANewDocument) {
    const std::string out = dir.file("out");
    writeEntry("data/applications", "viewer.desktop", recorderExec(out), "text/plain;",
               "Terminal=false\n");
    writeMimeApps("[Default Applications]\ntext/plain=viewer.desktop\n");
    ASSERT_EQ(StartProgram("text/plain", {"notes.txt"}, dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(out).args, std::vector<std::string>{dir.file("work/notes.txt")});
    unlink(out.c_str());
    // Its subtypes' editor too, and with no file the editor starts empty.
    ASSERT_EQ(StartProgram("text/x-kmtest", {}, dir.file("work"), ui), 0);
    EXPECT_TRUE(waitForRecord(out).args.empty());
    EXPECT_TRUE(ui.warnings.empty());
}

} // namespace
