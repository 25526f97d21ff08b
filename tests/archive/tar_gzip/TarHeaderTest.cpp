// Header fields, pax records, gzip member headers and the reader fed in uneven pieces.
#include "archive/tar_gzip/TarHeader.h"
#include "TarTestSupport.h"
#include "archive/tar_gzip/GzipStream.h"
#include "archive/tar_gzip/TarOutputName.h"
#include "archive/tar_gzip/TarReader.h"

#include <gtest/gtest.h>

namespace km::tar {
namespace {

const uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const uint8_t*>(s.data());
}

TEST(TarFields, TimeFollowsTheStrictRule) {
    EXPECT_EQ(ParseTarTime(Bytes("  0000000017\0"), 12), 15);
    EXPECT_EQ(ParseTarTime(Bytes("17 garbage  "), 12), 15);
    EXPECT_EQ(ParseTarTime(Bytes("777777777777"), 12), 68719476735);
    EXPECT_EQ(ParseTarTime(Bytes("0017x\0\0\0\0\0\0\0"), 12), -1);
    EXPECT_EQ(ParseTarTime(Bytes("00000000008\0"), 12), -1);
}

TEST(TarFields, NumbersStayInsideTheirField) {
    uint64_t v = 0;
    // "%lo" would run on into the next field; the bounded reader stops at the field's end.
    ASSERT_TRUE(ParseTarNumber(Bytes("0000000000123456"), 11, v));
    EXPECT_EQ(v, 1u);
    ASSERT_TRUE(ParseTarNumber(Bytes(" 12\0"), 4, v));
    EXPECT_EQ(v, 10u);
    // GNU base-256: 9 GiB.
    const uint8_t big[12] = {0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x40, 0, 0, 0};
    ASSERT_TRUE(ParseTarNumber(big, 12, v));
    EXPECT_EQ(v, 9ull << 30);
    const uint8_t huge[12] = {0x80, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(ParseTarNumber(huge, 12, v));
    // The first byte's low bits belong to the value; 0xff is the negative form.
    const uint8_t highBits[8] = {0x81, 0, 0, 0, 0, 0, 0, 1};
    ASSERT_TRUE(ParseTarNumber(highBits, 8, v));
    EXPECT_EQ(v, (1ull << 56) | 1);
    const uint8_t minusOne[12] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
                                  0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_FALSE(ParseTarNumber(minusOne, 12, v));
    // Blanks and zero bytes around the digits, or an empty field; nothing else.
    ASSERT_TRUE(ParseTarNumber(Bytes(std::string("\0 17 \0\0", 7)), 7, v));
    EXPECT_EQ(v, 15u);
    ASSERT_TRUE(ParseTarNumber(Bytes(std::string(4, '\0')), 4, v));
    EXPECT_EQ(v, 0u);
    for (const char* bad : {"-1  ", "12x ", "1 2 ", "0008"})
        EXPECT_FALSE(ParseTarNumber(Bytes(bad), 4, v)) << bad;
}

TEST(TarFields, HeaderNameChecksumAndPrefix) {
    const std::string name100(100, 'n');
    std::string block = km::test::TarHeaderBlock(name100, 7);
    EXPECT_TRUE(TarChecksumMatches(Bytes(block)));
    EXPECT_EQ(ParseTarHeader(Bytes(block)).name, name100);
    EXPECT_EQ(ParseTarHeader(Bytes(block)).size, 7u);

    std::memcpy(block.data() + 345, "some/dir", 8);
    EXPECT_FALSE(TarChecksumMatches(Bytes(block)));
    EXPECT_EQ(ParseTarHeader(Bytes(block)).name, "some/dir/" + name100);
    // The old GNU magic has no prefix field.
    std::memcpy(block.data() + 257, "ustar  \0", 8);
    EXPECT_EQ(ParseTarHeader(Bytes(block)).name, name100);
}

TEST(TarFields, PaxRecords) {
    const std::string pax = "30 mtime=1234567890.123456789\n"
                            "18 path=dir/\xc3\xa9t\xc3\xa9\n"
                            "16 size=9999999\n";
    PaxValues v;
    ASSERT_TRUE(ParsePaxRecords(Bytes(pax), pax.size(), v));
    EXPECT_EQ(*v.mtime, 1234567890);
    EXPECT_EQ(*v.path, "dir/\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(*v.size, 9999999u);
    PaxValues bad;
    EXPECT_FALSE(ParsePaxRecords(Bytes("99 path=x\n"), 10, bad));
    EXPECT_FALSE(ParsePaxRecords(Bytes("3 \n"), 3, bad));
    EXPECT_FALSE(ParsePaxRecords(Bytes("99999999999999999999999 x"), 25, bad));
}

TEST(GzipHeader, FlagsDecideValidity) {
    size_t length = 0;
    const std::string plain("\x1f\x8b\x08\x00\0\0\0\0\0\x03", 10);
    EXPECT_EQ(ParseGzipHeader(Bytes(plain), 10, length), GzipHeaderResult::Complete);
    EXPECT_EQ(length, 10u);
    std::string named = plain + "name.tar" + '\0' + "comment" + '\0';
    named[3] = 0x18;
    EXPECT_EQ(ParseGzipHeader(Bytes(named), named.size() - 1, length), GzipHeaderResult::NeedMore);
    EXPECT_EQ(ParseGzipHeader(Bytes(named), named.size(), length), GzipHeaderResult::Complete);
    EXPECT_EQ(length, named.size());
    for (uint8_t flag : {0x02, 0x04, 0x20, 0x40}) {
        std::string h = plain;
        h[3] = static_cast<char>(flag);
        EXPECT_EQ(ParseGzipHeader(Bytes(h), h.size(), length), GzipHeaderResult::Invalid) << +flag;
    }
    std::string stored = plain;
    stored[2] = 0;
    EXPECT_EQ(ParseGzipHeader(Bytes(stored), 10, length), GzipHeaderResult::Invalid);
}

TEST(OutputNames, NeverLeaveTheTarget) {
    using V = std::vector<std::string>;
    EXPECT_EQ(OutputComponents("/etc/passwd", true), (V{"etc", "passwd"}));
    EXPECT_EQ(OutputComponents("../../x", true), (V{"x"}));
    EXPECT_EQ(OutputComponents("a/./b/../c", true), (V{"a", "b", "c"}));
    // A backslash is a name character on Unix, where TAR names come from.
    EXPECT_EQ(OutputComponents("dir\\sub\\f.txt", true), (V{"dir\\sub\\f.txt"}));
    EXPECT_EQ(OutputComponents("a\\..\\b", false), (V{"a\\..\\b"}));
    EXPECT_EQ(OutputComponents("dir/sub/f.txt", false), (V{"f.txt"}));
    EXPECT_EQ(OutputComponents("..", false), V{});
    EXPECT_EQ(OutputComponents("a/..", false), V{});
    EXPECT_EQ(OutputComponents("../..", true), V{});
}

// Every piece size, from single bytes up, gives the same rows as the whole archive.
TEST(TarPieces, UnevenPiecesGiveTheSameListing) {
    std::string tar;
    km::test::AppendTarEntry(tar, "a.txt", std::string(700, 'a'));
    km::test::AppendTarEntry(tar, "././@LongLink", std::string(150, 'L') + '\0', 'L');
    km::test::AppendTarEntry(tar, "short", "xyz");
    km::test::AppendTarEntry(tar, "dir/", "", '5');
    km::test::AppendTarEntry(tar, "empty", "");
    tar = km::test::EndTar(tar);
    const std::string gz = km::test::Gzip(tar);
    const std::vector<std::string> expected = {"a.txt", std::string(150, 'L'), "dir/", "empty"};
    for (size_t piece : {1, 3, 7, 511, 512, 513, 4096}) {
        for (bool gzip : {false, true}) {
            km::test::ScriptedSink sink;
            const std::string& in = gzip ? gz : tar;
            EXPECT_EQ(ListTarMemory(Bytes(in), in.size(), gzip ? tar::Compression::Gzip : tar::Compression::None, sink, piece), kTarOk);
            EXPECT_EQ(sink.names(), expected) << piece << " " << gzip;
            if (sink.rows.size() == 4) {
                EXPECT_EQ(sink.rows[0].size, 700u);
            }
        }
    }
}

} // namespace
} // namespace km::tar
