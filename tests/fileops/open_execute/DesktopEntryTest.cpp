#include "fileops/open_execute/DesktopEntry.h"
#include "fileops/open_execute/KeyFile.h"

#include <gtest/gtest.h>

using namespace km;

namespace {

using Args = std::vector<std::string>;

TEST(ExecLine, QuotedArgumentsSurviveSplitting) {
    const Args nasty[] = {
        {"/usr/bin/prog", "plain"},
        {"/opt/My App/bin", "a b", "\"quoted\"", "it's", "$HOME", "`id`", "back\\slash", ";|&<>"},
        {"prog", "", "tab\there", "new\nline", "#hash", "~tilde", "(paren)", "*?"},
    };
    for (const Args& args : nasty) {
        std::string exec;
        for (const std::string& a : args)
            exec += (exec.empty() ? "" : " ") + QuoteExecArgument(a);
        // Through the file-level escapes as well, as a written entry would be read.
        Args back;
        ASSERT_TRUE(SplitExec(UnescapeValue(EscapeValue(exec)), back)) << exec;
        EXPECT_EQ(back, args) << exec;
    }
}

TEST(ExecLine, SplittingRules) {
    Args a;
    ASSERT_TRUE(SplitExec(R"(prog "a \"b\" \$c \\d" 'single "q"' e\ f  )", a));
    EXPECT_EQ(a, (Args{"prog", "a \"b\" $c \\d", "single \"q\"", "e f"}));
    EXPECT_FALSE(SplitExec("prog \"open", a));
    EXPECT_FALSE(SplitExec("prog 'open", a));
    // Four backslashes in the file are one in the argument (desktop entry format).
    ASSERT_TRUE(SplitExec(UnescapeValue(R"("a\\\\b")"), a));
    EXPECT_EQ(a, Args{"a\\b"});
    EXPECT_EQ(UnescapeValue(R"(\slead\tand\nmore\\ \; kept)"), " lead\tand\nmore\\ \\; kept");
}

TEST(ExecLine, FieldCodes) {
    DesktopEntry e;
    e.name = "Viewer";
    e.file = "/apps/viewer.desktop";
    Args argv;
    const struct {
        const char* exec;
        Args expected;
    } cases[] = {
        {"view %f", {"view", "/f x"}},
        {"view %U", {"view", "/f x"}},
        {"view", {"view", "/f x"}}, // no code: the file is appended
        {"view --file=%f --title=%c", {"view", "--file=/f x", "--title=Viewer"}},
        {"view %i %k 100%% %d %D %n %N %v %m %f", {"view", "/apps/viewer.desktop", "100%", "/f x"}},
        {"view %f %F", {"view", "/f x"}}, // the file goes once
    };
    for (const auto& c : cases) {
        e.exec = c.exec;
        ASSERT_TRUE(ExpandExec(e, "/f x", argv)) << c.exec;
        EXPECT_EQ(argv, c.expected) << c.exec;
    }
    e.icon = "viewer-icon";
    e.exec = "view %i %f";
    ASSERT_TRUE(ExpandExec(e, "/f", argv));
    EXPECT_EQ(argv, (Args{"view", "--icon", "viewer-icon", "/f"}));
    for (const char* bad : {"", "%f", "view \"open"}) {
        e.exec = bad;
        EXPECT_FALSE(ExpandExec(e, "/f", argv)) << bad;
    }
}

TEST(DesktopEntryFile, ReadsTheEntryGroupOnly) {
    DesktopEntry e;
    ASSERT_TRUE(
        ParseDesktopEntry("# c\n[Desktop Entry]\r\nType = Application\nName=Ed\\sit\n"
                          "Exec=ed %f\nHidden=true\nTerminal=1\nMimeType=text/plain;text/x-c;\n"
                          "[Desktop Action New]\nExec=other\nName=New\n",
                          e));
    EXPECT_EQ(e.type, "Application");
    EXPECT_EQ(e.name, "Ed it");
    EXPECT_EQ(e.exec, "ed %f");
    EXPECT_TRUE(e.hidden);
    EXPECT_TRUE(e.terminal);
    EXPECT_EQ(e.mimeTypes, (Args{"text/plain", "text/x-c"}));
    EXPECT_FALSE(ParseDesktopEntry("[Other]\nExec=x\n", e));
}

TEST(KeyFileEdit, KeepsEverythingElse) {
    KeyFile f("# my associations\n[Default Applications]\ntext/plain=a.desktop\n\n"
              "[Added Associations]\nimage/png=b.desktop;\n\n[Default Applications]\nlate=x\n");
    f.Set("Default Applications", "text/plain", "c.desktop");
    f.Set("Default Applications", "text/html", "d.desktop");
    f.Set("Removed Associations", "image/gif", "e.desktop;");
    f.Remove("Added Associations", "image/png");
    EXPECT_EQ(f.ToText(), "# my associations\n[Default Applications]\ntext/plain=c.desktop\n"
                          "text/html=d.desktop\n\n[Added Associations]\n\n[Default Applications]\n"
                          "late=x\n\n[Removed Associations]\nimage/gif=e.desktop;\n");
    ASSERT_NE(f.Get("Default Applications", "text/html"), nullptr);
    EXPECT_EQ(f.Get("Default Applications", "late"), nullptr) << "only the first group counts";
    EXPECT_EQ(SplitList(" a;b ;;c"), (Args{"a", "b", "c"}));
}

} // namespace
