#include "fileops/open_execute/AppButtonRunner.h"
#include "fileops/open_execute/CommandHistory.h"
#include "fileops/open_execute/CommandLine.h"
#include "settings/SettingsStore.h"

#include "ScriptedOpenUi.h"
#include "XdgFixture.h"

#include <cstdlib>

using namespace km;
using namespace km::test;

namespace {

PlaceholderSources Sources() {
    PlaceholderSources s;
    s.active = {"/data/docs/Read Me.txt", "/data/docs", "/data"};
    s.other = {"/home/ann/archive.tar.gz", "/home/ann", "/"};
    return s;
}

TEST(Placeholders, EachExpandsFromItsPanelAtItsFirstOccurrenceOnly) {
    const PlaceholderSources s = Sources();
    EXPECT_EQ(ExpandPlaceholders("&as|&ap|&ad|&an|&ae", s), "/data/docs/Read Me.txt|/data/docs|/data|Read Me|txt");
    EXPECT_EQ(ExpandPlaceholders("&bs|&bp|&bd|&bn|&be", s), "/home/ann/archive.tar.gz|/home/ann|/|archive|tar.gz");
    EXPECT_EQ(ExpandPlaceholders("&as &as &bp&bp", s), "/data/docs/Read Me.txt &as /home/ann&bp");
    // Upper case is not a placeholder; the text around stays as written.
    EXPECT_EQ(ExpandPlaceholders("&AS x&ay &a", s), "&AS x&ay &a");
    // A name that holds a placeholder is not expanded a second time.
    PlaceholderSources tricky = s;
    tricky.active.file = "/tmp/&bs.txt";
    EXPECT_EQ(ExpandPlaceholders("&as &bs", tricky), "/tmp/&bs.txt /home/ann/archive.tar.gz");
    // No file selected: name, extension and path are empty; a name without a dot has no extension.
    PlaceholderSources none = s;
    none.active.file.clear();
    none.other.file = "/home/ann/Makefile";
    EXPECT_EQ(ExpandPlaceholders("[&as][&an][&ae][&bn][&be]", none), "[][][][Makefile][]");
}

TEST(Placeholders, ParametersStayWholeArgumentsAndEmptyOnesVanish) {
    const PlaceholderSources s = Sources();
    EXPECT_EQ(ExpandParameters("-o \"&bp/out dir\" &as --name=&an", s),
              (std::vector<std::string>{"-o", "/home/ann/out dir", "/data/docs/Read Me.txt", "--name=Read Me"}));
    PlaceholderSources none = s;
    none.active.file.clear();
    EXPECT_TRUE(ExpandParameters("&as", none).empty());
    EXPECT_EQ(ExpandParameters("&as \"\" x&ae", none), (std::vector<std::string>{"", "x"}));
    // Shell syntax in a name reaches the program as text.
    PlaceholderSources odd = s;
    odd.active.file = "/tmp/$(id); `x` | y";
    EXPECT_EQ(ExpandParameters("&as", odd), std::vector<std::string>{"/tmp/$(id); `x` | y"});
}

class AppButtonTest : public XdgFixture {
protected:
    void SetUp() override {
        XdgFixture::SetUp();
        const char* old = std::getenv("PATH");
        oldPath_ = old ? old : "";
        setenv("PATH", (dir.file("bin dir") + ":" + oldPath_).c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", oldPath_.c_str(), 1);
        XdgFixture::TearDown();
    }
    PlaceholderSources sources() const {
        PlaceholderSources s;
        s.active = {dir.file("files/a b.txt"), dir.file("files"), "/"};
        s.other = {"", dir.file("work"), "/"};
        return s;
    }
    ScriptedOpenUi ui;
    SettingsStore store{dir.file("KM.reg")};
    std::string oldPath_;
};

TEST_F(AppButtonTest, ProgramStartsWithExpandedParametersInTheExpandedDirectory) {
    const std::string out = dir.file("out");
    AppButtonDefinition d;
    d.name = "Rec";
    d.program = "rec 'ord'.sh"; // found in $PATH
    d.parameters = "\"" + out + "\" &as &bs &an";
    d.workingDir = "&bp";
    const AppButtonOutcome o = RunAppButton(d, sources(), ui);
    EXPECT_EQ(o.warning, 0);
    EXPECT_TRUE(o.changeDirectory.empty());
    const Recorded r = waitForRecord(out);
    EXPECT_EQ(r.cwd, real(dir.file("work")));
    EXPECT_EQ(r.args, (std::vector<std::string>{dir.file("files/a b.txt"), "a b"}));

    // Without a working directory the program runs in the active panel's.
    unlink(out.c_str());
    d.workingDir.clear();
    EXPECT_EQ(RunAppButton(d, sources(), ui).warning, 0);
    EXPECT_EQ(waitForRecord(out).cwd, real(dir.file("files")));
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(AppButtonTest, TitleAndDirectoryOnlyChangesTheActivePanelAndStartsNothing) {
    AppButtonDefinition d;
    d.name = "Work";
    d.workingDir = "../work";
    const AppButtonOutcome o = RunAppButton(d, sources(), ui);
    EXPECT_EQ(o.warning, 0);
    EXPECT_EQ(o.changeDirectory, dir.file("work"));
    d.workingDir = "&bp";
    EXPECT_EQ(RunAppButton(d, sources(), ui).changeDirectory, dir.file("work"));
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(AppButtonTest, WhatCannotStartSaysSoAndADocumentOpensInItsApplication) {
    AppButtonDefinition d;
    d.name = "Nothing";
    EXPECT_EQ(RunAppButton(d, sources(), ui).warning, 4171); // neither program nor directory
    d.program = "no-such-program-km";
    EXPECT_EQ(RunAppButton(d, sources(), ui).warning, 4171);
    d.program = recorder;
    d.workingDir = dir.file("not there");
    EXPECT_EQ(RunAppButton(d, sources(), ui).warning, 4171); // cannot enter the working directory
    EXPECT_EQ(ui.warnings, (std::vector<int>{4171, 4171, 4171}));

    writeEntry("data/applications", "viewer.desktop", recorderExec(dir.file("out")), "text/x-kmtest;");
    writeMimeApps("[Default Applications]\ntext/x-kmtest=viewer.desktop\n");
    WriteAll(dir.file("files/notes.kmt"), "text\n");
    d.program = "notes.kmt"; // relative to the working directory, here the active panel's
    d.workingDir.clear();
    d.parameters = "ignored";
    EXPECT_EQ(RunAppButton(d, sources(), ui).warning, 0);
    EXPECT_EQ(waitForRecord(dir.file("out")).args, std::vector<std::string>{dir.file("files/notes.kmt")});
}

TEST_F(AppButtonTest, DefinitionsRoundTripAndFirstRunWritesExamplesOnlyOnce) {
    ASSERT_TRUE(WriteFirstRunButtons(store));
    EXPECT_EQ(ReadAppButton(store, 1).name, "Notepad");
    EXPECT_EQ(ReadAppButton(store, 1).parameters, "&as");
    EXPECT_EQ(ReadAppButton(store, 2).name, "Solitaire");
    EXPECT_EQ(ReadAppButton(store, 3).workingDir, "&ap");
    EXPECT_EQ(ReadAppButton(store, 4).name, "");

    AppButtonDefinition d{"", "", "", "", 0};
    for (int n = 1; n <= 3; ++n)
        WriteAppButton(store, n, d);
    d = {"Last", "prog", "&as", "/tmp", 2};
    WriteAppButton(store, 20, d);
    EXPECT_FALSE(WriteFirstRunButtons(store)) << "one caption is enough to keep the examples out";
    SettingsStore reread(dir.file("KM.reg"));
    const AppButtonDefinition back = ReadAppButton(reread, 20);
    EXPECT_EQ(back.name, "Last");
    EXPECT_EQ(back.program, "prog");
    EXPECT_EQ(back.parameters, "&as");
    EXPECT_EQ(back.workingDir, "/tmp");
    EXPECT_EQ(back.window, 2);
    EXPECT_EQ(ReadAppButton(reread, 1).name, "");

    // The old first example is brought up to date; a button the user changed is not.
    WriteAppButton(store, 1, {"Notepad", "xdg-open", "&as", "", 0});
    WriteAppButton(store, 2, {"Notepad", "xdg-open", "&as &bs", "", 0});
    EXPECT_FALSE(WriteFirstRunButtons(store));
    EXPECT_EQ(ReadAppButton(store, 1).program, "text/plain");
    EXPECT_EQ(ReadAppButton(store, 2).program, "xdg-open");
}

TEST_F(AppButtonTest, NotepadOpensTheTextEditorWithTheFileOrEmpty) {
    const std::string out = dir.file("out");
    writeEntry("data/applications", "editor.desktop", recorderExec(out), "text/plain;", "Terminal=false\n");
    writeMimeApps("[Default Applications]\ntext/plain=editor.desktop\n");
    ASSERT_TRUE(WriteFirstRunButtons(store));
    const AppButtonDefinition notepad = ReadAppButton(store, 1);
    PlaceholderSources s = sources();
    EXPECT_EQ(RunAppButton(notepad, s, ui).warning, 0);
    EXPECT_EQ(waitForRecord(out).args, std::vector<std::string>{dir.file("files/a b.txt")});
    unlink(out.c_str());
    s.active.file.clear();
    EXPECT_EQ(RunAppButton(notepad, s, ui).warning, 0);
    EXPECT_TRUE(waitForRecord(out).args.empty()) << "no file selected: an empty document";
    EXPECT_TRUE(ui.warnings.empty());
}

class CommandLineTest : public AppButtonTest {};

TEST_F(CommandLineTest, ProgramAndArgumentsSplitAtBlanksWithoutAShell) {
    const std::string out = dir.file("out");
    EXPECT_EQ(RunCommandLine("rec\\ 'ord'.sh", dir.file("work"), ui), 4171) << "a backslash does not escape";
    EXPECT_EQ(RunCommandLine("", dir.file("work"), ui), -1);
    // The program is the text before the first blank; the rest are its arguments.
    ASSERT_EQ(RunCommandLine(recorder.substr(recorder.rfind('/') + 1) + "   " + out +
                                 " one \"two words\" $HOME;x",
                             dir.file("work"), ui),
              4171) << "the recorder's name holds a blank, so its first word names nothing";
    WriteExecutable(dir.file("bin dir/rec"), ReadAll(recorder));
    ASSERT_EQ(RunCommandLine("rec   " + out + " one \"two words\" $HOME;x", dir.file("work"), ui), 0);
    const Recorded r = waitForRecord(out);
    EXPECT_EQ(r.cwd, real(dir.file("work")));
    EXPECT_EQ(r.args, (std::vector<std::string>{"one", "two words", "$HOME;x"}));

    // A document typed without a path opens from the working directory.
    writeEntry("data/applications", "viewer.desktop", recorderExec(dir.file("doc")), "text/x-kmtest;");
    writeMimeApps("[Default Applications]\ntext/x-kmtest=viewer.desktop\n");
    WriteAll(dir.file("work/readme.kmt"), "text\n");
    ASSERT_EQ(RunCommandLine("readme.kmt", dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(dir.file("doc")).args, std::vector<std::string>{dir.file("work/readme.kmt")});
    EXPECT_EQ(ui.warnings, (std::vector<int>{4171, 4171}));
}

TEST(CommandLineText, UsesAtMost127BytesAndNeverSplitsACharacter) {
    EXPECT_EQ(CommandLineText(std::string(200, 'x')).size(), 127u);
    const std::string umlauts = std::string(126, 'x') + "\xC3\xBC" + "tail";
    EXPECT_EQ(CommandLineText(umlauts), std::string(126, 'x'));
    EXPECT_EQ(CommandLineText("short"), "short");
}

TEST_F(CommandLineTest, HistoryKeepsTenNewestFirstWithoutExactDuplicates) {
    AddToHistory(store, "make");
    AddToHistory(store, "ls");
    CommandHistory h = AddToHistory(store, "make");
    EXPECT_EQ(h[0], "make");
    EXPECT_EQ(h[1], "ls");
    EXPECT_EQ(h[2], "");
    h = AddToHistory(store, "Make");
    EXPECT_EQ(h[0], "Make");
    EXPECT_EQ(h[1], "make") << "case matters";
    for (int i = 0; i < 11; ++i)
        h = AddToHistory(store, "cmd" + std::to_string(i));
    EXPECT_EQ(h[0], "cmd10");
    EXPECT_EQ(h[9], "cmd1");
    EXPECT_EQ(std::count(h.begin(), h.end(), "cmd0"), 0);
    SettingsStore reread(dir.file("KM.reg"));
    EXPECT_EQ(ReadCommandHistory(reread), h);
    EXPECT_EQ(reread.GetString("Algemeen", "Commando10", "?"), "cmd1");
}

} // namespace
