// Archives written by other people's tools: the shared fixtures, and Info-ZIP zip and
// Python's zipfile run at test time.
#include "ZipTestSupport.h"
#include "support/FolderModes.h"
#include "support/TempDir.h"

#include "archive/zip/ZipErrorTexts.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>

namespace km::test {
namespace {

namespace fs = std::filesystem;

struct Expected {
    std::string name;
    uint64_t size;
    uint32_t crc;
};

// Tests every entry and extracts into a fresh directory; checks size and CRC of each file.
void ExpectExtracts(const std::string& archive, const std::vector<Expected>& files,
                    const std::string& password = "", bool restore = true) {
    TempDir dir;
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_Test(1);
    UnzipEngine_Decrypt(password.c_str());
    EXPECT_EQ(UnzipEngine_Run(), static_cast<int64_t>(files.size())) << archive;
    EXPECT_TRUE(log.of(23).empty()) << log.of(23).front();
    EXPECT_EQ(UnzipEngine_GetLastError(), 0);

    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(dir.path().c_str());
    UnzipEngine_RestoreStructure(restore);
    UnzipEngine_Decrypt(password.c_str());
    EXPECT_EQ(UnzipEngine_Run(), static_cast<int64_t>(files.size())) << archive;
    EXPECT_EQ(UnzipEngine_GetLastWarning(), 0);
    for (const auto& f : files) {
        const std::string data = ReadAll(dir.file(f.name));
        EXPECT_EQ(data.size(), f.size) << f.name;
        EXPECT_EQ(Crc(data), f.crc) << f.name;
    }
}

TEST(UnzipFixtures, ShrunkEntriesIncludingTableClears) {
    ExpectExtracts(Fixture("SHRUNK.ZIP"),
                   {{"TEST1.XML", 76, 0x393a497a}, {"TEST2.XML", 81, 0xd19abf92}});
    ExpectExtracts(Fixture("Zip.shrink.zip"), {{"TECT.TXT", 15498, 0x9bd160fa},
                                               {"TEST.EXE", 45056, 0xcfb109c8},
                                               {"TEST.JPG", 40372, 0x088814e3}});
}

TEST(UnzipFixtures, ImplodedWithBothWindowsAndTreeCounts) {
    ExpectExtracts(Fixture("imploding-4Kdict-2trees.zip"), {{"HEADER.TXT", 818, 0x3222d8c7}});
    ExpectExtracts(Fixture("imploding-8Kdict-3trees.zip"), {{"LICENSE.TXT", 11560, 0x495fc599}});
    ExpectExtracts(Fixture("lorem-ipsum-implode.zip"), {{"LOREM.TXT", 144060, 0xb9034f7e}});
}

TEST(UnzipFixtures, TraditionalEncryptionWithRightWrongAndNoPassword) {
    ExpectExtracts(Fixture("zipcrypto.zip"),
                   {{"brown.txt", 6, 0x5ebc8aea},
                    {"dog.txt", 4, 0x1ce2272b},
                    {"fox.txt", 4, 0x7bb1e13e},
                    {"jumps.txt", 6, 0x50e56685},
                    {"lazy.txt", 5, 0x5e343b10},
                    {"over.txt", 0, 0},
                    {"quick.txt", 6, 0x2aed86fa},
                    {"the.txt", 3, 0x3c456de6}},
                   "test");
    // Deflated, encrypted, with the maximum-compression option bits.
    ExpectExtracts(Fixture("Zip.deflate.pkware.zip"), {{"Folder/File.txt", 19, 0x0aec8a95}},
                   "12345678");

    for (const char* password : {"", "wrong"}) {
        TempDir dir;
        RecordLog log;
        StartUnzip(log);
        UnzipEngine_ArchiveName(Fixture("zipcrypto.zip").c_str());
        UnzipEngine_ExtractTo(dir.path().c_str());
        UnzipEngine_Decrypt(password);
        EXPECT_EQ(UnzipEngine_Run(), 0);
        const std::vector<int> expected(8, *password ? zip::UnzipWarningWrongPassword
                                                     : zip::UnzipWarningEncryptedNoPassword);
        EXPECT_EQ(log.codes(23), expected);
        EXPECT_EQ(log.codes(22), std::vector<int>{zip::UnzipErrorNothingToDo});
        EXPECT_TRUE(fs::is_empty(dir.path()));
    }
}

TEST(UnzipFixtures, StubInFrontCommentsAndDirectoryEntries) {
    // 1024 bytes in front; the name has no extension and is used as it is.
    ExpectExtracts(Fixture("test_read_format_zip_sfx"),
                   {{"file0", 0, 0}, {"build.sh", 23, 0x7dea58ea}});

    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(Fixture("test_read_format_zip_comment_stored_1.zip").c_str());
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 2);
    ASSERT_EQ(log.of(11).size(), 1u);
    EXPECT_EQ(log.of(11)[0], Fixture("test_read_format_zip_comment_stored_1.zip") +
                                 "|36|This is a sample file for issue 271.");

