// Archives made at test time by 7-Zip, xorriso, GNU cpio, bsdtar and ar, listed and
// extracted through the libarchive bridge and compared with the peers' own extraction:
// bytes, modes, link targets and hard links.
#include "OtherTestSupport.h"
#include "archive/other/OtherArchiveReader.h"
#include "support/RandomBytes.h"

#include <gtest/gtest.h>
#include <random>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::ScriptedSink;
using test::TempDir;

const std::string kRandomName = "sub/deep/rand.bin";

std::string RandomBytes(size_t n) {
    return test::RandomBytes(n, 11);
}

void MakeTree(const std::string& root) {
    fs::create_directories(root + "/sub/deep");
    test::WriteAll(root + "/a.txt", "hello\n");
    test::WriteAll(root + "/sub/run.sh", "#!/bin/sh\necho ok\n");
    ::chmod((root + "/sub/run.sh").c_str(), 0755);
    test::WriteAll(root + "/" + kRandomName, RandomBytes(100000));
    test::WriteAll(root + "/sub/empty", "");
    test::WriteAll(root + "/caf\xc3\xa9.txt", "x");
    fs::create_symlink("../a.txt", root + "/sub/link");
    fs::create_hard_link(root + "/a.txt", root + "/sub/same");
}

// `args` with "@" replaced by the archive and "%" by the output directory.
std::vector<std::string> Expand(std::vector<std::string> args, const std::string& archive,
                                const std::string& out = {}) {
    for (std::string& a : args) {
        for (size_t at; (at = a.find('@')) != std::string::npos;)
            a.replace(at, 1, archive);
        for (size_t at; (at = a.find('%')) != std::string::npos;)
            a.replace(at, 1, out);
    }
    return args;
}

std::optional<std::string> NameOfHead(const std::string& archive) {
    const std::string head = test::ReadAll(archive).substr(0, 64 * 1024);
    return OtherArchiveFormatName(reinterpret_cast<const uint8_t*>(head.data()), head.size());
}

// A 7-Zip archive of the tree above, in `work`; empty when 7zz is missing.
std::string Make7z(const TempDir& work, const std::vector<std::string>& flags = {}) {
    if (!test::HaveTool("7zz"))
        return {};
    const std::string tree = work.file("tree"), archive = work.file("a.7z");
    if (!fs::exists(tree))
        MakeTree(tree);
    std::vector<std::string> args = {"7zz", "a", "-snl", "-bso0", "-bsp0"};
    args.insert(args.end(), flags.begin(), flags.end());
    args.insert(args.end(), {archive, "."});
    return test::RunTool(args, tree) == 0 ? archive : std::string();
}

#define MAKE_7Z_OR_SKIP(var, work)                                                                 \
    if (!test::HaveTool("7zz"))                                                                    \
        GTEST_SKIP() << "7zz is not installed";                                                    \
    const std::string var = Make7z(work);                                                          \
    ASSERT_FALSE(var.empty()) << "7zz could not make the archive"

struct Peer {
    const char* id;
    const char* label; // what OtherArchiveFormatName says
    const char* tool;
    std::vector<std::string> make;    // run in the tree
    std::vector<std::string> extract; // the peer's own extraction
};

class OtherPeer : public ::testing::TestWithParam<Peer> {};

