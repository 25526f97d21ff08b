// The readers over the collected fixtures and over hand-made, hostile and broken archives.
#include "archive/tar_gzip/TarReader.h"
#include "TarTestSupport.h"
#include "archive/tar_gzip/TarParser.h"
#include "support/FolderModes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::ScriptedSink;
using test::TempDir;

const std::string kFixtures = std::string(KM_FIXTURES_DIR) + "/tar/";

std::vector<std::string> CygwinNames() {
    std::vector<std::string> out;
    std::string dir = "compress-test/";
    out.push_back(dir);
    for (int i = 1; i <= 10; ++i) {
        dir += "dir" + std::to_string(i) + "/";
        out.push_back(dir);
    }
    std::string digits;
    out.push_back(dir + "file.txt");
    for (int i = 1; i <= 7; ++i) {
        digits += "1234567890";
        out.push_back(dir + "file" + digits + ".txt");
    }
    return out;
}

int ExtractFile(const std::string& archive, bool gzip, const std::string& target,
                ScriptedSink& sink, bool restore = true, TarReport* report = nullptr,
                bool first = false) {
    ArchiveExtractOptions o;
    o.targetDir = target;
    o.restorePaths = restore;
    o.stopAfterFirst = first;
    return ExtractTarArchive(archive, gzip ? tar::Compression::Gzip : tar::Compression::None, o, sink, report);
}

int ExtractBytes(const std::string& archive, bool gzip, const std::string& target,
                 ScriptedSink& sink, bool restore = true, TarReport* report = nullptr) {
    ArchiveExtractOptions o;
    o.targetDir = target;
    o.restorePaths = restore;
    return ExtractTarMemory(reinterpret_cast<const uint8_t*>(archive.data()), archive.size(), gzip ? tar::Compression::Gzip : tar::Compression::None,
                            o, sink, report);
}

int ListBytes(const std::string& archive, bool gzip, ScriptedSink& sink) {
    return ListTarMemory(reinterpret_cast<const uint8_t*>(archive.data()), archive.size(), gzip ? tar::Compression::Gzip : tar::Compression::None,
                         sink);
}

// No temporary output may be left anywhere below the target.
bool NoTemporaryFiles(const std::string& root) {
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.path().filename().string().rfind(".km-tar-", 0) == 0)
            return false;
    }
    return true;
}

TEST(TarFixtures, CygwinLongPathsListAndExtract) {
    for (const char* name : {"cygwin_gnu.tar", "cygwin_oldgnu.tar", "cygwin_ustar.tar"}) {
        ScriptedSink sink;
        ASSERT_EQ(ListTarArchive(kFixtures + name, tar::Compression::None, sink), kTarOk) << name;
        EXPECT_EQ(sink.names(), CygwinNames()) << name;
        const std::tm t = LocalTimeOf(sink.rows[0].modified);
        EXPECT_EQ(t.tm_year + 1900, 2010);
        EXPECT_EQ(t.tm_sec, 0);

        TempDir dir;
        ScriptedSink ex;
        ASSERT_EQ(ExtractFile(kFixtures + name, false, dir.path(), ex), kTarOk) << name;
        // Directories end in "/" in both lists; every file is empty.
        std::vector<std::pair<std::string, std::string>> expected;
        for (const auto& n : CygwinNames())
            expected.push_back({n, ""});
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(test::TreeOf(dir.path()), expected) << name;
    }
}

TEST(TarFixtures, GnuLongNameAndLongLinkTarget) {
    ScriptedSink sink;
    ASSERT_EQ(ListTarArchive(kFixtures + "test_compat_gtar_1.tar", tar::Compression::None, sink), kTarOk);
    std::string digits, letters;
    for (int i = 0; i < 20; ++i)
        digits += "1234567890", letters += "abcdefghij";
    EXPECT_EQ(sink.names(), (std::vector<std::string>{digits, letters}));

    TempDir dir;
    ScriptedSink ex;
    ASSERT_EQ(ExtractFile(kFixtures + "test_compat_gtar_1.tar", false, dir.path(), ex), kTarOk);
    EXPECT_TRUE(fs::is_regular_file(dir.file(digits)));
    EXPECT_EQ(fs::read_symlink(dir.file(letters)), digits) << "the K entry's long target";
}