    // A 4097-byte comment: the record keeps what fits in 1024 bytes.
    StartUnzip(log);
    UnzipEngine_ArchiveName(Fixture("Zip.LongComment.zip").c_str());
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 1);
    const std::string comment = log.of(11).back();
    EXPECT_EQ(comment.size() + 6, 1024u);
    EXPECT_NE(comment.find("|4097|Lorem ipsum"), std::string::npos);

    // WinZip's names: code page 437 bytes, with the UTF-8 form (using '\\') in a
    // Unicode path field; the directory entry becomes a directory.
    ExpectExtracts(Fixture("test-winzip.zip"), {{"doc.txt.gz", 31, 0xf3e87736},
                                                {"doc2.txt", 0, 0},
                                                {"ä/³zip.zip", 276, 0x6a65326c},
                                                {"ä/ü.txt", 0, 0}});
}

TEST(UnzipFixtures, InfoZipSplitSetFromEitherEnd) {
    const std::vector<Expected> files = {{"exe/test.exe", 45056, 0xcfb109c8},
                                         {"jpg/test.jpg", 40372, 0x088814e3},
                                         {"тест.txt", 15498, 0x9bd160fa}};
    ExpectExtracts(Fixture("Infozip.nocomp.multi.zip"), files);
    ExpectExtracts(Fixture("Infozip.nocomp.multi.z01"), files);
}

TEST(UnzipFixtures, SplitPartMissingIsAskedForThroughRecord20) {
    TempDir dir;
    const std::string part = dir.file("set.z01");
    fs::copy_file(Fixture("Infozip.nocomp.multi.zip"), dir.file("set.zip"));
    // Until the first part is there, the engine cannot tell this is a split set.
    WriteAll(part, ReadAll(Fixture("Infozip.nocomp.multi.z01")));
    const std::string saved = dir.file("saved.z01");
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(dir.file("set.zip").c_str());
    UnzipEngine_Test(1);
    UnzipEngine_Include("exe/test.exe");
    fs::rename(part, saved);
    // The request comes for disk 1 (the first); the callback puts it back.
    log.answer = [&](int type, const std::string&) -> uint16_t {
        if (type == 20 && fs::exists(saved))
            fs::rename(saved, part);
        return 0;
    };
    EXPECT_EQ(UnzipEngine_Run(), 0);
    // Without .z01 beside it the set is taken for removable disks: disk 1 is asked for.
    EXPECT_FALSE(log.of(20).empty());

    // With the part present but unreadable on request, an abort answer ends the action.
    fs::rename(part, saved);
    StartUnzip(log);
    log.answer = [](int type, const std::string&) -> uint16_t { return type == 20 ? 255 : 0; };
    UnzipEngine_ArchiveName(dir.file("set.zip").c_str());
    UnzipEngine_Test(1);
    UnzipEngine_Run();
    EXPECT_EQ(UnzipEngine_GetLastError(), 255);
    EXPECT_EQ(log.codes(22), std::vector<int>{255});
}

