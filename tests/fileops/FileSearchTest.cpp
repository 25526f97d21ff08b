#include "fileops/FileSearch.h"
#include "fileops/SearchHistory.h"
#include "fileops/open_execute/ProcessLauncher.h"
#include "settings/SettingsStore.h"

#include "ScriptedUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace km;
using km::test::ScriptedUi;
using km::test::TempDir;
using km::test::WriteAll;

namespace {

bool Contains(const std::string& text, const char* needle, bool caseInsensitive = true) {
    TempDir dir;
    WriteAll(dir.file("f"), text);
    ScriptedUi ui;
    return FileContainsText(dir.file("f"), TextMatcher(needle, caseInsensitive), ui) == ContainsResult::Yes;
}

TEST(TextMatcher, WholeEndingStraddlingAndCaseRules) {
    EXPECT_TRUE(Contains("Hello", "Hello"));
    EXPECT_TRUE(Contains("say hello", "HELLO"));
    EXPECT_FALSE(Contains("say hello", "Hello", false));
    EXPECT_TRUE(Contains("say HELLO and Hello", "Hello", false));
    EXPECT_FALSE(Contains("Hell", "Hello"));
    EXPECT_FALSE(Contains("", "x"));
    EXPECT_TRUE(Contains("x", "x"));
    // Letters outside A-Z only match themselves: no folding of UTF-8 bytes.
    EXPECT_TRUE(Contains("caf\xC3\xA9", "CAF\xC3\xA9"));
    EXPECT_FALSE(Contains("CAF\xC3\x89", "caf\xC3\xA9"));
    // Overlapping starts: the bit-parallel state keeps every candidate.
    EXPECT_TRUE(Contains("aaab", "aab"));
    EXPECT_TRUE(Contains("abababac", "ababac"));
    // A longer text searches for its first sixteen bytes.
    EXPECT_TRUE(Contains("0123456789abcdefNOT", "0123456789ABCDEFxyz"));
    EXPECT_EQ(TextMatcher("0123456789abcdefghij", true).length(), 16u);

    // Sixteen bytes across the 16 KiB block boundary, at every split.
    const std::string needle = "needle-in-haysta";
    for (size_t before = 1; before < needle.size(); ++before) {
        std::string text(16384 - before, 'x');
        text += needle + std::string(100, 'y');
        EXPECT_TRUE(Contains(text, needle.c_str())) << before;
    }
    std::string big(3 * 16384, 'n');
    big += "needle";
    EXPECT_TRUE(Contains(big, "needle"));
    EXPECT_FALSE(Contains(std::string(3 * 16384, 'n'), "needle"));
}

TEST(TextMatcher, SearchTextIsCutAtSixteenBytesOnACharacterBoundary) {
    EXPECT_EQ(SearchTextOf("short"), "short");
    EXPECT_EQ(SearchTextOf("0123456789abcdefghi"), "0123456789abcdef");
    EXPECT_EQ(SearchTextOf("0123456789abcde\xC3\xA9"), "0123456789abcde");
}

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d : {"docs", "docs/deep", ".hidden", "other"})
            mkdir(dir.file(d).c_str(), 0755);
        WriteAll(dir.file("a.txt"), "alpha\n");
        WriteAll(dir.file("B.TXT"), "has the Secret word\n");
        WriteAll(dir.file("noext"), "secret\n");
        WriteAll(dir.file("docs/c.txt"), "nothing\n");
        WriteAll(dir.file("docs/deep/d.txt"), "SECRET\n");
        WriteAll(dir.file("docs/.dot.txt"), "secret\n");
        WriteAll(dir.file(".hidden/e.txt"), "secret\n");
        WriteAll(dir.file("other/f.log"), "secret\n");
    }
    SearchOutcome run(const std::string& pattern, const std::string& text = "", bool subdirs = true,
                      bool hidden = false, bool caseInsensitive = true) {
        SearchRequest r;
        r.pathPattern = pattern;
        r.currentDir = dir.path();
        r.text = text;
        r.subdirectories = subdirs;
        r.showHidden = hidden;
        r.caseInsensitive = caseInsensitive;
        return SearchFiles(r, ui);
    }
    std::string p(const std::string& name) const { return dir.file(name); }
    TempDir dir;
    ScriptedUi ui;
};

TEST_F(FileSearchTest, NamesTextHiddenRulesAndSortedResults) {
    EXPECT_EQ(run(dir.path() + "/*.txt").found,
              (std::vector<std::string>{p(".hidden/e.txt"), p("a.txt"), p("B.TXT"), p("docs/c.txt"),
                                        p("docs/deep/d.txt")}))
        << "case-insensitive names, sorted without regard to case, hidden files left out";
    EXPECT_EQ(run(dir.path() + "/*.txt", "", false).found, (std::vector<std::string>{p("a.txt"), p("B.TXT")}));
    // "*.*" also takes names without a dot; hidden directories are still searched.
    EXPECT_EQ(run(dir.path() + "/*.*", "secret").found,
              (std::vector<std::string>{p(".hidden/e.txt"), p("B.TXT"), p("docs/deep/d.txt"), p("noext"),
                                        p("other/f.log")}));
    EXPECT_EQ(run(dir.path() + "/*.*", "secret", true, false, false).found,
              (std::vector<std::string>{p(".hidden/e.txt"), p("noext"), p("other/f.log")}));
    // With "Hidden" on, dot files are found too.
    const auto all = run(dir.path() + "/*.txt", "secret", true, true).found;
    EXPECT_NE(std::find(all.begin(), all.end(), p("docs/.dot.txt")), all.end());
    // A stored hidden bit hides a file without a dot as well.
    if (setxattr(p("a.txt").c_str(), "user.DOSATTRIB", "0x2", 3, 0) == 0) {
        EXPECT_EQ(run(dir.path() + "/a.*").found, std::vector<std::string>{});
        EXPECT_EQ(run(dir.path() + "/a.*", "", true, true).found, std::vector<std::string>{p("a.txt")});
    }
}

