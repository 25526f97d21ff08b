#include "platform/DirectoryReader.h"

#include "platform/FileAttributes.h"
#include "support/TempDir.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace km;

namespace {
const DirEntryInfo* find(const std::vector<DirEntryInfo>& v, const std::string& name) {
    auto it = std::find_if(v.begin(), v.end(), [&](const DirEntryInfo& e) { return e.name == name; });
    return it == v.end() ? nullptr : &*it;
}
} // namespace

TEST(DirectoryReader, ListsFilesDirsLinksAndAttributes) {
    test::TempDir dir;
    test::WriteAll(dir.file("plain.txt"), "12345");
    test::WriteAll(dir.file(".hidden"), "");
    test::WriteAll(dir.file("ro"), "");
    chmod(dir.file("ro").c_str(), 0444);
    mkdir(dir.file("sub").c_str(), 0755);
    symlink("sub", dir.file("linkdir").c_str());
    symlink("nowhere", dir.file("dangling").c_str());
    test::WriteAll(dir.file("bad\xff\xfe"), "");

    std::vector<DirEntryInfo> out;
    const DirReadResult r = ReadDirectoryEntries(dir.path(), out);
    ASSERT_EQ(r.error, 0);
    EXPECT_EQ(out.size(), 7u); // no "." or ".."
    ASSERT_TRUE(find(out, "plain.txt"));
    EXPECT_EQ(find(out, "plain.txt")->size, 5u);
    EXPECT_FALSE(find(out, "plain.txt")->isDirectory);
    EXPECT_TRUE(find(out, ".hidden")->attributes & AttrHidden);
    EXPECT_TRUE(find(out, "ro")->attributes & AttrReadOnly);
    EXPECT_FALSE(find(out, "plain.txt")->attributes & AttrReadOnly);
    EXPECT_TRUE(find(out, "sub")->isDirectory);
    EXPECT_TRUE(find(out, "linkdir")->isDirectory);
    ASSERT_TRUE(find(out, "dangling"));
    EXPECT_FALSE(find(out, "dangling")->isDirectory);
    EXPECT_TRUE(find(out, "bad\xff\xfe")); // raw bytes survive
    EXPECT_GT(find(out, "plain.txt")->lastWrite, kFileTimeUnixEpoch);
}

TEST(DirectoryReader, StoredDosBitsAreRead) {
    test::TempDir dir;
    test::WriteAll(dir.file("sys"), "");
    if (setxattr(dir.file("sys").c_str(), "user.DOSATTRIB", "0x26", 4, 0) != 0)
        GTEST_SKIP() << "no user extended attributes here";
    std::vector<DirEntryInfo> out;
    ASSERT_EQ(ReadDirectoryEntries(dir.path(), out).error, 0);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].attributes & (AttrHidden | AttrSystem | AttrArchive),
              uint32_t(AttrHidden | AttrSystem | AttrArchive));
}

TEST(DirectoryReader, ErrorsCarryThePlatformText) {
    std::vector<DirEntryInfo> out;
    const DirReadResult r = ReadDirectoryEntries("/no/such/dir", out);
    EXPECT_EQ(r.error, ENOENT);
    EXPECT_EQ(r.errorText, "No such file or directory");
    EXPECT_EQ(ParseDosAttrib("0x20"), 0x20u);
    EXPECT_EQ(ParseDosAttrib(std::string("0x22\0", 5)), 0x22u);
    EXPECT_EQ(ParseDosAttrib("junk"), 0u);
    EXPECT_EQ(ParseDosAttrib("0x"), 0u);
}