TEST_P(OtherPeer, ListsAndExtractsLikeThePeer) {
    const Peer& p = GetParam();
    if (!test::HaveTool(p.tool) || !test::HaveTool(p.extract[0]))
        GTEST_SKIP() << p.tool << " or " << p.extract[0] << " is not installed";
    TempDir work;
    const std::string tree = work.file("tree"), archive = work.file("archive.bin");
    const std::string ours = work.file("ours"), peer = work.file("peer");
    MakeTree(tree);
    ASSERT_EQ(test::RunTool(Expand(p.make, archive), tree), 0);
    fs::create_directory(peer);
    ASSERT_EQ(test::RunTool(Expand(p.extract, archive, peer), work.path()), 0);
    EXPECT_EQ(NameOfHead(archive), std::optional<std::string>(p.label));

    ScriptedSink listed;
    std::string message;
    ASSERT_TRUE(ListOtherArchive(archive, listed, message)) << message;
    EXPECT_EQ(message, "");
    std::vector<std::string> expected;
    for (const auto& [name, _] : test::Snapshot(tree))
        expected.push_back(name);
    EXPECT_EQ(test::Normalised(listed.names()), expected);
    for (const auto& row : listed.rows) {
        if (row.name.find(kRandomName) != std::string::npos) {
            EXPECT_EQ(row.size, 100000u);
        }
    }

    ScriptedSink sink;
    ASSERT_TRUE(ExtractOtherArchive(archive, {ours, true, false}, sink, message)) << message;
    const auto extracted = test::Snapshot(ours);
    EXPECT_EQ(extracted, test::Snapshot(peer));
    EXPECT_EQ(extracted.at("sub/link"), "link ../a.txt");
    EXPECT_EQ(extracted.at("sub/run.sh").substr(0, 4), "755 ");
}

INSTANTIATE_TEST_SUITE_P(
    Peers, OtherPeer,
    ::testing::Values(Peer{"SevenZip",
                           "7-Zip",
                           "7zz",
                           {"7zz", "a", "-snl", "-bso0", "-bsp0", "@", "."},
                           {"7zz", "x", "-snl", "-snld", "-bso0", "-bsp0", "-o%", "@"}},
                      Peer{"Iso",
                           "ISO 9660",
                           "xorriso",
                           {"xorriso", "-as", "mkisofs", "-R", "-quiet", "-o", "@", "."},
                           {"bsdtar", "-xf", "@", "-C", "%"}},
                      Peer{"GnuCpio",
                           "cpio",
                           "cpio",
                           {"sh", "-c", "find . | cpio --quiet -o -H newc > @"},
                           {"bsdtar", "-xf", "@", "-C", "%"}},
                      Peer{"BsdtarCpio",
                           "cpio",
                           "bsdtar",
                           {"bsdtar", "--format=cpio", "-cf", "@", "."},
                           {"bsdtar", "-xf", "@", "-C", "%"}},
                      Peer{"Xar",
                           "xar",
                           "bsdtar",
                           {"bsdtar", "--format=xar", "-cf", "@", "."},
                           {"bsdtar", "-xf", "@", "-C", "%"}}),
    [](const ::testing::TestParamInfo<Peer>& info) { return std::string(info.param.id); });

TEST(OtherSelection, OneFileWithoutPathsAndViewTakesOnlyTheFirstFile) {
    TempDir work;
    MAKE_7Z_OR_SKIP(archive, work);
    std::string message;
    ScriptedSink one;
    one.wanted = [](const std::string& name) { return name == kRandomName; };
    ASSERT_TRUE(ExtractOtherArchive(archive, {work.file("one"), false, false}, one, message));
    EXPECT_EQ(test::TreeOf(work.file("one")), (std::vector<std::pair<std::string, std::string>>{
                                                  {"rand.bin", RandomBytes(100000)}}));
    EXPECT_EQ(one.shown, std::vector<std::string>{"rand.bin"});

    ScriptedSink view;
    ASSERT_TRUE(ExtractOtherArchive(archive, {work.file("view"), true, true}, view, message));
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(work.file("view"))) {
        EXPECT_FALSE(e.is_symlink()) << e.path();
        files += e.is_regular_file();
    }
    EXPECT_EQ(files, 1u);
}

