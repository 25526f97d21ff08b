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
