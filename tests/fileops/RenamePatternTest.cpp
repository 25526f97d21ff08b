#include "fileops/RenamePattern.h"

#include <gtest/gtest.h>

using km::ApplyRenamePattern;

TEST(RenamePattern, Examples) {
    EXPECT_EQ(ApplyRenamePattern("report.txt", "*.bak"), "report.bak");
    EXPECT_EQ(ApplyRenamePattern("report.txt", "????.*"), "repo.txt");
    EXPECT_EQ(ApplyRenamePattern("a.txt", "new.*"), "new.txt");
    EXPECT_EQ(ApplyRenamePattern("a.txt", "b"), "b");
    EXPECT_EQ(ApplyRenamePattern("a.txt", "*"), "a");
    EXPECT_EQ(ApplyRenamePattern("archive.tar.gz", "*.*"), "archive.tar.gz");
    EXPECT_EQ(ApplyRenamePattern("ab.c", "x?y*.?z"), "xby.cz");
}

TEST(RenamePattern, NamesWithoutExtensionGetNoStar) {
    EXPECT_EQ(ApplyRenamePattern("Makefile", "*.bak"), "Makefile.bak");
    EXPECT_EQ(ApplyRenamePattern("Makefile", "*.*"), "Makefile");
    EXPECT_EQ(ApplyRenamePattern("Makefile", "*.?"), "Makefile");
}

// Positions count characters: a letter of several bytes moves on as one, and
// a byte that is not UTF-8 counts as one character so such names get no worse.
TEST(RenamePattern, WalksCharactersNotBytes) {
    EXPECT_EQ(ApplyRenamePattern("\xC3\xA9t\xC3\xA9.txt", "X*.txt"), "X" "t\xC3\xA9.txt");
    EXPECT_EQ(ApplyRenamePattern("\xC3\xA9t\xC3\xA9.txt", "?X*.*"), "\xC3\xA9X\xC3\xA9.txt");
    EXPECT_EQ(ApplyRenamePattern("\xD0\x96\xD0\x96\xD0\x96.doc", "??.*"), "\xD0\x96\xD0\x96.doc");
    EXPECT_EQ(ApplyRenamePattern("\xE6\x9D\xB1\xE4\xBA\xAC.txt", "A?.t?"), "A\xE4\xBA\xAC.tx");
    EXPECT_EQ(ApplyRenamePattern("\xF0\x9F\x98\x80x.png", "_*.*"), "_x.png");
    EXPECT_EQ(ApplyRenamePattern("a.\xF0\x9F\x98\x80z", "*.?"), "a.\xF0\x9F\x98\x80");
    // Invalid bytes: one character each, kept as they are.
    EXPECT_EQ(ApplyRenamePattern("caf\xE9.bak", "*.old"), "caf\xE9.old");
    EXPECT_EQ(ApplyRenamePattern("\xE9\xFF" "ab.txt", "X?*.*"), "X\xFF" "ab.txt");
    EXPECT_EQ(ApplyRenamePattern("\xC3" "ab", "?"), "\xC3");
    // A truncated sequence at the end is one byte, not a partial letter.
    EXPECT_EQ(ApplyRenamePattern("ab\xE6\x9D", "???"), "ab\xE6");
}
