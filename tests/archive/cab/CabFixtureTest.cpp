// Cabinets made by other people's tools: listed and extracted, contents checked against the
// MD5s cabextract printed when they were collected, and against cabextract run now.
#include "CabTestSupport.h"
#include "archive/cab/CabReader.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using km::test::ScriptedSink;

const std::string kFixtures = std::string(KM_FIXTURES_DIR) + "/cab/";

struct Expected {
    std::string name;
    uint64_t size;
    std::string md5;
};

struct Fixture {
    std::string file;
    std::vector<Expected> members;
};

void PrintTo(const Fixture& f, std::ostream* os) {
    *os << f.file;
}

std::string Hello255() {
    std::string s;
    for (int i = 0; i < 50; ++i)
        s += "Hello";
    return s + "!.txt";
}

const std::vector<Fixture>& Fixtures() {
    static const std::vector<Fixture> all = {
        {"test_read_format_cab_1.cab",
         {{"empty", 0, "d41d8cd98f00b204e9800998ecf8427e"},
          {"dir1\\file1", 60, "9f348626c6a84b91537327656c98e113"},
          {"dir2\\file2", 78, "cc38402d8b50f75cdb7279e90ee33b39"}}},
        {"test_read_format_cab_2.cab",
         {{"empty", 0, "d41d8cd98f00b204e9800998ecf8427e"},
          {"zero", 33000, "d7ea97d313b83e91efbb901cc558bea4"},
          {"dir1\\file1", 60, "9f348626c6a84b91537327656c98e113"},
          {"dir2\\file2", 78, "cc38402d8b50f75cdb7279e90ee33b39"}}},
        {"normal_2files_2folders.cab",
         {{"mszip1.txt", 31, "59571918d5be925ad8aec9f5d7369cf5"},
          {"mszip2.txt", 36, "cb18e329a9effc70aa07a7061844b584"},
          {"lzx1.txt", 23, "67c5cd73e661fa667b8de3d8a5f6f3bf"},
          {"lzx2.txt", 28, "5182c12627058cf1afd4e6ce8f10d635"}}},
        {"mszip_lzx_qtm.cab",
         {{"mszip.txt", 57, "940cba86658fbceb582faecd2b5975d1"},
          {"lzx.txt", 187, "703474293b614e7110b3eb8ac2762b53"},
          {"qtm.txt", 59, "98fcfa4962a0f169a3c7fdbcb445cf17"}}},
        {"reserve_HFD.cab",
         {{"test1.txt", 5, "2debfdcf79f03e4a65a667d21ef9de14"},
          {"test2.txt", 5, "d8e8fca2dc0f896fd7cb4cb0031ba249"}}},
        {"cabd_multi_basic_pt1.cab",
         {{"test1.txt", 76, "1ee6ef514d6234f79e3ef54a204901a2"},
          {"test2.txt", 38, "8e8ca89f5c5c7b80829f05ce451bf477"},
          {"test3.txt", 76, "e207982a9612cd1d9af933d5f00000f8"}}},
        {"normal_255c_filename.cab", {{Hello255(), 7, "e134ced312b3511d88943d57ccd70c83"}}},
    };
    return all;
}

std::string Slashed(std::string name) {
    for (char& c : name) {
        if (c == '\\')
            c = '/';
    }
    return name;
}

class CabFixtures : public ::testing::TestWithParam<Fixture> {};

TEST_P(CabFixtures, ListsEveryFileWithItsSize) {
    const Fixture& f = GetParam();
    ScriptedSink sink;
    std::string error;
    ASSERT_EQ(km::cab::ListCabinet(kFixtures + f.file, sink, error), km::cab::kCabOk) << error;
    EXPECT_EQ(error, "");
    ASSERT_EQ(sink.rows.size(), f.members.size());
    for (size_t i = 0; i < f.members.size(); ++i) {
        EXPECT_EQ(sink.rows[i].name, f.members[i].name);
        EXPECT_EQ(sink.rows[i].size, f.members[i].size);
    }
}

