#include "archive/zip/ZipPatterns.h"

#include <gtest/gtest.h>

namespace km::zip {
namespace {

TEST(ZipPatterns, WildcardsClassesAndCase) {
    EXPECT_TRUE(ZipWildcardMatch("*.TXT", "dir/notes.txt")); // '*' crosses directories
    EXPECT_TRUE(ZipWildcardMatch("a?c", "ABC"));
    EXPECT_FALSE(ZipWildcardMatch("a?c", "ac"));
    EXPECT_TRUE(ZipWildcardMatch("[a-c]x", "Bx"));
    EXPECT_FALSE(ZipWildcardMatch("[!a-c]x", "bx"));
    EXPECT_TRUE(ZipWildcardMatch("[^a-c]x", "dx"));
    EXPECT_TRUE(ZipWildcardMatch("[\\]]", "]"));
    EXPECT_TRUE(ZipWildcardMatch("a[b", "a[b")); // an unclosed bracket is a character
    EXPECT_TRUE(ZipWildcardMatch("dir\\*.c", "dir/x.c"));
    EXPECT_TRUE(ZipWildcardMatch("*a*b*c", "xxaxxbxxbxc"));
    EXPECT_FALSE(ZipWildcardMatch("*a*b*c", "xxaxxbxxbx"));
    EXPECT_FALSE(ZipWildcardMatch(std::string(40, '*') + "b", std::string(5000, 'a')));
}

TEST(ZipPatterns, DotRulesAndRestoreStructure) {
    EXPECT_TRUE(ZipPatternMatches("*.*", "README", false));
    EXPECT_TRUE(ZipPatternMatches("*.", "README", false));
    EXPECT_FALSE(ZipPatternMatches("*.", "readme.txt", false));
    EXPECT_TRUE(ZipPatternMatches("*.", "v1.0/README", false)); // only the last part counts
    EXPECT_TRUE(ZipPatternMatches("a.txt", "x/a.txt", true));
    EXPECT_FALSE(ZipPatternMatches("a.txt", "x/a.txt", false));
    EXPECT_FALSE(ZipPatternMatches("y/a.txt", "x/a.txt", true));
}

TEST(ZipPatterns, ListsAndSelection) {
    ZipPatternList include;
    include.AddBarSeparated("|*.c||*.h|");
    include.AddListText("; comment\r\n\r\nMakefile\r\n");
    EXPECT_EQ(include.patterns(), (std::vector<std::string>{"*.c", "*.h", "Makefile"}));
    ZipPatternList exclude;
    exclude.AddBarSeparated("test*");
    EXPECT_TRUE(ZipNameSelected(include, exclude, "main.c", false));
    EXPECT_FALSE(ZipNameSelected(include, exclude, "test.c", false));
    EXPECT_FALSE(ZipNameSelected(include, exclude, "a.txt", false));
    EXPECT_TRUE(ZipNameSelected(ZipPatternList(), ZipPatternList(), "anything", false));
}

} // namespace
} // namespace km::zip
