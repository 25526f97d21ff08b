// Archives written by GNU tar at test time, extracted and compared byte for byte with the
// tree they were made from.
#include "TarTestSupport.h"
#include "archive/tar_gzip/TarReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <random>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Files of awkward sizes and names: empty, one block exactly, names of 100 characters and
// names and paths beyond what the classic header holds.
void MakeTree(const std::string& root, bool longNames) {
    std::mt19937 rng(7);
    auto data = [&](size_t n) {
        std::string s(n, '\0');
        for (auto& c : s)
            c = static_cast<char>(rng());
        return s;
    };
    const std::string deep = root + "/src/" + std::string(60, 'd') + "/" + std::string(70, 'e');
    fs::create_directories(deep);
    fs::create_directories(root + "/empty dir");
    test::WriteAll(root + "/src/zero", "");
    test::WriteAll(root + "/src/block", data(512));
    test::WriteAll(root + "/src/odd", data(12345));
    test::WriteAll(root + "/src/big", data(3 * 1024 * 1024 + 17));
    test::WriteAll(root + "/src/" + std::string(100, 'n'), data(100));
    // ustar cannot store a file name of more than 100 characters.
    if (longNames)
        test::WriteAll(root + "/src/" + std::string(180, 'l'), data(600));
    test::WriteAll(deep + "/f\xc3\xa9.txt", "deep");
}

class GnuTarPeer : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(GnuTarPeer, ExtractionMatchesTheSourceTree) {
    TempDir work;
    const std::string source = work.file("tree");
    fs::create_directory(source);
    const std::vector<std::string> flags = GetParam();
    MakeTree(source, flags[0] != "--format=ustar");
    const bool gzip = std::find(flags.begin(), flags.end(), "-z") != flags.end();
    const std::string archive = work.file("a.tar");
    std::vector<std::string> args = {"tar", "-c", "-f", archive};
    args.insert(args.end(), flags.begin(), flags.end());
    args.push_back(".");
    ASSERT_EQ(test::RunTool(args, source), 0);

    test::ScriptedSink listed;
    ASSERT_EQ(ListTarArchive(archive, gzip ? tar::Compression::Gzip : tar::Compression::None, listed), kTarOk);
    EXPECT_EQ(listed.rows.size(), test::TreeOf(source).size() + 1); // plus "./"

    const std::string target = work.file("out");
    fs::create_directory(target);
    test::ScriptedSink sink;
    ASSERT_EQ(ExtractTarArchive(archive, gzip ? tar::Compression::Gzip : tar::Compression::None, ArchiveExtractOptions{target, true, false}, sink),
              kTarOk);
    EXPECT_EQ(test::TreeOf(target), test::TreeOf(source));

    // The same from memory in small uneven pieces.
    const std::string bytes = test::ReadAll(archive);
    const std::string pieces = work.file("pieces");
    fs::create_directory(pieces);
    test::ScriptedSink again;
    ASSERT_EQ(ExtractTarMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), gzip ? tar::Compression::Gzip : tar::Compression::None,
                               ArchiveExtractOptions{pieces, true, false}, again, nullptr, 777),
              kTarOk);
    EXPECT_EQ(test::TreeOf(pieces), test::TreeOf(source));
}

INSTANTIATE_TEST_SUITE_P(Formats, GnuTarPeer,
                         ::testing::Values(std::vector<std::string>{"--format=gnu"},
                                           std::vector<std::string>{"--format=gnu", "-z"},
                                           std::vector<std::string>{"--format=posix"},
                                           std::vector<std::string>{"--format=posix", "-z"},
                                           std::vector<std::string>{"--format=ustar"}));

// gzip's own multi-member output (concatenated files) and its name field.
TEST(GzipPeer, ConcatenatedMembersAndStoredName) {
    TempDir work;
    fs::create_directory(work.file("t"));
    test::WriteAll(work.file("t/one"), std::string(70000, '1'));
    test::WriteAll(work.file("t/two"), "two");
    ASSERT_EQ(test::RunTool({"tar", "-cf", work.file("x.tar"), "one", "two"}, work.file("t")), 0);
    const std::string tar = test::ReadAll(work.file("x.tar"));
    test::WriteAll(work.file("p1"), tar.substr(0, 40000));
    test::WriteAll(work.file("p2"), tar.substr(40000));
    ASSERT_EQ(test::RunTool({"gzip", "-9", "p1", "p2"}, work.path()), 0);
    test::WriteAll(work.file("joined.tgz"),
                   test::ReadAll(work.file("p1.gz")) + test::ReadAll(work.file("p2.gz")));

    test::ScriptedSink listed;
    ASSERT_EQ(ListTarArchive(work.file("joined.tgz"), tar::Compression::Gzip, listed), kTarOk);
    EXPECT_EQ(listed.names(), (std::vector<std::string>{"one", "two"}));
    fs::create_directory(work.file("out"));
    test::ScriptedSink sink;
    ASSERT_EQ(ExtractTarArchive(work.file("joined.tgz"), tar::Compression::Gzip,
                                ArchiveExtractOptions{work.file("out"), true, false}, sink),
              kTarOk);
    EXPECT_EQ(test::TreeOf(work.file("out")), test::TreeOf(work.file("t")));
}

} // namespace
} // namespace km