TEST_P(CabFixtures, ExtractsTheContentsCabextractReports) {
    const Fixture& f = GetParam();
    km::test::TempDir dir;
    // A set is read from where it lies: the later cabinets sit beside the first.
    ScriptedSink sink;
    km::ArchiveExtractOptions options{dir.path(), true, false};
    std::string error;
    ASSERT_EQ(km::cab::ExtractCabinet(kFixtures + f.file, options, sink, error), km::cab::kCabOk)
        << error;
    for (const auto& m : f.members) {
        const std::string out = dir.file(Slashed(m.name));
        EXPECT_EQ(std::filesystem::file_size(out), m.size) << m.name;
        EXPECT_EQ(km::test::Md5Of(out), m.md5) << m.name;
    }

    if (!km::test::HavePeer("cabextract"))
        GTEST_SKIP() << "cabextract not installed";
    km::test::TempDir peer;
    ASSERT_EQ(km::test::RunPeer({"cabextract", "-q", "-d", peer.path(), kFixtures + f.file}), 0);
    for (const auto& m : f.members) {
        EXPECT_EQ(km::test::ReadAll(dir.file(Slashed(m.name))),
                  km::test::ReadAll(peer.file(Slashed(m.name))))
            << m.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CabFixtures, ::testing::ValuesIn(Fixtures()),
                         [](const auto& info) {
                             std::string n = info.param.file.substr(0, info.param.file.size() - 4);
                             for (char& c : n) {
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             }
                             return n;
                         });

TEST(CabFixtureSet, LaterCabinetsListOnlyTheFilesStartingInThem) {
    for (int part = 2; part <= 5; ++part) {
        ScriptedSink sink;
        std::string error;
        const std::string path = kFixtures + "cabd_multi_basic_pt" + std::to_string(part) + ".cab";
        ASSERT_EQ(km::cab::ListCabinet(path, sink, error), km::cab::kCabOk) << error;
        for (const auto& row : sink.rows)
            EXPECT_NE(row.name, "test1.txt") << part;
    }
}

TEST(CabFixtureSet, MissingNextCabinetStopsWithItsPathInCapitals) {
    km::test::TempDir src, out;
    for (const char* part : {"cabd_multi_basic_pt1.cab", "cabd_multi_basic_pt2.cab"})
        std::filesystem::copy_file(kFixtures + part, src.file(part));
    ScriptedSink sink;
    km::ArchiveExtractOptions options{out.path(), false, false};
    std::string error;
    EXPECT_EQ(km::cab::ExtractCabinet(src.file("cabd_multi_basic_pt1.cab"), options, sink, error),
              km::cab::kCabIncomplete);
    std::string upper = src.file("cabd_multi_basic_pt3.cab");
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(error, "Unable to locate next CAB file " + upper +
                         " or this CAB file is invalid. Extraction aborted.");
    // Whatever was not complete leaves nothing behind.
    for (const auto& e : std::filesystem::directory_iterator(out.path()))
        EXPECT_EQ(e.path().filename().string().rfind(".km-cab-", 0), std::string::npos);
}

// A set copied from a system that ignores case: the headers name "...pt2.cab", the disk
// holds "...PT2.CAB".
TEST(CabFixtureSet, NextCabinetsAreFoundWhateverTheirLetterCase) {
    km::test::TempDir exact, mixed, outExact, outMixed;
    for (int part = 1; part <= 5; ++part) {
        const std::string name = "cabd_multi_basic_pt" + std::to_string(part) + ".cab";
        std::string other = name;
        for (char& c : other)
            c = static_cast<char>(part % 2 ? std::toupper(static_cast<unsigned char>(c)) : c);
        std::filesystem::copy_file(kFixtures + name, exact.file(name));
        std::filesystem::copy_file(kFixtures + name, mixed.file(part == 1 ? name : other));
    }
    ScriptedSink sink;
    std::string error;
    ASSERT_EQ(km::cab::ExtractCabinet(exact.file("cabd_multi_basic_pt1.cab"),
                                      km::ArchiveExtractOptions{outExact.path(), true, false}, sink,
                                      error),
              km::cab::kCabOk)
        << error;
    ASSERT_EQ(km::cab::ExtractCabinet(mixed.file("cabd_multi_basic_pt1.cab"),
                                      km::ArchiveExtractOptions{outMixed.path(), true, false}, sink,
                                      error),
              km::cab::kCabOk)
        << error;
    EXPECT_EQ(km::test::TreeOf(outMixed.path()), km::test::TreeOf(outExact.path()));
    EXPECT_FALSE(km::test::TreeOf(outExact.path()).empty());
}

} // namespace