TEST(OtherOverwrite, NoKeepsTheOldFileAndAProtectedFileIsNeverReplaced) {
    TempDir work;
    MAKE_7Z_OR_SKIP(archive, work);
    const std::string out = work.file("out"), old = out + "/a.txt";
    fs::create_directory(out);
    test::WriteAll(old, "old");
    std::string message;
    ScriptedSink no;
    no.wanted = [](const std::string& name) { return name == "a.txt"; };
    no.overwrite = false;
    EXPECT_TRUE(ExtractOtherArchive(archive, {out, false, false}, no, message));
    EXPECT_EQ(no.asked, std::vector<std::string>{old});
    EXPECT_EQ(test::ReadAll(old), "old");

    ::chmod(old.c_str(), 0444);
    ScriptedSink yes;
    yes.wanted = no.wanted;
    EXPECT_FALSE(ExtractOtherArchive(archive, {out, false, false}, yes, message));
    EXPECT_EQ(message, "Cannot open output file " + old);
    EXPECT_TRUE(yes.asked.empty());
    EXPECT_EQ(test::ReadAll(old), "old");
}

TEST(OtherSafety, ALinkPlantedInTheTargetIsNotWrittenThrough) {
    TempDir work;
    MAKE_7Z_OR_SKIP(archive, work);
    const std::string out = work.file("out"), elsewhere = work.file("elsewhere");
    fs::create_directories(out);
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, out + "/sub");
    ScriptedSink sink;
    std::string message;
    EXPECT_FALSE(ExtractOtherArchive(archive, {out, true, false}, sink, message));
    EXPECT_EQ(message.rfind("Cannot open output file " + out + "/sub", 0), 0u) << message;
    EXPECT_TRUE(fs::is_empty(elsewhere));
    EXPECT_TRUE(fs::is_symlink(out + "/sub"));
    EXPECT_EQ(test::ReadAll(out + "/a.txt"), "hello\n"); // the rest of the pass went on
}

TEST(OtherSafety, DotDotAndAbsoluteNamesStayInsideTheTarget) {
    if (!test::HaveTool("bsdtar"))
        GTEST_SKIP() << "bsdtar is not installed";
    TempDir work;
    const std::string outside = work.file("outside/abs.txt"), archive = work.file("evil.cpio");
    test::WriteAll(work.file("a.txt"), "up");
    test::WriteAll(work.file("b.txt"), "absolute");
    ASSERT_EQ(
        test::RunTool({"bsdtar", "--format=cpio", "-P", "-cf", archive, "-s", "|^a.txt$|../evil|",
                       "-s", "|^b.txt$|" + outside + "|", "a.txt", "b.txt"},
                      work.path()),
        0);
    ScriptedSink listed;
    std::string message;
    ASSERT_TRUE(ListOtherArchive(archive, listed, message)) << message;
    EXPECT_EQ(listed.names(), (std::vector<std::string>{"../evil", outside}));

    for (const bool paths : {true, false}) {
        const std::string out = work.file(paths ? "out/paths" : "out/flat");
        ScriptedSink sink;
        EXPECT_TRUE(ExtractOtherArchive(archive, {out, paths, false}, sink, message)) << message;
        EXPECT_EQ(test::ReadAll(out + "/evil"), "up");
        EXPECT_EQ(test::ReadAll(paths ? out + outside : out + "/abs.txt"), "absolute");
    }
    EXPECT_FALSE(fs::exists(work.file("out/evil")));
    EXPECT_FALSE(fs::exists(work.file("evil")));
    EXPECT_FALSE(fs::exists(outside));
}

TEST(OtherCancel, ACancelLeavesNoPartialFileAndNoMessage) {
    TempDir work;
    MAKE_7Z_OR_SKIP(archive, work);
    ScriptedSink sink;
    sink.wanted = [](const std::string& name) { return name == kRandomName; };
    sink.cancelAtProgress = 1;
    std::string message = "stale";
    EXPECT_TRUE(ExtractOtherArchive(archive, {work.file("out"), true, false}, sink, message));
    EXPECT_EQ(message, "");
    for (const auto& e : fs::recursive_directory_iterator(work.file("out")))
        EXPECT_TRUE(e.is_directory()) << e.path(); // neither the file nor a temporary one
}