// The GZIP fixtures against GNU tar's own extraction of them.
TEST(TarFixtures, GzipFixturesMatchGnuTar) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> fixtures = {
        {"bla.tgz", {"test1.xml", "test2.xml"}},
        {"test_compat_gzip_1.tgz", {"f1", "f2", "f3", "d1/f1", "d1/f2", "d1/f3"}},
        {"test_compat_gzip_2.tgz", {"f1", "f2", "f3", "d1/f1", "d1/f2", "d1/f3"}},
    };
    for (const auto& [name, names] : fixtures) {
        ScriptedSink sink;
        ASSERT_EQ(ListTarArchive(kFixtures + name, tar::Compression::Gzip, sink), kTarOk) << name;
        EXPECT_EQ(sink.names(), names) << name;

        TempDir ours, theirs;
        ScriptedSink ex;
        ASSERT_EQ(ExtractFile(kFixtures + name, true, ours.path(), ex), kTarOk) << name;
        // GNU tar warns about the trailing junk of the second file but extracts it.
        test::RunTool({"tar", "-xzf", kFixtures + name}, theirs.path());
        EXPECT_EQ(test::TreeOf(ours.path()), test::TreeOf(theirs.path())) << name;
    }
    ScriptedSink bla;
    ASSERT_EQ(ListTarArchive(kFixtures + "bla.tgz", tar::Compression::Gzip, bla), kTarOk);
    EXPECT_EQ(bla.rows[0].size, 610u);
    EXPECT_EQ(bla.rows[1].size, 82u);
}

