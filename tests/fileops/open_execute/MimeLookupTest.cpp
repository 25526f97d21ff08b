#include "fileops/open_execute/MimeLookup.h"

#include "XdgFixture.h"

using namespace km;
using namespace km::test;

namespace {

MimeDatabase emptyDatabase() {
    XdgDirs none;
    none.dataHome = "/nonexistent";
    return MimeDatabase(none);
}

TEST(MimeGlobs, WeightThenLongestPatternThenCase) {
    MimeDatabase db = emptyDatabase();
    std::set<std::string> no;
    db.AddGlobs("# comment\n"
                "50:application/gzip:*.gz\n"
                "50:application/x-compressed-tar:*.tar.gz\n"
                "50:text/x-c:*.c:cs\n"
                "50:text/x-c++:*.C:cs\n"
                "60:text/x-makefile:makefile\n"
                "40:text/x-weak:*.mk\n"
                "80:text/x-strong:*.mk\n"
                "bad line\n"
                "50:text/x-unterminated\n",
                no, {});
    EXPECT_EQ(db.TypeForName("a.gz"), "application/gzip");
    EXPECT_EQ(db.TypeForName("A.TAR.GZ"), "application/x-compressed-tar");
    EXPECT_EQ(db.TypeForName("a.c"), "text/x-c");
    EXPECT_EQ(db.TypeForName("a.C"), "text/x-c++");
    EXPECT_EQ(db.TypeForName("Makefile"), "text/x-makefile");
    EXPECT_EQ(db.TypeForName("rules.mk"), "text/x-strong");
    EXPECT_EQ(db.TypeForName(".hidden.gz"), "application/gzip");
    EXPECT_EQ(db.TypeForName("none"), "");
}

TEST(MimeGlobs, NoGlobsInAMoreImportantDirectoryHidesLowerOnes) {
    MimeDatabase db = emptyDatabase();
    std::set<std::string> userNoGlobs;
    db.AddGlobs("50:text/x-mine:*.mine\n50:text/x-old:__NOGLOBS__\n", userNoGlobs, {});
    std::set<std::string> ignored;
    db.AddGlobs("50:text/x-old:*.old\n50:text/x-other:*.other\n", ignored, userNoGlobs);
    EXPECT_EQ(db.TypeForName("a.old"), "");
    EXPECT_EQ(db.TypeForName("a.other"), "text/x-other");
}

class MimeDatabaseTest : public XdgFixture {};

TEST_F(MimeDatabaseTest, TypesCommentsParentsAndContent) {
    const MimeDatabase db(XdgDirs::FromEnvironment());
    EXPECT_EQ(db.TypeForName("x.KMT"), "text/x-kmtest");
    EXPECT_EQ(db.Comment("text/x-kmtest"), "Kestrum test & sample document");
    EXPECT_EQ(db.Comment("text/../../etc/passwd"), "");
    EXPECT_EQ(db.BroaderTypes("text/x-kmtest"),
              (std::vector<std::string>{"text/x-kmtest", "text/plain"}));
    EXPECT_EQ(db.BroaderTypes("text/x-unknown"),
              (std::vector<std::string>{"text/x-unknown", "text/plain"}));
    EXPECT_TRUE(db.IsKnownType("application/x-kmdata"));
    EXPECT_FALSE(db.IsKnownType("application/x-nothing"));

    // Without a matching glob the first bytes decide.
    const struct {
        const char* name;
        std::string content;
        const char* type;
    } files[] = {
        {"README", "Plain words, \xc3\xbc and tabs\t\n", "text/plain"},
        {"empty", "", "text/plain"},
        {"elf",
         std::string("\x7f"
                     "ELF\x02\x01\x01\0",
                     8),
         "application/octet-stream"},
        {"latin1", "caf\xe9 au lait\n", "application/octet-stream"},
    };
    for (const auto& f : files) {
        WriteAll(dir.file(std::string("files/") + f.name), f.content);
        EXPECT_EQ(db.TypeForFile(dir.file(std::string("files/") + f.name)), f.type) << f.name;
    }
}

} // namespace
