#include "platform/Wildcard.h"

#include <gtest/gtest.h>

using km::WildcardMatch;

TEST(Wildcard, StarDotStarMatchesEverythingIncludingDotless) {
    EXPECT_TRUE(WildcardMatch("*.*", "readme"));
    EXPECT_TRUE(WildcardMatch("*.*", "a.txt"));
    EXPECT_TRUE(WildcardMatch("*", ".bashrc"));
}

TEST(Wildcard, CaseInsensitiveExtensionAndQuestionMark) {
    EXPECT_TRUE(WildcardMatch("*.TXT", "notes.txt"));
    EXPECT_TRUE(WildcardMatch("a?c.*", "ABC.doc"));
    EXPECT_FALSE(WildcardMatch("a?c.*", "ac.doc"));
    EXPECT_FALSE(WildcardMatch("*.txt", "notes.txt.bak"));
    EXPECT_TRUE(WildcardMatch("*.tar.gz", "x.TAR.GZ"));
}

TEST(Wildcard, TrailingDotMeansNoExtension) {
    EXPECT_TRUE(WildcardMatch("*.", "Makefile"));
    EXPECT_FALSE(WildcardMatch("*.", "main.c"));
    EXPECT_TRUE(WildcardMatch("read*.*", "readme"));
    EXPECT_FALSE(WildcardMatch("read*.", "readme.md"));
}

TEST(Wildcard, BacktrackingAndEmpty) {
    EXPECT_TRUE(WildcardMatch("*a*b*c", "xxaxxbxxbxc"));
    EXPECT_FALSE(WildcardMatch("*a*b*c", "xxaxxbxxbx"));
    EXPECT_FALSE(WildcardMatch("", "a"));
    EXPECT_TRUE(WildcardMatch("**", ""));
    // Non-ASCII bytes compare exactly.
    EXPECT_TRUE(WildcardMatch("caf\xc3\xa9*", "caf\xc3\xa9.txt"));
    EXPECT_FALSE(WildcardMatch("CAF\xc3\x89*", "caf\xc3\xa9.txt"));
}