// A tree GNU tar packs now: what a source or binary tarball needs back.
TEST(TarPeers, FolderModesAndTimesComeBackAsGnuTarRestoresThem) {
    TempDir src;
    test::MakeFolderTree(src.path());
    const std::string archive = src.file("pkg.tar");
    ASSERT_EQ(test::RunTool({"tar", "-cf", archive, "pkg"}, src.path()), 0);
    const mode_t mask = umask(022);
    TempDir ours, peer;
    ScriptedSink sink;
    const int result = ExtractFile(archive, false, ours.path(), sink);
    const int peerResult = test::RunTool({"tar", "--no-same-permissions", "-xf", archive}, peer.path());
    umask(mask);
    ASSERT_EQ(result, kTarOk);
    ASSERT_EQ(peerResult, 0);
    test::ExpectSameFolders(ours.path(), peer.path());
    struct stat st;
    ASSERT_EQ(stat(ours.file("pkg/private").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a private folder stays private";

    // A folder that was there before keeps its own mode.
    TempDir existing;
    fs::create_directory(existing.file("pkg"));
    chmod(existing.file("pkg").c_str(), 0711);
    ScriptedSink again;
    ASSERT_EQ(ExtractFile(archive, false, existing.path(), again), kTarOk);
    ASSERT_EQ(stat(existing.file("pkg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0711u);
}

TEST(TarPeers, ModesLinksAndHardLinksFromGnuTar) {
    TempDir src;
    fs::create_directories(src.file("pkg/lib"));
    test::WriteAll(src.file("pkg/configure"), "#!/bin/sh\n");
    chmod(src.file("pkg/configure").c_str(), 0755);
    test::WriteAll(src.file("pkg/secret"), "s");
    chmod(src.file("pkg/secret").c_str(), 0600);
    test::WriteAll(src.file("pkg/su"), "x");
    chmod(src.file("pkg/su").c_str(), 04755);
    test::WriteAll(src.file("pkg/lib/libx.so.1"), "ELF");
    fs::create_symlink("libx.so.1", src.file("pkg/lib/libx.so"));
    fs::create_symlink("../../../outside", src.file("pkg/lib/away"));
    fs::create_hard_link(src.file("pkg/lib/libx.so.1"), src.file("pkg/lib/copy.so"));
    const std::string archive = src.file("pkg.tar.gz");
    ASSERT_EQ(test::RunTool({"tar", "-czf", archive, "pkg"}, src.path()), 0);

    const mode_t mask = umask(022);
    TempDir out;
    ScriptedSink sink;
    const int result = ExtractFile(archive, true, out.path(), sink);
    umask(mask);
    ASSERT_EQ(result, kTarOk);
    struct stat st;
    ASSERT_EQ(stat(out.file("pkg/configure").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(stat(out.file("pkg/secret").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(out.file("pkg/su").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u) << "never set-uid";
    EXPECT_EQ(fs::read_symlink(out.file("pkg/lib/libx.so")), "libx.so.1");
    EXPECT_EQ(fs::read_symlink(out.file("pkg/lib/away")), "../../../outside");
    struct stat a, b;
    ASSERT_EQ(stat(out.file("pkg/lib/libx.so.1").c_str(), &a), 0);
    ASSERT_EQ(stat(out.file("pkg/lib/copy.so").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino) << "one file, two names";
    EXPECT_EQ(test::ReadAll(out.file("pkg/lib/copy.so")), "ELF");
}

TEST(TarFixtures, WrongReaderFails) {
    ScriptedSink sink;
    EXPECT_EQ(ListTarArchive(kFixtures + "bla.tgz", tar::Compression::None, sink), kTarInvalidArchive);
    EXPECT_EQ(ListTarArchive(kFixtures + "cygwin_gnu.tar", tar::Compression::Gzip, sink), kTarInvalidArchive);
    EXPECT_EQ(ListTarArchive(kFixtures + "missing.tar", tar::Compression::None, sink), kTarInvalidArchive);
    EXPECT_TRUE(sink.rows.empty());
}

TEST(TarListing, EndBlocksEmptyArchivesAndNonArchives) {
    std::string tar;
    test::AppendTarEntry(tar, "one", std::string(512, '1'));
    test::AppendTarEntry(tar, "two", "2");
    ScriptedSink sink;
    // Followed by zero blocks, or by nothing at all.
    EXPECT_EQ(ListBytes(test::EndTar(tar), false, sink), kTarOk);
    EXPECT_EQ(ListBytes(tar, false, sink), kTarOk);
    EXPECT_EQ(sink.names(), (std::vector<std::string>{"one", "two", "one", "two"}));

    ScriptedSink empty;
    EXPECT_EQ(ListBytes(std::string(10240, '\0'), false, empty), kTarOk);
    EXPECT_TRUE(empty.rows.empty());
    // Text that is not TAR is refused at its first block; compressed, it is one file.
    const std::string text(2048, 'x');
    EXPECT_EQ(ListBytes(text, false, empty), kTarInvalidArchive);
    ScriptedSink lone;
    EXPECT_EQ(ListBytes(test::Gzip(text), true, lone), kTarOk);
    ASSERT_EQ(lone.rows.size(), 1u);
    EXPECT_EQ(lone.rows[0].name, "data");
    EXPECT_EQ(lone.rows[0].size, 2048u);
    EXPECT_EQ(ListBytes(std::string("\0abc", 4) + std::string(600, 'x'), false, empty),
              kTarInvalidArchive);
    EXPECT_EQ(ListBytes("", false, empty), kTarInvalidArchive);
    EXPECT_TRUE(empty.rows.empty());
}

TEST(TarListing, ScanHandsEveryFileItsDataInAnyPieces) {
    struct Collector : tar::TarEntryHandler {
        std::vector<std::pair<std::string, std::string>> files;
        tar::TarAction Begin(const tar::TarEntry& entry) override {
            if (!entry.IsFile())
                return tar::TarAction::Skip;
            files.emplace_back(entry.name, std::string());
            return tar::TarAction::Receive;
        }
        bool Data(const uint8_t* data, size_t size) override {
            files.back().second.append(reinterpret_cast<const char*>(data), size);
            return true;
        }
        bool End() override { return true; }
    };
    std::string tar;
    test::AppendTarEntry(tar, "dir/", "", '5');
    test::AppendTarEntry(tar, "dir/a.txt", std::string(1000, 'a'));
    test::AppendTarEntry(tar, "empty", "");
    test::AppendTarEntry(tar, "b", "bee");
    tar = test::EndTar(tar);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"dir/a.txt", std::string(1000, 'a')}, {"empty", ""}, {"b", "bee"}};
    for (const bool gzip : {false, true}) {
        const std::string bytes = gzip ? test::Gzip(tar) : tar;
        for (const size_t piece : {size_t{1}, size_t{7}, size_t{512}, bytes.size()}) {
            Collector c;
            EXPECT_EQ(ScanTarMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                    gzip ? tar::Compression::Gzip : tar::Compression::None, c, piece),
                      kTarOk);
            EXPECT_EQ(c.files, expected) << gzip << " " << piece;
        }
    }
}

TEST(TarListing, SizesAreSixtyFourBit) {
    std::string block = test::TarHeaderBlock("big.bin", 0);
    // Base-256 size of 9 GiB, then the checksum redone.
    const uint8_t size[12] = {0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x40, 0, 0, 0};
    std::memcpy(block.data() + 124, size, 12);
    test::RedoTarChecksum(block);
    ScriptedSink sink;
    // The data is missing, so the archive is truncated: the row stays, the damage is told.
    EXPECT_EQ(ListBytes(block + std::string(4096, 'd'), false, sink), kTarDamaged);
    ASSERT_EQ(sink.rows.size(), 1u);
    EXPECT_EQ(sink.rows[0].size, 9ull << 30);
}

// A size that is no number is damage, as GNU tar says, never an empty file.
TEST(TarBroken, SizeThatIsNoNumberStopsTheListingAndWritesNothing) {
    auto withSize = [](const std::string& name, const std::string& field) {
        std::string block = test::TarHeaderBlock(name, 0);
        std::memcpy(block.data() + 124, field.data(), 12);
        test::RedoTarChecksum(block);
        return block;
    };
    const std::string negative256("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff", 12);
    for (const std::string& field : {std::string("-1\0\0\0\0\0\0\0\0\0\0", 12),
                                     std::string("0000000012x\0", 12), negative256}) {
        std::string tar;
        test::AppendTarEntry(tar, "first.txt", "one");
        tar += withSize("bad.txt", field);
        test::AppendTarEntry(tar, "third.txt", "three");
        tar = test::EndTar(tar);
        ScriptedSink listed;
        EXPECT_EQ(ListBytes(tar, false, listed), kTarDamaged);
        EXPECT_EQ(listed.names(), std::vector<std::string>{"first.txt"});
        TempDir dir;
        ScriptedSink sink;
        EXPECT_EQ(ExtractBytes(tar, false, dir.path(), sink), kTarInvalidArchive);
        EXPECT_EQ(test::ReadAll(dir.file("first.txt")), "one");
        EXPECT_FALSE(fs::exists(dir.file("bad.txt")));
        EXPECT_FALSE(fs::exists(dir.file("third.txt")));
    }
    // What tar itself writes stays readable: blanks and zero bytes around the digits.
    std::string tar = withSize("ok.txt", std::string(" 0000000003 ", 12)) +
                      std::string("abc") + std::string(509, '\0');
    ScriptedSink listed;
    EXPECT_EQ(ListBytes(test::EndTar(tar), false, listed), kTarOk);
    ASSERT_EQ(listed.rows.size(), 1u);
    EXPECT_EQ(listed.rows[0].size, 3u);
}

TEST(TarBroken, TruncatedOrCorruptedInputFailsWithoutAShortFile) {
    std::string tar;
    test::AppendTarEntry(tar, "first.txt", std::string(1000, 'f'));
    test::AppendTarEntry(tar, "second.txt", std::string(3000, 's'));
    tar = test::EndTar(tar);
    const std::string gz = test::Gzip(tar);

    // Cut inside the second header, inside its data, and (gzip) inside the trailer.
    for (size_t cut : {size_t(1536 + 100), size_t(1536 + 512 + 1000)}) {
        TempDir dir;
        ScriptedSink sink;
        TarReport report;
        EXPECT_EQ(ExtractBytes(tar.substr(0, cut), false, dir.path(), sink, true, &report),
                  kTarInvalidArchive)
            << cut;
        EXPECT_EQ(test::ReadAll(dir.file("first.txt")), std::string(1000, 'f'));
        EXPECT_FALSE(fs::exists(dir.file("second.txt"))) << cut;
        EXPECT_TRUE(NoTemporaryFiles(dir.path()));
        ASSERT_FALSE(report.problems.empty());
        EXPECT_EQ(report.problems.back().code, kTarInvalidArchive);
    }
    for (size_t cut : {size_t(5), size_t(20), gz.size() / 2, gz.size() - 4}) {
        TempDir dir;
        ScriptedSink sink;
        EXPECT_EQ(ExtractBytes(gz.substr(0, cut), true, dir.path(), sink), kTarInvalidArchive)
            << cut;
        // The member may be cut after the file's data; a written file is always whole.
        if (fs::exists(dir.file("second.txt"))) {
            EXPECT_EQ(test::ReadAll(dir.file("second.txt")), std::string(3000, 's')) << cut;
        }
        EXPECT_TRUE(NoTemporaryFiles(dir.path()));
    }

    // A damaged later header ends the pass; nothing behind it is trusted.
    std::string bad = tar;
    bad[1536 + 10] ^= 0x20;
    ScriptedSink listed;
    EXPECT_EQ(ListBytes(bad, false, listed), kTarDamaged);
    EXPECT_EQ(listed.names(), std::vector<std::string>{"first.txt"});

    // Damaged deflate data or a wrong CRC in the trailer.
    std::string flipped = gz;
    flipped[gz.size() / 2] ^= 0x55;
    std::string crc = gz;
    crc[gz.size() - 8] ^= 1;
    for (const std::string* in : {&flipped, &crc}) {
        TempDir dir;
        ScriptedSink sink;
        EXPECT_EQ(ExtractBytes(*in, true, dir.path(), sink), kTarInvalidArchive);
    }
    // The extra-field flag is refused.
    std::string extra = gz;
    extra[3] = 0x04;
    ScriptedSink sink;
    EXPECT_EQ(ListBytes(extra, true, sink), kTarInvalidArchive);
}

TEST(TarSafety, NamesNeverLeaveTheTarget) {
    TempDir outer;
    const std::string target = outer.file("target");
    fs::create_directory(target);
    fs::create_directory(outer.file("elsewhere"));
    fs::create_directory_symlink(outer.file("elsewhere"), target + "/link");

    std::string tar;
    test::AppendTarEntry(tar, "../escape.txt", "1");
    test::AppendTarEntry(tar, "a/../../escape2.txt", "2");
    test::AppendTarEntry(tar, "/abs/escape3.txt", "3");
    test::AppendTarEntry(tar, "link/planted.txt", "4");
    test::AppendTarEntry(tar, "link", "5");
    test::AppendTarEntry(tar, "sym", "", '2');
    test::AppendTarEntry(tar, "dev", "", '3');
    tar = test::EndTar(tar);

    ScriptedSink sink;
    TarReport report;
    EXPECT_EQ(ExtractBytes(tar, false, target, sink, true, &report), kTarCannotOpenOutput);
    EXPECT_TRUE(fs::is_empty(outer.file("elsewhere")));
    EXPECT_FALSE(fs::exists(outer.file("escape.txt")));
    EXPECT_EQ(test::ReadAll(target + "/escape.txt"), "1");
    EXPECT_EQ(test::ReadAll(target + "/a/escape2.txt"), "2");
    EXPECT_EQ(test::ReadAll(target + "/abs/escape3.txt"), "3");
    // A link to a directory is not replaced by a file (as a copy would not), nor followed;
    // a link entry without a target is refused.
    EXPECT_TRUE(fs::is_symlink(target + "/link"));
    EXPECT_TRUE(sink.asked.empty());
    ASSERT_EQ(report.problems.size(), 3u);
    EXPECT_EQ(report.problems[0].code, kTarCannotOpenOutput);
    EXPECT_EQ(report.problems[0].name, target + "/link/planted.txt");
    EXPECT_EQ(report.problems[1].name, target + "/link");
    EXPECT_EQ(report.problems[2].name, target + "/sym");
    EXPECT_FALSE(fs::exists(target + "/sym"));
    EXPECT_FALSE(fs::exists(target + "/dev"));

    // Without stored paths every file goes straight into the target.
    TempDir flat;
    ScriptedSink flatSink;
    EXPECT_EQ(ExtractBytes(tar, false, flat.path(), flatSink, false), kTarCannotOpenOutput)
        << "the link without a target";
    const std::vector<std::pair<std::string, std::string>> expected = {{"escape.txt", "1"},
                                                                       {"escape2.txt", "2"},
                                                                       {"escape3.txt", "3"},
                                                                       {"link", "5"},
                                                                       {"planted.txt", "4"}};
    EXPECT_EQ(test::TreeOf(flat.path()), expected);
}

TEST(TarExtraction, NamesKeepEveryByteButSlash) {
    std::string tar;
    test::AppendTarEntry(tar, "back\\slash.txt", "1");
    test::AppendTarEntry(tar, "d:/q?<x>|\"*\x01.txt", "2");
    tar = test::EndTar(tar);
    TempDir dir;
    ScriptedSink sink;
    EXPECT_EQ(ExtractBytes(tar, false, dir.path(), sink, true), 0);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"back\\slash.txt", "1"}, {"d:/", ""}, {"d:/q?<x>|\"*\x01.txt", "2"}};
    EXPECT_EQ(test::TreeOf(dir.path()), expected);
}

TEST(TarOverwrite, ReplacedOnlyWhenConfirmed) {
    std::string tar;
    test::AppendTarEntry(tar, "f.txt", "new contents");
    tar = test::EndTar(tar);
    TempDir dir;
    test::WriteAll(dir.file("f.txt"), "old");

    ScriptedSink no;
    no.overwrite = false;
    EXPECT_EQ(ExtractBytes(tar, false, dir.path(), no), kTarOk);
    EXPECT_EQ(no.asked, std::vector<std::string>{dir.file("f.txt")});
    EXPECT_EQ(test::ReadAll(dir.file("f.txt")), "old");

    ScriptedSink cancel;
    cancel.overwrite = false;
    cancel.cancelOnOverwrite = true;
    EXPECT_EQ(ExtractBytes(tar, false, dir.path(), cancel), kTarCancelled);
    EXPECT_EQ(test::ReadAll(dir.file("f.txt")), "old");

    ScriptedSink yes;
    EXPECT_EQ(ExtractBytes(tar, false, dir.path(), yes), kTarOk);
    EXPECT_EQ(test::ReadAll(dir.file("f.txt")), "new contents");
    EXPECT_EQ(yes.shown, std::vector<std::string>{"f.txt"});
}

// A file its owner protected is asked about as usual, and even after Yes never replaced.
TEST(TarOverwrite, AReadOnlyTargetIsNeverReplaced) {
    std::string tar;
    test::AppendTarEntry(tar, "f.txt", "new contents");
    tar = test::EndTar(tar);
    TempDir dir;
    test::WriteAll(dir.file("f.txt"), "old");
    ::chmod(dir.file("f.txt").c_str(), 0444);
    ScriptedSink yes;
    TarReport report;
    EXPECT_EQ(ExtractBytes(tar, false, dir.path(), yes, true, &report), kTarCannotOpenOutput);
    EXPECT_EQ(yes.asked.size(), 1u);
    EXPECT_EQ(test::ReadAll(dir.file("f.txt")), "old");
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].code, kTarCannotOpenOutput);
    EXPECT_TRUE(NoTemporaryFiles(dir.path()));
}

// A link entry: the link name goes in the 100-byte field at 157, checksum redone.
void AppendTarLink(std::string& archive, const std::string& name, const std::string& linkName,
                   char type) {
    std::string h = test::TarHeaderBlock(name, 0, type);
    std::memcpy(h.data() + 157, linkName.data(), std::min<size_t>(linkName.size(), 100));
    std::memset(h.data() + 148, ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    std::snprintf(h.data() + 148, 8, "%06o", sum);
    archive += h;
}

TEST(TarOverwrite, NoKindOfLinkEntryReplacesAReadOnlyFile) {
    std::string tar;
    test::AppendTarEntry(tar, "other.txt", "other");
    AppendTarLink(tar, "keep.txt", "other.txt", '1');
    AppendTarLink(tar, "keep2.txt", "other.txt", '2');
    test::AppendTarEntry(tar, "keep3.txt/", "", '5');
    tar = test::EndTar(tar);
    TempDir dir;
    for (const char* n : {"keep.txt", "keep2.txt", "keep3.txt"}) {
        test::WriteAll(dir.file(n), "old");
        ::chmod(dir.file(n).c_str(), 0444);
    }
    ScriptedSink yes;
    TarReport report;
    EXPECT_EQ(ExtractBytes(tar, false, dir.path(), yes, true, &report), kTarCannotOpenOutput);
    EXPECT_EQ(report.problems.size(), 3u);
    struct stat kept, other;
    ASSERT_EQ(::lstat(dir.file("keep.txt").c_str(), &kept), 0);
    ASSERT_EQ(::lstat(dir.file("other.txt").c_str(), &other), 0);
    EXPECT_NE(kept.st_ino, other.st_ino);
    for (const char* n : {"keep.txt", "keep2.txt", "keep3.txt"}) {
        EXPECT_FALSE(fs::is_symlink(dir.file(n))) << n;
        EXPECT_EQ(test::ReadAll(dir.file(n)), "old") << n;
    }
    EXPECT_TRUE(NoTemporaryFiles(dir.path()));

    // A file that may be written is replaced by either kind of link, as before.
    TempDir open;
    for (const char* n : {"keep.txt", "keep2.txt"})
        test::WriteAll(open.file(n), "old");
    ScriptedSink yes2;
    ExtractBytes(tar, false, open.path(), yes2, true);
    EXPECT_EQ(test::ReadAll(open.file("keep.txt")), "other");
    EXPECT_EQ(fs::read_symlink(open.file("keep2.txt")), "other.txt");
}

TEST(TarOverwrite, FailedWriteLeavesTheOldFile) {
    std::string tar;
    test::AppendTarEntry(tar, "f.txt", std::string(200000, 'n'));
    test::AppendTarEntry(tar, "g.txt", "small");
    tar = test::EndTar(tar);
    TempDir dir;
    test::WriteAll(dir.file("f.txt"), "old");

    // A file size limit makes the write fail with EFBIG instead of filling a disk.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 65536;
    setrlimit(RLIMIT_FSIZE, &small);
    ScriptedSink sink;
    TarReport report;
    const int rc = ExtractBytes(tar, false, dir.path(), sink, true, &report);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(rc, kTarWriteError);
    EXPECT_EQ(test::ReadAll(dir.file("f.txt")), "old");
    EXPECT_EQ(test::ReadAll(dir.file("g.txt")), "small");
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_EQ(report.problems[0].code, kTarWriteError);
    EXPECT_TRUE(NoTemporaryFiles(dir.path()));
}

TEST(TarExtraction, WantedFilesStopAfterFirstAndCancel) {
    std::string tar;
    test::AppendTarEntry(tar, "d/", "", '5');
    test::AppendTarEntry(tar, "d/a.txt", "A");
    test::AppendTarEntry(tar, "d/b.txt", std::string(100000, 'B'));
    test::AppendTarEntry(tar, "d/c.txt", "C");
    test::AppendTarEntry(tar, "empty", "");
    tar = test::EndTar(tar);

    TempDir some;
    ScriptedSink pick;
    pick.wanted = [](const std::string& n) { return n != "d/a.txt"; };
    EXPECT_EQ(ExtractBytes(tar, false, some.path(), pick), kTarOk);
    EXPECT_EQ(
        test::TreeOf(some.path()),
        (std::vector<std::pair<std::string, std::string>>{
            {"d/", ""}, {"d/b.txt", std::string(100000, 'B')}, {"d/c.txt", "C"}, {"empty", ""}}));

    // View: the first wanted file only, straight into the target.
    TempDir view;
    ScriptedSink one;
    one.wanted = [](const std::string& n) { return n == "d/b.txt" || n == "d/c.txt"; };
    ArchiveExtractOptions o;
    o.targetDir = view.path();
    o.stopAfterFirst = true;
    EXPECT_EQ(
        ExtractTarMemory(reinterpret_cast<const uint8_t*>(tar.data()), tar.size(), tar::Compression::None, o, one),
        kTarOk);
    EXPECT_EQ(test::TreeOf(view.path()), (std::vector<std::pair<std::string, std::string>>{
                                             {"b.txt", std::string(100000, 'B')}}));

    // Cancelled inside the large file: it is not left behind.
    TempDir cancelled;
    ScriptedSink stop;
    stop.cancelAtProgress = 50000;
    EXPECT_EQ(ExtractBytes(tar, false, cancelled.path(), stop), kTarCancelled);
    EXPECT_EQ(test::TreeOf(cancelled.path()),
              (std::vector<std::pair<std::string, std::string>>{{"d/", ""}, {"d/a.txt", "A"}}));
}

TEST(TarExtraction, TimesAreRestoredAsStoredAndListedToTheMinute) {
    std::string tar;
    tar += test::TarHeaderBlock("t.txt", 1, '0', 1200000047);
    tar += std::string(1, 'x') + std::string(511, '\0');
    tar += test::TarHeaderBlock("old.txt", 1, '0', 100);
    tar += std::string(1, 'x') + std::string(511, '\0');
    tar = test::EndTar(tar);
    TempDir dir;
    ScriptedSink sink;
    ASSERT_EQ(ListBytes(tar, false, sink), kTarOk);
    ASSERT_EQ(ExtractBytes(tar, false, dir.path(), sink), kTarOk);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("t.txt").c_str(), &st), 0);
    // The file keeps its second; the row drops it (1200000000 is a whole minute).
    EXPECT_EQ(st.st_mtime, 1200000047);
    EXPECT_EQ(FileTimeFromUnix(1200000000, 0), sink.rows[0].modified);
    ASSERT_EQ(::stat(dir.file("old.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 100);
    // Before 1980 the row shows the first DOS day.
    const std::tm t = LocalTimeOf(sink.rows[1].modified);
    EXPECT_EQ(t.tm_year, 80);
    EXPECT_EQ(t.tm_mon, 0);
    EXPECT_EQ(t.tm_mday, 1);
}

} // namespace
} // namespace km
