#include "fileops/open_execute/OpenExecute.h"
#include "settings/SettingsStore.h"

#include "ScriptedOpenUi.h"
#include "XdgFixture.h"

using namespace km;
using namespace km::test;

namespace {

class OpenFileTest : public XdgFixture {
protected:
    std::string file(const std::string& name, const std::string& text = "hello\n") {
        const std::string p = dir.file("files/" + name);
        WriteAll(p, text);
        return p;
    }
    std::string out(const char* name = "out") const { return dir.file(name); }
    ScriptedOpenUi ui;
};

TEST_F(OpenFileTest, DefaultApplicationGetsTheNameAsOneArgumentInTheWorkingDirectory) {
    writeEntry("data/applications", "viewer.desktop", recorderExec(out()), "text/x-kmtest;");
    writeMimeApps("[Default Applications]\ntext/x-kmtest=viewer.desktop\n");
    const char* names[] = {"plain.kmt", "with space and \"quotes\" 'too'.kmt",
                           "$(touch pwned); `id` $HOME & | > x.kmt", "new\nline\\back.kmt",
                           "-starts-with-dash.kmt"};
    for (const char* name : names) {
        unlink(out().c_str());
        const std::string path = file(name);
        ASSERT_EQ(OpenFile(path, dir.file("work"), ui), 0) << name;
        const Recorded r = waitForRecord(out());
        EXPECT_EQ(r.cwd, real(dir.file("work"))) << name;
        EXPECT_EQ(r.args, std::vector<std::string>{path}) << name;
    }
    EXPECT_TRUE(ui.warnings.empty());
    struct stat st;
    EXPECT_NE(stat(dir.file("work/pwned").c_str(), &st), 0) << "a name reached a shell";
}

TEST_F(OpenFileTest, ExecutableFileRunsItselfButADocumentWithTheBitSetOpens) {
    writeEntry("data/applications", "viewer.desktop", recorderExec(out()), "text/x-kmtest;");
    writeMimeApps("[Default Applications]\ntext/x-kmtest=viewer.desktop\n");
    const std::string program = dir.file("files/my program.kmt");
    WriteExecutable(program, "#!/bin/sh\nprintf '%s\\0' \"$(pwd -P)\" \"$0\" \"$#\" > \"" +
                                 out("ran") + ".tmp\" && mv \"" + out("ran") + ".tmp\" \"" +
                                 out("ran") + "\"\n");
    ASSERT_EQ(OpenFile(program, dir.file("work"), ui), 0);
    const Recorded ran = waitForRecord(out("ran"));
    EXPECT_EQ(ran.cwd, real(dir.file("work")));
    EXPECT_EQ(ran.args, (std::vector<std::string>{program, "0"}));
    EXPECT_FALSE(appearsWithin(out(), 200)) << "the viewer opened a program";

    // As on a FAT volume: the execute bit on a text file with no interpreter line.
    const std::string notes = file("notes.kmt", "just text\n");
    chmod(notes.c_str(), 0755);
    ASSERT_EQ(OpenFile(notes, dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(out()).args, std::vector<std::string>{notes});
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(OpenFileTest, FallsBackToParentTypesAndOtherAssociatedApplications) {
    // No default for text/x-kmtest: its parent text/plain has an application.
    writeEntry("sys/applications", "editor.desktop", recorderExec(out("editor")), "text/plain;");
    const std::string doc = file("doc.kmt");
    ASSERT_EQ(OpenFile(doc, dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(out("editor")).args, std::vector<std::string>{doc});

    // A default that cannot start gives way to the next associated program.
    unlink(out("editor").c_str());
    writeEntry("data/applications", "broken.desktop", "/nonexistent/viewer %f", "text/x-kmtest;");
    writeMimeApps("[Default Applications]\ntext/x-kmtest=broken.desktop\n");
    ASSERT_EQ(OpenFile(doc, dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(out("editor")).args, std::vector<std::string>{doc});

    // A user entry marked Hidden deletes the system one of the same ID, and a
    // missing TryExec program rules an entry out.
    writeEntry("data/applications", "editor.desktop", recorderExec(out("editor")), "text/plain;",
               "Hidden=true\n");
    writeEntry("data/applications", "tryexec.desktop", recorderExec(out("tryexec")), "text/plain;",
               "TryExec=/nonexistent/program\n");
    writeMimeApps("");
    unlink(dir.file("data/applications/broken.desktop").c_str());
    unlink(out("editor").c_str());
    EXPECT_EQ(OpenFile(doc, dir.file("work"), ui), 4178);
    EXPECT_FALSE(appearsWithin(out("editor"), 100));
    EXPECT_FALSE(appearsWithin(out("tryexec"), 100));
    EXPECT_EQ(ui.warnings, std::vector<int>{4178});
}

TEST_F(OpenFileTest, RemovedAssociationsAndPrecedenceOfTheLists) {
    writeEntry("sys/applications", "a.desktop", recorderExec(out("a")), "application/x-kmdata;");
    writeEntry("sys/applications", "b.desktop", recorderExec(out("b")), "application/x-kmdata;");
    // The system list says b; the user's removes a from the associations.
    WriteAll(dir.file("etc/mimeapps.list"),
             "[Default Applications]\napplication/x-kmdata=b.desktop\n");
    const std::string data = file("x.kmd");
    ASSERT_EQ(OpenFile(data, dir.file("work"), ui), 0);
    EXPECT_FALSE(waitForRecord(out("b")).args.empty());
    // The user's own default wins over the system's.
    writeMimeApps("[Default Applications]\napplication/x-kmdata=a.desktop\n");
    ASSERT_EQ(OpenFile(data, dir.file("work"), ui), 0);
    EXPECT_FALSE(waitForRecord(out("a")).args.empty());

    unlink(out("a").c_str());
    unlink(out("b").c_str());
    WriteAll(dir.file("etc/mimeapps.list"), "");
    writeMimeApps("[Removed Associations]\napplication/x-kmdata=b.desktop;\n");
    ASSERT_EQ(OpenFile(data, dir.file("work"), ui), 0);
    EXPECT_FALSE(waitForRecord(out("a")).args.empty());
    EXPECT_FALSE(appearsWithin(out("b"), 100));
}

TEST_F(OpenFileTest, MessagesWhenNothingCanOpenTheFile) {
    const std::string binary = file("blob", std::string("\x7f\x01\x02\0\xff", 5));
    EXPECT_EQ(OpenFile(binary, dir.file("work"), ui), 4178);
    EXPECT_EQ(ExecuteByAssociation(binary, dir.file("work"), ui), 4178);

    writeEntry("data/applications", "gone.desktop", "/nonexistent/app %f", "application/x-kmdata;");
    const std::string data = file("x.kmd");
    EXPECT_EQ(OpenFile(data, dir.file("work"), ui), 4171);
    EXPECT_EQ(ExecuteByAssociation(data, dir.file("work"), ui), 4171);
    EXPECT_EQ(ui.warnings, (std::vector<int>{4178, 4178, 4171, 4171}));
}

class EditFileTest : public OpenFileTest {
protected:
    SettingsStore store{dir.file("KM.reg")};
    std::vector<std::pair<std::string, bool>> internalOpened;
    InternalEditorFn internal = [this](const std::string& p, bool isNew) {
        internalOpened.emplace_back(p, isNew);
    };
    void setEditor(int internalSetting, const std::string& editor) {
        store.PutInt("Paden", "InternalEditor", internalSetting);
        store.PutString("Paden", "Editor", editor);
    }
};

TEST_F(EditFileTest, ChoiceOfEditor) {
    EXPECT_TRUE(ChooseEditor(store).internal) << "nothing set";
    const struct {
        int setting;
        const char* editor;
        bool internal;
    } cases[] = {{0, "gedit", true},  {1, "", true},       {1, "  ", true},    {2, "", true},
                 {1, "gedit", false}, {2, "gedit", false}, {7, "gedit", false}};
    for (const auto& c : cases) {
        setEditor(c.setting, c.editor);
        EXPECT_EQ(ChooseEditor(store).internal, c.internal) << c.setting << " '" << c.editor << "'";
    }
}

TEST_F(EditFileTest, ExternalEditorGetsThePathAsItsOnlyFurtherArgument) {
    const std::string doc = file("my \"doc\" $x.txt");
    // The setting as words: a quoted program with a blank, then its own argument.
    setEditor(1, "\"" + recorder + "\" " + out());
    ASSERT_EQ(EditFile(doc, false, dir.file("work"), store, internal, ui), 0);
    const Recorded r = waitForRecord(out());
    EXPECT_EQ(r.args, std::vector<std::string>{doc});
    EXPECT_EQ(r.cwd, real(dir.file("work")));

    // A setting naming an existing program with a blank in its path, unquoted.
    const std::string editor = dir.file("bin dir/my editor");
    WriteExecutable(editor,
                    "#!/bin/sh\nexec \"" + recorder + "\" \"" + out("second") + "\" \"$@\"\n");
    setEditor(2, editor);
    ASSERT_EQ(EditFile(doc, true, dir.file("work"), store, internal, ui), 0);
    EXPECT_EQ(waitForRecord(out("second")).args, std::vector<std::string>{doc});
    EXPECT_TRUE(internalOpened.empty());
    EXPECT_TRUE(ui.warnings.empty());
}

TEST_F(EditFileTest, InternalEditorAndFailure) {
    setEditor(1, "");
    ASSERT_EQ(EditFile("/x/new.txt", true, dir.file("work"), store, internal, ui), 0);
    EXPECT_EQ(internalOpened, (std::vector<std::pair<std::string, bool>>{{"/x/new.txt", true}}));
    setEditor(1, "/nonexistent/editor");
    EXPECT_EQ(EditFile("/x/a.txt", false, dir.file("work"), store, internal, ui), 4179);
    EXPECT_EQ(ui.warnings, std::vector<int>{4179});
    EXPECT_EQ(internalOpened.size(), 1u);
}

} // namespace