// ---- Info-ZIP zip and Python's zipfile, run now ----

TEST(UnzipPeers, FolderModesAndTimesComeBackAsUnzipRestoresThem) {
    TempDir src;
    test::MakeFolderTree(src.path());
    const std::string archive = src.file("pkg.zip");
    ASSERT_EQ(RunTool({"zip", "-q", "-r", archive, "pkg"}, src.path()), 0);
    const mode_t mask = umask(022);
    TempDir ours, peer;
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(ours.path().c_str());
    UnzipEngine_RestoreStructure(1);
    EXPECT_EQ(UnzipEngine_Run(), 2);
    const int peerResult = RunTool({"unzip", "-q", archive, "-d", peer.path()}, "");
    umask(mask);
    ASSERT_EQ(peerResult, 0);
    test::ExpectSameFolders(ours.path(), peer.path());
}

class PeerArchives : public ::testing::Test {
protected:
    void SetUp() override {
        src_ = work_.file("src");
        fs::create_directories(src_ + "/docs/deep");
        fs::create_directories(src_ + "/empty");
        std::mt19937 rng(7);
        std::string text;
        for (int i = 0; i < 4000; ++i)
            text += "line " + std::to_string(i) + " of some text that compresses\n";
        std::string binary(200000, '\0');
        for (auto& c : binary)
            c = static_cast<char>(rng());
        files_ = {{"readme.txt", text},
                  {"docs/data.bin", binary},
                  {"docs/deep/small.txt", "x"},
                  {"docs/deep/zero.txt", ""}};
        for (const auto& [name, data] : files_)
            WriteAll(src_ + "/" + name, data);
    }