TEST_F(FileSearchTest, RelativeAndMissingPatternsAndFilesBeforeSubdirectories) {
    EXPECT_EQ(run("*.log").found, std::vector<std::string>{p("other/f.log")}) << "from the current directory";
    EXPECT_EQ(run("docs/*.txt").found, (std::vector<std::string>{p("docs/c.txt"), p("docs/deep/d.txt")}));
    EXPECT_TRUE(run(dir.path() + "/missing/*.*").found.empty()) << "nothing is labelled with a directory that is not there";
    EXPECT_TRUE(run(dir.path() + "/").found.empty());

    ui.recordPaths = true;
    run(dir.path() + "/docs/*.*");
    const std::vector<std::string> expected = {p("docs/c.txt"), p("docs/deep"), p("docs/deep/d.txt")};
    EXPECT_EQ(ui.shown, expected);
}

TEST_F(FileSearchTest, LinksPipesAndCancel) {
    // A link back up would make the walk endless if it were followed.
    ASSERT_EQ(symlink(dir.path().c_str(), p("docs/loop").c_str()), 0);
    ASSERT_EQ(symlink(p("noext").c_str(), p("docs/link.txt").c_str()), 0);
    ASSERT_EQ(mkfifo(p("docs/pipe.txt").c_str(), 0644), 0);
    const auto found = run(dir.path() + "/docs/*.*", "secret", true, true).found;
    EXPECT_EQ(found, (std::vector<std::string>{p("docs/.dot.txt"), p("docs/deep/d.txt"), p("docs/link.txt")}));
    // The pipe's name still matches a name-only search.
    const auto names = run(dir.path() + "/docs/p*.*").found;
    EXPECT_EQ(names, std::vector<std::string>{p("docs/pipe.txt")});

    ui.cancelAfterPumps = 2;
    const SearchOutcome cancelled = run(dir.path() + "/*.*");
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_LT(cancelled.found.size(), 3u);
}

TEST_F(FileSearchTest, AgreesWithGrepOnARandomTree) {
    std::mt19937 rng(11);
    const std::string alphabet = "abcXYZ \n";
    for (int d = 0; d < 6; ++d) {
        const std::string sub = dir.file("rnd" + std::to_string(d));
        mkdir(sub.c_str(), 0755);
        for (int f = 0; f < 30; ++f) {
            std::string text(rng() % 40000, ' ');
            for (char& c : text)
                c = alphabet[rng() % alphabet.size()];
            WriteAll(sub + "/f" + std::to_string(f) + ".dat", text);
        }
    }
    for (const char* needle : {"abcXa", "zyxcb", "aaaaaa", "XYZXYZ"}) {
        for (bool ci : {false, true}) {
            std::vector<std::string> args = {"env", "LC_ALL=C", "grep", "-rlF", needle, "--include=*.dat", dir.path()};
            if (ci)
                args.insert(args.begin() + 3, "-i");
            const RunResult r = RunAndWait(args, {});
            std::set<std::string> expected;
            std::istringstream lines(r.output);
            for (std::string line; std::getline(lines, line);)
                expected.insert(line);
            const auto found = run(dir.path() + "/*.dat", needle, true, false, ci).found;
            EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), expected) << needle << " " << ci;
        }
    }
}

TEST(SearchHistory, TenTextsNewestFirstAndSavedResults) {
    TempDir dir;
    SettingsStore store(dir.file("KM.reg"));
    AddSearchText(store, "one");
    AddSearchText(store, "two");
    AddSearchText(store, "one");
    EXPECT_EQ(ReadSearchHistory(store), (std::vector<std::string>{"one", "two"}));
    for (int i = 0; i < 11; ++i)
        AddSearchText(store, "t" + std::to_string(i));
    const auto h = ReadSearchHistory(store);
    ASSERT_EQ(h.size(), 10u);
    EXPECT_EQ(h.front(), "t10");
    EXPECT_EQ(h.back(), "t1");
    EXPECT_EQ(store.GetString("ZoekReeksen", "Reeks1", ""), "t10") << "the editor's find dialog reads this";

    EXPECT_TRUE(ReadSavedSearch(store).results.empty());
    SaveSearch(store, {{"/a/x", "/b/y", "/c/z"}, "/a/*.*", "txt"});
    SaveSearch(store, {{"/only"}, "/o/*.*", ""});
    SettingsStore reread(dir.file("KM.reg"));
    const SavedSearch s = ReadSavedSearch(reread);
    EXPECT_EQ(s.results, std::vector<std::string>{"/only"}) << "left-over entries beyond the count are not read";
    EXPECT_EQ(s.pathPattern, "/o/*.*");
    EXPECT_EQ(reread.GetString("GevondenBestanden", "Bestand2", ""), "/b/y");
    reread.PutInt("GevondenBestanden", "Aantal", 0);
    EXPECT_TRUE(ReadSavedSearch(reread).results.empty());
}

} // namespace
