#include "fileops/open_execute/AssociationWriter.h"
#include "fileops/open_execute/OpenExecute.h"

#include "ScriptedOpenUi.h"
#include "XdgFixture.h"

using namespace km;
using namespace km::test;

namespace {

TEST(AssociateCommandText, ToExecAndBack) {
    const struct {
        const char* command;
        const char* exec;
        const char* shownBack;
    } cases[] = {
        {"gedit %1", "gedit %f", "gedit %1"},
        {"gedit \"%1\"", "gedit %f", "gedit %1"},
        {"gedit", "gedit %f", "gedit %1"}, // no %1: the file is appended
        {"\"/opt/My Editor/ed\" -x %1", "\"/opt/My Editor/ed\" -x %f",
         "\"/opt/My Editor/ed\" -x %1"},
        {"lp -d %2 %1", "lp -d %f", "lp -d %1"}, // no printer placeholder in desktop entries
        {"prog --in=%1 100% %1", "prog --in=%f 100%%", "prog --in=%1 100%"}, // one file code
        {"prog 'a $b' %1", "prog \"a \\$b\" %f", "prog \"a \\$b\" %1"},
        {"prog \"unterminated", "prog unterminated %f", "prog unterminated %1"},
        {"", "", ""},
        {"%1 arg", "", ""}, // the file itself as the program
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CommandToExec(c.command), c.exec) << c.command;
        if (*c.exec) {
            EXPECT_EQ(ExecToCommand(c.exec), c.shownBack) << c.command;
        }
    }
    EXPECT_EQ(NewTypeName(".XyZ"), "application/x-extension-xyz");
    EXPECT_EQ(NewTypeName(".a b/c"), "application/x-extension-a-b-c");
    EXPECT_EQ(ExtensionOf("archive.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(ExtensionOf("trailing."), "");
}

class AssociationTest : public XdgFixture {
protected:
    void SetUp() override {
        XdgFixture::SetUp();
        if (FindProgram("xdg-mime").empty())
            GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed";
    }
    std::string xdgMime(const std::vector<std::string>& args) {
        std::vector<std::string> argv{"xdg-mime"};
        argv.insert(argv.end(), args.begin(), args.end());
        RunResult r = RunAndWait(argv, {});
        while (!r.output.empty() && r.output.back() == '\n')
            r.output.pop_back();
        return r.output;
    }
    XdgDirs dirs() const { return XdgDirs::FromEnvironment(); }
    ScriptedOpenUi ui;
};

TEST_F(AssociationTest, NewExtensionGetsATypeAndADefaultTheDesktopUses) {
    Association a;
    ASSERT_EQ(ReadAssociation("report.xyz", dirs(), a), 0);
    EXPECT_EQ(a.extension, ".xyz");
    EXPECT_EQ(a.mimeType, "");
    EXPECT_EQ(a.command, "");

    const std::string out = dir.file("out");
    const std::string command = QuoteCommandWord(recorder) + " " + out + " \"%1\"";
    std::string error;
    ASSERT_EQ(WriteAssociation(a, "Xyz <report> & data", command, dirs(), error), AssociateDone)
        << error;

    const std::string file = dir.file("files/my \"report\" $1.xyz");
    WriteAll(file, "data");
    if (!FindProgram("mimetype").empty()) { // xdg-mime's generic type lookup
        EXPECT_EQ(xdgMime({"query", "filetype", file}), "application/x-extension-xyz");
    }
    EXPECT_EQ(xdgMime({"query", "default", "application/x-extension-xyz"}),
              "kestrum-application-x-extension-xyz.desktop");

    Association again;
    ASSERT_EQ(ReadAssociation("OTHER.XYZ", dirs(), again), 0);
    EXPECT_EQ(again.mimeType, "application/x-extension-xyz");
    EXPECT_EQ(again.description, "Xyz <report> & data");
    EXPECT_EQ(again.command, QuoteCommandWord(recorder) + " " + out + " %1");

    ASSERT_EQ(OpenFile(file, dir.file("work"), ui), 0);
    EXPECT_EQ(waitForRecord(out).args, std::vector<std::string>{file});
}

TEST_F(AssociationTest, ExistingTypeChangesOnlyItsCommand) {
    writeEntry("sys/applications", "old.desktop", "oldviewer %f", "text/x-kmtest;");
    writeMimeApps(
        "# kept\n[Default Applications]\ntext/x-kmtest=old.desktop\nimage/png=img.desktop\n\n"
        "[Removed Associations]\ntext/x-kmtest=kestrum-text-x-kmtest.desktop;other.desktop;\n");
    Association a;
    ASSERT_EQ(ReadAssociation("notes.kmt", dirs(), a), 0);
    EXPECT_EQ(a.mimeType, "text/x-kmtest");
    EXPECT_EQ(a.description, "Kestrum test & sample document");
    EXPECT_EQ(a.command, "oldviewer %1");

    std::string error;
    ASSERT_EQ(WriteAssociation(a, "ignored description", "newviewer %1", dirs(), error),
              AssociateDone)
        << error;
    EXPECT_EQ(xdgMime({"query", "default", "text/x-kmtest"}), "kestrum-text-x-kmtest.desktop");
    EXPECT_EQ(ReadAll(dir.file("config/mimeapps.list")),
              "# kept\n[Default Applications]\ntext/x-kmtest=kestrum-text-x-kmtest.desktop\n"
              "image/png=img.desktop\n\n[Removed Associations]\ntext/x-kmtest=other.desktop;\n\n"
              "[Added Associations]\ntext/x-kmtest=kestrum-text-x-kmtest.desktop;\n");
    struct stat st;
    EXPECT_NE(stat(dir.file("data/mime").c_str(), &st), 0)
        << "no MIME type is made for a known one";

    Association after;
    ASSERT_EQ(ReadAssociation("notes.kmt", dirs(), after), 0);
    EXPECT_EQ(after.description, "Kestrum test & sample document");
    EXPECT_EQ(after.command, "newviewer %1");
}

TEST_F(AssociationTest, Refusals) {
    Association a;
    EXPECT_EQ(ReadAssociation("Makefile", dirs(), a), 4188);
    // No type matches ".taken", but the name it would get is defined already.
    ASSERT_EQ(ReadAssociation("f.taken", dirs(), a), 0);
    ASSERT_EQ(a.mimeType, "");
    std::string error;
    EXPECT_EQ(WriteAssociation(a, "d", "prog %1", dirs(), error), 4189);
    EXPECT_EQ(WriteAssociation(a, "d", "  ", dirs(), error), AssociateFailed);
    // An unreadable mimeapps.list is not replaced by one that lost its contents.
    ASSERT_EQ(ReadAssociation("f.kmd", dirs(), a), 0);
    writeMimeApps("[Default Applications]\nimage/png=img.desktop\n");
    chmod(dir.file("config/mimeapps.list").c_str(), 0);
    if (access(dir.file("config/mimeapps.list").c_str(), R_OK) != 0) {
        EXPECT_EQ(WriteAssociation(a, "", "prog %1", dirs(), error), AssociateFailed);
        EXPECT_FALSE(error.empty());
        chmod(dir.file("config/mimeapps.list").c_str(), 0600);
        EXPECT_EQ(ReadAll(dir.file("config/mimeapps.list")),
                  "[Default Applications]\nimage/png=img.desktop\n");
    }
}

} // namespace