    std::string zip(const std::vector<std::string>& options, const std::string& name = "out.zip") {
        std::vector<std::string> args = {"zip", "-q", "-r"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(work_.file(name));
        args.push_back(".");
        EXPECT_EQ(RunTool(args, src_), 0);
        return work_.file(name);
    }

    void expectTree(const std::string& dir) {
        for (const auto& [name, data] : files_)
            EXPECT_EQ(ReadAll(dir + "/" + name), data) << name;
        EXPECT_TRUE(fs::is_directory(dir + "/empty"));
    }

    int64_t extract(const std::string& archive, const std::string& to, RecordLog& log,
                    const char* password = "") {
        StartUnzip(log);
        UnzipEngine_ArchiveName(archive.c_str());
        UnzipEngine_ExtractTo(to.c_str());
        UnzipEngine_RestoreStructure(1);
        UnzipEngine_Decrypt(password);
        return UnzipEngine_Run();
    }

    TempDir work_;
    std::string src_;
    std::map<std::string, std::string> files_;
};

TEST_F(PeerArchives, StoredAndDeflatedAtSeveralLevels) {
    for (const char* level : {"-0", "-1", "-6", "-9"}) {
        const std::string archive = zip({level}, std::string("l") + level + ".zip");
        TempDir out;
        RecordLog log;
        EXPECT_EQ(extract(archive, out.path(), log), 4) << level;
        expectTree(out.path());
        // One record 15 per file with 100 percent; entries (directories too) count from 1.
        const auto done = log.of(15);
        ASSERT_EQ(done.size(), 4u);
        EXPECT_EQ(Fields(done[0])[4], "100");
        EXPECT_EQ(Fields(done.back())[5], "7");
        EXPECT_EQ(Fields(done.back())[7], Fields(done.back())[8]);
        EXPECT_EQ(UnzipEngine_GetLastWarning(), 0);
    }
}

// zip stores the UTC time in its extended timestamp; the DOS time alone would shift by the
// zone's offset and lose the odd second.
TEST_F(PeerArchives, TimesFromZipSurviveAnotherZoneToTheSecond) {
    const time_t when = 1700049601; // 2023-11-15 12:00:01 UTC
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (src_ + "/readme.txt").c_str(), times, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (src_ + "/docs/deep/small.txt").c_str(), times, 0), 0);
    std::string archive;
    {
        ZoneScope zone("America/St_Johns");
        archive = zip({});
    }
    for (const char* zone : {"Asia/Tokyo", "America/St_Johns", "UTC"}) {
        ZoneScope scope(zone);
        TempDir out;
        RecordLog log;
        extract(archive, out.path(), log);
        struct stat st;
        ASSERT_EQ(stat((out.path() + "/readme.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, when) << zone;
        ASSERT_EQ(stat((out.path() + "/docs/deep/small.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, when) << zone;
    }
}

TEST_F(PeerArchives, ModesAndLinksFromZipDashY) {
    const std::string script = src_ + "/run.sh";
    WriteAll(script, "#!/bin/sh\necho hi\n");
    chmod(script.c_str(), 0750);
    fs::create_symlink("docs/deep/small.txt", src_ + "/link");
    fs::create_symlink("/etc/nowhere", src_ + "/dangling");
    const std::string archive = zip({"-y"});
    TempDir out;
    RecordLog log;
    extract(archive, out.path(), log);
    expectTree(out.path());
    struct stat st;
    ASSERT_EQ(stat((out.path() + "/run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u & ~static_cast<mode_t>(umask(umask(0))));
    EXPECT_EQ(fs::read_symlink(out.path() + "/link"), "docs/deep/small.txt");
    EXPECT_EQ(fs::read_symlink(out.path() + "/dangling"), "/etc/nowhere");
}

TEST_F(PeerArchives, EncryptedWithZipDashP) {
    const std::string archive = zip({"-P", "secret"});
    TempDir out;
    RecordLog log;
    EXPECT_EQ(extract(archive, out.path(), log, "secret"), 4);
    expectTree(out.path());

    TempDir wrong;
    // The header check is one byte against a random salt: about one entry in
    // 256 gets past it with a wrong password and is then caught by its data,
    // except the empty file, whose CRC of nothing cannot tell.
    const int64_t passed = extract(archive, wrong.path(), log, "Secret");
    ASSERT_LE(passed, 1);
    if (passed == 1) {
        EXPECT_TRUE(fs::exists(wrong.file("docs/deep/zero.txt")));
    }
    const std::vector<int> codes = log.codes(23);
    ASSERT_EQ(codes.size(), static_cast<size_t>(4 - passed));
    int refusedByHeader = 0;
    for (int code : codes) {
        EXPECT_TRUE(code == zip::UnzipWarningWrongPassword || code == zip::UnzipWarningBadCrc ||
                    code == zip::UnzipWarningInflateFailed)
            << code;
        refusedByHeader += code == zip::UnzipWarningWrongPassword;
    }
    EXPECT_GE(refusedByHeader, 1);
    EXPECT_FALSE(fs::exists(wrong.file("readme.txt")));
    TempDir none;
    EXPECT_EQ(extract(archive, none.path(), log), 0);
    EXPECT_EQ(log.codes(23), std::vector<int>(4, zip::UnzipWarningEncryptedNoPassword));
}

TEST_F(PeerArchives, SplitWithZipDashS) {
    const std::string archive = zip({"-s", "64k"});
    ASSERT_TRUE(fs::exists(work_.file("out.z01")));
    ASSERT_TRUE(fs::exists(work_.file("out.z02")));
    TempDir out;
    RecordLog log;
    EXPECT_EQ(extract(archive, out.path(), log), 4);
    expectTree(out.path());
    EXPECT_TRUE(log.of(20).empty()) << "parts beside the archive are found without asking";
}

TEST_F(PeerArchives, StubGluedInFrontWithAndWithoutAdjustedOffsets) {
    const std::string archive = zip({"-6"});
    const std::string glued = work_.file("glued.zip");
    WriteAll(glued, std::string(100, 'M') + ReadAll(archive));
    TempDir out;
    RecordLog log;
    EXPECT_EQ(extract(glued, out.path(), log), 4);
    expectTree(out.path());

    ASSERT_EQ(RunTool({"zip", "-q", "-A", glued}, ""), 0);
    TempDir adjusted;
    EXPECT_EQ(extract(glued, adjusted.path(), log), 4);
    expectTree(adjusted.path());
}

TEST_F(PeerArchives, InfoZipUnzipAgreesWithOurListing) {
    const std::string archive = zip({"-9"});
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 7); // 4 files and the directories docs, docs/deep, empty
    std::map<std::string, std::string> crcs;
    for (const auto& r : log.of(21)) {
        const auto f = Fields(r);
        const std::string name = f[1].empty() ? f[2] : f[1] + "/" + f[2];
        crcs[name] = f[11];
    }
    ASSERT_EQ(RunTool({"unzip", "-Z", "-v", archive}, "", work_.file("zipinfo.txt")), 0);
    const std::string info = ReadAll(work_.file("zipinfo.txt"));
    for (const auto& [name, data] : files_) {
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08x", Crc(data));
        EXPECT_EQ(crcs[name], crc) << name;
        EXPECT_NE(info.find(crc), std::string::npos) << name;
    }
}

class PythonArchives : public ::testing::Test {
protected:
    std::string python(const std::string& script) {
        const std::string path = work_.file("make.py");
        WriteAll(path, script);
        EXPECT_EQ(RunTool({"python3", path}, work_.path()), 0);
        return work_.file("py.zip");
    }
    TempDir work_;
};

TEST_F(PythonArchives, DeflatedStoredZip64ExtraAndCommentWithEndSignature) {
    const std::string archive = python(R"(
import zipfile
with zipfile.ZipFile('py.zip', 'w') as z:
    z.writestr(zipfile.ZipInfo('a/deflated.txt', (2020, 5, 17, 13, 45, 30)), 'hello ' * 5000,
               compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('stored.bin', bytes(range(256)) * 10, compress_type=zipfile.ZIP_STORED)
    with z.open('forced64.txt', 'w', force_zip64=True) as f:
        f.write(b'zip64 sized entry')
    z.comment = b'comment with PK\x05\x06 inside it, and a fake record PK\x05\x06\x00\x00'
)");
    TempDir out;
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(out.path().c_str());
    UnzipEngine_RestoreStructure(1);
    EXPECT_EQ(UnzipEngine_Run(), 3);
    std::string hello;
    for (int i = 0; i < 5000; ++i)
        hello += "hello ";
    EXPECT_EQ(ReadAll(out.file("a/deflated.txt")), hello);
    EXPECT_EQ(ReadAll(out.file("forced64.txt")), "zip64 sized entry");
    EXPECT_EQ(ReadAll(out.file("stored.bin")).size(), 2560u);
    // The DOS time, read as local time.
    struct stat st;
    ASSERT_EQ(::stat(out.file("a/deflated.txt").c_str(), &st), 0);
    std::tm tm{};
    const time_t t = st.st_mtime;
    localtime_r(&t, &tm);
    EXPECT_EQ(tm.tm_year + 1900, 2020);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_min, 45);
    EXPECT_EQ(tm.tm_sec, 30);
}

TEST_F(PythonArchives, MoreThan65535EntriesUseTheZip64EndRecord) {
    const std::string archive = python(R"(
import zipfile
with zipfile.ZipFile('py.zip', 'w', compression=zipfile.ZIP_STORED) as z:
    for i in range(70000):
        z.writestr('f%05d' % i, '')
)");
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 70000);
    EXPECT_EQ(UnzipEngine_GetLastError(), 0);
    EXPECT_EQ(UnzipEngine_GetLastWarning(), 0);
}

} // namespace
} // namespace km::test
