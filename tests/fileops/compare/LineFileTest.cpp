#include "fileops/compare/LineFile.h"
#include "fileops/compare/CompareResult.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace km::test {
namespace {

std::vector<std::string> Pieces(const std::string& bytes) {
    TempDir dir;
    WriteAll(dir.file("f"), bytes);
    LineFile f;
    EXPECT_EQ(f.Read(dir.file("f")), CompareOk);
    EXPECT_TRUE(f.loaded());
    std::vector<std::string> out;
    for (size_t i = 0; i < f.size(); ++i)
        out.emplace_back(f.text(i));
    return out;
}

TEST(LineFile, LinesEndAfterLineFeedsKeepingCarriageReturns) {
    EXPECT_EQ(Pieces("a\r\nb\n\nlast"), (std::vector<std::string>{"a\r\n", "b\n", "\n", "last"}));
    EXPECT_EQ(Pieces("x\r"), (std::vector<std::string>{"x\r"}));
    EXPECT_TRUE(Pieces("").empty());
}

TEST(LineFile, LongLinesArePiecesOf512Bytes) {
    const std::vector<std::string> p = Pieces(std::string(1199, 'x') + "\nnext\n");
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].size(), 512u);
    EXPECT_EQ(p[1].size(), 512u);
    EXPECT_EQ(p[2], std::string(175, 'x') + "\n");
    EXPECT_EQ(p[3], "next\n");

    // A line feed as the 512th byte still ends the piece; one byte later it
    // is a piece of its own.
    EXPECT_EQ(Pieces(std::string(511, 'y') + "\n").size(), 1u);
    EXPECT_EQ(Pieces(std::string(512, 'y') + "\n"),
              (std::vector<std::string>{std::string(512, 'y'), "\n"}));
}

TEST(LineFile, WhatCannotBeReadAsAFileHasNoLines) {
    TempDir dir;
    LineFile f;
    EXPECT_EQ(f.Read(dir.file("missing")), CompareCannotOpen);
    EXPECT_FALSE(f.loaded());
    EXPECT_EQ(f.Read(dir.path()), CompareCannotOpen);
    // A pipe without a writer must neither block nor count as empty.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_EQ(f.Read(dir.file("fifo")), CompareCannotOpen);
    EXPECT_FALSE(f.loaded());

    WriteAll(dir.file("empty"), "");
    EXPECT_EQ(f.Read(dir.file("empty")), CompareOk);
    EXPECT_TRUE(f.loaded());
    EXPECT_EQ(f.size(), 0u);
}

} // namespace
} // namespace km::test
