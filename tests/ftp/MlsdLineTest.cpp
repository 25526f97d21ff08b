#include "ftp/MlsdLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace km {
namespace {

struct Parsed {
    int ok = 0;
    MlsdEntry entry; // its name cleared: the line may be a temporary
    std::string name;
};

Parsed Parse(const std::string& line) {
    Parsed p;
    p.ok = ParseMlsdLine(p.entry, line.data(), line.size());
    p.name = p.entry.name;
    p.entry.name = {};
    return p;
}

// Lines from the RFC 3659 examples.
TEST(MlsdLine, RfcExamples) {
    const Parsed file = Parse("Type=file;Size=25730;Modify=19940728095854;Perm=; capmux.tar.z\r\n");
    ASSERT_EQ(file.ok, 1);
    EXPECT_EQ(file.name, "capmux.tar.z");
    EXPECT_TRUE(file.entry.isFile);
    EXPECT_FALSE(file.entry.isDirectory);
    EXPECT_TRUE(file.entry.hasSize);
    EXPECT_EQ(file.entry.size, 25730u);
    EXPECT_TRUE(file.entry.hasTime);
    EXPECT_EQ(file.entry.modifyUtc, 775389534);
    EXPECT_FALSE(file.entry.hasUnixMode);

    const Parsed dir = Parse("Type=dir;Modify=19990219073522; media-types\r\n");
    ASSERT_EQ(dir.ok, 1);
    EXPECT_EQ(dir.name, "media-types");
    EXPECT_TRUE(dir.entry.isDirectory);
    EXPECT_FALSE(dir.entry.isFile);
    EXPECT_FALSE(dir.entry.hasSize);
    EXPECT_EQ(dir.entry.modifyUtc, 919409722);

    // The listed directory and its parent are not entries.
    for (const char* line :
         {"Type=cdir;Modify=19981107085215;Perm=el; tmp\r\n",
          "Type=cdir;Modify=19981107085215;Perm=el; /tmp\r\n",
          "Type=pdir;Modify=19990112030508;Perm=el; ..\r\n", "type=PDIR; up\n"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(Parse(line).ok, 0);
    }
}

TEST(MlsdLine, FactsAndTypes) {
    // Fact names and type values in any case; unknown facts are passed over.
    Parsed p =
        Parse("SIZE=7;tYpE=FiLe;unix.MODE=0755;unique=802U1A;MODIFY=20161231235960.123; a\n");
    ASSERT_EQ(p.ok, 1);
    EXPECT_TRUE(p.entry.isFile);
    EXPECT_EQ(p.entry.size, 7u);
    EXPECT_TRUE(p.entry.hasUnixMode);
    EXPECT_EQ(p.entry.unixMode, 0755u);
    // A leap second, and the fraction dropped.
    EXPECT_TRUE(p.entry.hasTime);
    EXPECT_EQ(p.entry.modifyUtc, 1483228800);

    p = Parse("type=OS.unix=symlink;size=4; link\n");
    ASSERT_EQ(p.ok, 1);
    EXPECT_TRUE(p.entry.isDirectory);
    EXPECT_TRUE(p.entry.isFile);

    for (const char* line : {"type=OS.unix=slink:/etc; other\n", "type=OS.unix=chr-1/3; null\n",
                             "type=; empty\n", "perm=r; untyped\n", " no-facts\n"}) {
        SCOPED_TRACE(line);
        p = Parse(line);
        ASSERT_EQ(p.ok, 1);
        EXPECT_FALSE(p.entry.isDirectory);
        EXPECT_FALSE(p.entry.isFile);
    }

    // sizd is a directory's size; size wins when both are given.
    p = Parse("type=dir;sizd=4096; d\n");
    EXPECT_TRUE(p.entry.hasSize);
    EXPECT_EQ(p.entry.size, 4096u);
    p = Parse("type=dir;size=1;sizd=4096; d\n");
    EXPECT_EQ(p.entry.size, 1u);
    p = Parse("type=file;sizd=4096; f\n");
    EXPECT_FALSE(p.entry.hasSize);

    p = Parse("type=file;size=18446744073709551615; max\n");
    EXPECT_TRUE(p.entry.hasSize);
    EXPECT_EQ(p.entry.size, 18446744073709551615u);
}

// A value that cannot be read is dropped; the entry is still shown.
TEST(MlsdLine, UnreadableValuesAreLeftOut) {
    for (const char* line : {
             "type=file;size=18446744073709551616;modify=2016123123596; f\n",
             "type=file;size=-1;modify=201612312359601; f\n",
             "type=file;size=+5;modify=20161231235960.; f\n",
             "type=file;size=0x10;modify=20161231235960.5s; f\n",
             "type=file;size=;modify=20161331000000; f\n",
             "type=file;size=1e3;modify=20160230000000; f\n",
             "type=file;size=12\t;modify=20161231240000; f\n",
             "type=file;modify=20161231236000;UNIX.mode=0788; f\n",
             "type=file;modify=20161231235961;UNIX.mode=017777; f\n",
             "type=file;modify=+0161231235959;UNIX.mode=; f\n",
             "type=file;size=5;size=x;modify=20161231235959;modify=0; f\n",
         }) {
        SCOPED_TRACE(line);
        const Parsed p = Parse(line);
        ASSERT_EQ(p.ok, 1);
        EXPECT_TRUE(p.entry.isFile);
        EXPECT_FALSE(p.entry.hasSize);
        EXPECT_EQ(p.entry.size, 0u);
        EXPECT_FALSE(p.entry.hasTime);
        EXPECT_EQ(p.entry.modifyUtc, 0);
        EXPECT_FALSE(p.entry.hasUnixMode);
    }
}

// Only the first blank ends the facts: the rest of the line is the name.
TEST(MlsdLine, NameIsEverythingAfterTheFirstBlank) {
    const struct {
        const char* line;
        const char* name;
    } cases[] = {
        {"type=file;size=1; two  words \r\n", "two  words "},
        {"type=file;size=1;  leading\n", " leading"},
        {"type=file;size=1; a;b=c; d\n", "a;b=c; d"},
        {"type=file; size=2; x\n", "size=2; x"},
        {"type=file; no-line-end", "no-line-end"},
        {"type=file; ...\n", "..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const std::string line = c.line;
        MlsdEntry entry;
        ASSERT_EQ(ParseMlsdLine(entry, line.data(), line.size()), 1);
        EXPECT_EQ(entry.name, c.name);
        EXPECT_GE(entry.name.data(), line.data());
        EXPECT_LE(entry.name.data() + entry.name.size(), line.data() + line.size());
    }
}

TEST(MlsdLine, MalformedOrUnsafeLinesAreNotShown) {
    const std::string lines[] = {
        "",
        "\r\n",
        "type=file;size=1;name\n",
        "type=file;size=1\n",
        "type=file;size=1 f\n",
        "type=file;size;=1; f\n",
        "type=file;=1; f\n",
        "type=file; \r\n",
        "type=file; .\n",
        "type=file; ..\r\n",
        "type=file; ../etc/passwd\n",
        "type=file; /etc/passwd\n",
        "type=dir; a/b\n",
        std::string("type=file; a\0b\n", 15),
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        MlsdEntry entry;
        entry.hasSize = true;
        EXPECT_EQ(ParseMlsdLine(entry, line.data(), line.size()), 0);
        EXPECT_TRUE(entry.name.empty());
        EXPECT_FALSE(entry.isFile || entry.isDirectory || entry.hasSize || entry.hasTime ||
                     entry.hasUnixMode);
    }
    MlsdEntry entry;
    EXPECT_EQ(ParseMlsdLine(entry, nullptr, 5), 0);
}

// Every prefix of a line stays inside its buffer.
TEST(MlsdLine, TruncatedLinesStayInBounds) {
    const std::string line =
        "type=file;size=25730;modify=19940728095854.25;UNIX.mode=0644; a b\r\n";
    const std::size_t nameStart = line.find(' ') + 1;
    for (std::size_t n = 0; n <= line.size(); ++n) {
        SCOPED_TRACE(n);
        // A heap copy of exactly n bytes, so a read past it is caught by ASan.
        std::vector<char> prefix(line.begin(), line.begin() + static_cast<long>(n));
        MlsdEntry entry;
        const int ok = ParseMlsdLine(entry, prefix.data(), n);
        EXPECT_EQ(ok, n > nameStart ? 1 : 0);
        if (ok == 1) {
            EXPECT_EQ(entry.name.data(), prefix.data() + nameStart);
            EXPECT_EQ(entry.size, 25730u);
        }
    }
}

} // namespace
} // namespace km