TEST(OtherDeb, MembersOfADebianPackage) {
    if (!test::HaveTool("ar"))
        GTEST_SKIP() << "ar is not installed";
    TempDir work;
    fs::create_directories(work.file("pkg/data"));
    test::WriteAll(work.file("pkg/data/hello"), "hi\n");
    test::WriteAll(work.file("pkg/debian-binary"), "2.0\n");
    ASSERT_EQ(test::RunTool({"tar", "czf", "control.tar.gz", "debian-binary"}, work.file("pkg")),
              0);
    ASSERT_EQ(test::RunTool({"tar", "cJf", "data.tar.xz", "data"}, work.file("pkg")), 0);
    const std::vector<std::string> members = {"debian-binary", "control.tar.gz", "data.tar.xz"};
    std::vector<std::string> args = {"ar", "rc", work.file("x.deb")};
    args.insert(args.end(), members.begin(), members.end());
    ASSERT_EQ(test::RunTool(args, work.file("pkg")), 0);
    ASSERT_EQ(test::RunTool({"ar", "rc", work.file("lib.a"), "control.tar.gz"}, work.file("pkg")),
              0);
    EXPECT_EQ(NameOfHead(work.file("x.deb")), std::optional<std::string>("ar (deb)"));
    EXPECT_EQ(NameOfHead(work.file("lib.a")), std::optional<std::string>("ar"));

    ScriptedSink listed;
    std::string message;
    ASSERT_TRUE(ListOtherArchive(work.file("x.deb"), listed, message)) << message;
    EXPECT_EQ(listed.names(), members);
    ScriptedSink sink;
    ASSERT_TRUE(
        ExtractOtherArchive(work.file("x.deb"), {work.file("out"), true, false}, sink, message))
        << message;
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string bytes = test::ReadAll(work.file("pkg/" + members[i]));
        EXPECT_EQ(listed.rows[i].size, bytes.size());
        EXPECT_EQ(test::ReadAll(work.file("out/" + members[i])), bytes) << members[i];
    }
}

// libarchive looks for a 7-Zip archive behind a self-extractor's stub only where the
// stubs of 7-Zip's own self-extractors end (from 156 KiB on), not right after any stub.
TEST(OtherSfx, SevenZipBehindAStub) {
    TempDir work;
    MAKE_7Z_OR_SKIP(archive, work);
    const std::string bytes = test::ReadAll(archive);
    const std::string elf = test::ReadAll("/bin/true").substr(0, 4096);
    test::WriteAll(work.file("short.bin"), elf + bytes);
    test::WriteAll(work.file("setup.exe"), "MZ" + std::string(192 * 1024 - 2, '\0') + bytes);

    // libarchive alone finds an archive only some way behind a stub; the signature search
    // finds it anywhere in the first megabyte.
    ScriptedSink shortStub;
    std::string message;
    EXPECT_TRUE(ListOtherArchive(work.file("short.bin"), shortStub, message)) << message;
    EXPECT_EQ(shortStub.rows.size(), test::Snapshot(work.file("tree")).size());
    const std::string head = test::ReadAll(work.file("short.bin"));
    EXPECT_EQ(OtherArchiveOffset(reinterpret_cast<const uint8_t*>(head.data()), head.size()),
              std::optional<size_t>(4096));
    EXPECT_EQ(OtherArchiveOffset(reinterpret_cast<const uint8_t*>(elf.data()), elf.size()),
              std::nullopt);

    ScriptedSink listed;
    ASSERT_TRUE(ListOtherArchive(work.file("setup.exe"), listed, message)) << message;
    EXPECT_EQ(listed.rows.size(), test::Snapshot(work.file("tree")).size());
    ScriptedSink sink;
    sink.wanted = [](const std::string& name) { return name == kRandomName; };
    ASSERT_TRUE(
        ExtractOtherArchive(work.file("setup.exe"), {work.file("out"), true, false}, sink, message))
        << message;
    EXPECT_EQ(test::ReadAll(work.file("out/" + kRandomName)), RandomBytes(100000));
}

} // namespace
} // namespace km
