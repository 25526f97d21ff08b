// Archives written by the ZipEngine, checked with Info-ZIP unzip and with our own reader.
#include "ZipTestSupport.h"
#include "support/RandomBytes.h"
#include "support/TempDir.h"

#include "archive/zip/CentralDirectory.h"
#include "archive/zip/ZipEngine.h"
#include "archive/zip/ZipPatterns.h"
#include "archive/zip/ZipSfxConfig.h"
#include "archive/zip/ZipSplitSet.h"
#include "support/ScratchFileSystem.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace km::test {
namespace {

namespace fs = std::filesystem;

void StartZip(RecordLog& log) {
    log.records.clear();
    ZipEngine_Initialise();
    ZipEngine_SetParentWindowHandle(nullptr);
    ZipEngine_SetWindowHandle(nullptr);
    ZipEngine_InstallCallbackEx(&LogRecord, reinterpret_cast<uintptr_t>(&log));
}

std::string TextBytes(size_t n) {
    std::string s;
    while (s.size() < n)
        s += "The quick brown fox jumps over the lazy dog " + std::to_string(s.size() % 97) + "\n";
    s.resize(n);
    return s;
}

struct CentralView {
    zip::ZipEntry entry;
    zip::LocalHeader local;
};

// Every entry of an archive with its local header, read straight from the bytes.
std::vector<CentralView> ReadEntries(const std::string& archive) {
    const std::string data = ReadAll(archive);
    std::vector<CentralView> out;
    const size_t end = data.rfind("PK\x05\x06");
    if (end == std::string::npos)
        return out;
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    size_t at = zip::Le32(p + end + 16);
    const unsigned count = zip::Le16(p + end + 10);
    for (unsigned i = 0; i < count; ++i) {
        CentralView v;
        zip::CentralLengths len;
        if (!zip::ParseCentralHeader(p + at, &v.entry, &len))
            break;
        v.entry.name = data.substr(at + 46, len.name);
        zip::ParseLocalHeader(p + v.entry.localHeaderOffset, &v.local);
        out.push_back(v);
        at += 46 + len.name + len.extra + len.comment;
    }
    return out;
}

const CentralView* Find(const std::vector<CentralView>& v, const std::string& name) {
    for (const auto& e : v) {
        if (e.entry.name == name)
            return &e;
    }
    return nullptr;
}

// unzip -t passes, and unzip and our UnzipEngine both extract `files` byte for byte.
void ExpectPeersRead(const std::string& archive, const std::map<std::string, std::string>& files,
                     const std::string& password = "") {
    std::vector<std::string> test = {"unzip", "-t", "-q"};
    if (!password.empty())
        test.insert(test.end(), {"-P", password});
    test.push_back(archive);
    EXPECT_EQ(RunTool(test, ""), 0) << archive;

    TempDir theirs;
    std::vector<std::string> extract = {"unzip", "-q", "-o"};
    if (!password.empty())
        extract.insert(extract.end(), {"-P", password});
    extract.insert(extract.end(), {archive, "-d", theirs.path()});
    EXPECT_EQ(RunTool(extract, ""), 0);

    TempDir ours;
    RecordLog log;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(ours.path().c_str());
    UnzipEngine_RestoreStructure(1);
    UnzipEngine_Decrypt(password.c_str());
    UnzipEngine_Run();
    EXPECT_EQ(UnzipEngine_GetLastError(), 0);
    EXPECT_EQ(UnzipEngine_GetLastWarning(), 0);
    for (const auto& [name, data] : files) {
        EXPECT_EQ(ReadAll(theirs.file(name)), data) << "unzip: " << name;
        EXPECT_EQ(ReadAll(ours.file(name)), data) << "ours: " << name;
    }
}

// 7-Zip's program under either of its Debian names; empty when neither is installed.
std::string SevenZip() {
    for (const char* p : {"/usr/bin/7zz", "/usr/bin/7z"})
        if (::access(p, X_OK) == 0)
            return p;
    return {};
}

// The peers that list and test what we write: Info-ZIP unzip, 7-Zip and bsdtar.
void ExpectEveryPeerTests(const std::string& archive, size_t entries) {
    EXPECT_EQ(RunTool({"unzip", "-t", "-q", archive}, ""), 0) << "unzip";
    const std::string seven = SevenZip();
    if (!seven.empty()) {
        EXPECT_EQ(RunTool({seven, "t", archive}, ""), 0) << "7z";
    }
    if (::access("/usr/bin/bsdtar", X_OK) == 0) {
        const std::string listing = archive + ".list";
        EXPECT_EQ(RunTool({"bsdtar", "-tf", archive}, "", listing), 0) << "bsdtar";
        const std::string names = ReadAll(listing);
        EXPECT_EQ(static_cast<size_t>(std::count(names.begin(), names.end(), '\n')), entries);
    }
}

class ZipWriter : public ::testing::Test {
protected:
    void SetUp() override {
        src = tmp.file("src");
        fs::create_directories(src + "/sub/deeper");
        files["a.txt"] = TextBytes(100000);
        files["b.bin"] = RandomBytes(70000, 1);
        files["empty.txt"] = "";
        files["sub/c.txt"] = TextBytes(5000);
        files["sub/deeper/d.dat"] = RandomBytes(40000, 2) + TextBytes(40000);
        for (const auto& [name, data] : files)
            WriteAll(src + "/" + name, data);
        archive = tmp.file("out.zip");
    }

    // Zips src recursively with names relative to it.
    int64_t ZipSource(const std::function<void()>& extra = {}) {
        StartZip(log);
        ZipEngine_ArchiveName(archive.c_str());
        ZipEngine_Include((src + "/*.*").c_str());
        ZipEngine_Recurse(1);
        ZipEngine_SaveStructure(1);
        ZipEngine_SaveRelativeTo(src.c_str());
        if (extra)
            extra();
        return ZipEngine_Run();
    }

    TempDir tmp;
    std::string src;
    std::string archive;
    std::map<std::string, std::string> files;
    RecordLog log;
};

TEST_F(ZipWriter, UnzipRestoresOurTimesInAnotherZoneToTheSecond) {
    const time_t when = 1700049601; // 12:00:01 UTC: an odd second DOS time cannot hold
    const timespec times[2] = {{when, 0}, {when, 0}};
    for (const auto& [name, data] : files)
        ASSERT_EQ(utimensat(AT_FDCWD, (src + "/" + name).c_str(), times, 0), 0);
    {
        ZoneScope zone("America/St_Johns");
        ASSERT_EQ(ZipSource(), 5);
    }
    const std::string listing = tmp.file("zipinfo.txt");
    ASSERT_EQ(RunTool({"zipinfo", "-v", archive}, "", listing), 0);
    EXPECT_NE(ReadAll(listing).find("2023 Nov 15 12:00:01 UTC"), std::string::npos);
    for (const char* zone : {"Asia/Tokyo", "UTC"}) {
        ZoneScope scope(zone);
        TempDir theirs;
        ASSERT_EQ(RunTool({"unzip", "-q", "-o", archive, "-d", theirs.path()}, ""), 0);
        for (const auto& [name, data] : files) {
            struct stat st;
            ASSERT_EQ(stat(theirs.file(name).c_str(), &st), 0) << name;
            EXPECT_EQ(st.st_mtime, when) << zone << " " << name;
        }
    }
}

TEST(ExtendedTimestamp, EveryLengthIsCheckedAndOnlyTheMtimeIsTaken) {
    using namespace km::zip;
    int64_t t = 0;
    const std::string block = ExtendedTimestampBlock(1700049601);
    ASSERT_EQ(block.size(), 9u);
    EXPECT_TRUE(ExtendedMtime(block, &t));
    EXPECT_EQ(t, 1700049601);
    // Behind another block, and with the local header's flags but only the mtime.
    std::string withFlags = block;
    withFlags[4] = 7;
    EXPECT_TRUE(ExtendedMtime(std::string("\x01\x00\x00\x00", 4) + withFlags, &t));
    // Before 1970 is a signed value.
    EXPECT_TRUE(ExtendedMtime(ExtendedTimestampBlock(-86400), &t));
    EXPECT_EQ(t, -86400);
    EXPECT_TRUE(ExtendedTimestampBlock(int64_t{1} << 32).empty());
    // A block that claims more than is there, or no mtime, or too few bytes for it.
    for (size_t cut = 0; cut < block.size(); ++cut)
        EXPECT_FALSE(ExtendedMtime(block.substr(0, cut), &t)) << cut;
    std::string noMtime = block;
    noMtime[4] = 2;
    EXPECT_FALSE(ExtendedMtime(noMtime, &t));
    const std::string shortBlock("\x55\x54\x04\x00\x01\x01\x02\x03", 8);
    EXPECT_FALSE(ExtendedMtime(shortBlock, &t));
}

TEST_F(ZipWriter, ArchiveReadByUnzipAndOurReaderAtEveryLevel) {
    for (int level = 0; level <= 3; ++level) {
        fs::remove(archive);
        EXPECT_EQ(ZipSource([&] { ZipEngine_SetCompressionLevel(level); }), 5) << level;
        EXPECT_EQ(ZipEngine_GetLastError(), 0);
        ExpectPeersRead(archive, files);
        const auto entries = ReadEntries(archive);
        ASSERT_EQ(entries.size(), 5u);
        const CentralView* a = Find(entries, "a.txt");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->entry.method, level == 0 ? 0 : 8);
        EXPECT_EQ(a->entry.versionNeeded, level == 0 ? 10 : 20);
        if (level != 0) {
            EXPECT_EQ(a->entry.internalAttributes & 1, 1) << "text classified";
        }
        const uint16_t optionBits = level == 1 ? 4 : level == 3 ? 2 : 0;
        EXPECT_EQ(a->entry.flags & 6, optionBits);
        // Written to a seekable file: no descriptor, bit 3 cleared in both headers.
        EXPECT_EQ(a->entry.flags & 8, 0);
        EXPECT_EQ(a->local.flags & 8, 0);
        EXPECT_EQ(a->local.crc, Crc(files["a.txt"]));
    }
    EXPECT_FALSE(log.of(13).empty());
    EXPECT_FALSE(log.of(12).empty());
    ASSERT_EQ(log.of(25).size(), 1u);
    EXPECT_EQ(log.of(26).size(), 1u);
}

TEST_F(ZipWriter, UnixModesLinksAndUtf8NamesAsUnzipReadsThem) {
    WriteAll(src + "/run.sh", "#!/bin/sh\n");
    chmod((src + "/run.sh").c_str(), 0751);
    fs::create_symlink("a.txt", src + "/alias");
    WriteAll(src + "/\xc3\xa9t\xc3\xa9.txt", "summer");
    EXPECT_EQ(ZipSource(), 8);
    const auto entries = ReadEntries(archive);
    const CentralView* utf8 = Find(entries, "\xc3\xa9t\xc3\xa9.txt");
    ASSERT_NE(utf8, nullptr);
    EXPECT_EQ(utf8->entry.flags & 0x800, 0x800);
    EXPECT_EQ(utf8->local.flags & 0x800, 0x800);
    EXPECT_EQ(Find(entries, "a.txt")->entry.flags & 0x800, 0);
    EXPECT_EQ(utf8->entry.versionMadeBy >> 8, 3);

    TempDir out;
    ASSERT_EQ(RunTool({"unzip", "-q", archive, "-d", out.path()}, ""), 0);
    struct stat st;
    ASSERT_EQ(lstat(out.file("run.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0751u);
    EXPECT_EQ(fs::read_symlink(out.file("alias")), "a.txt");
    EXPECT_EQ(ReadAll(out.file("\xc3\xa9t\xc3\xa9.txt")), "summer");
}

TEST_F(ZipWriter, MoreThan65535EntriesGetTheZip64EndRecordBothWays) {
    const std::string many = tmp.file("many");
    fs::create_directory(many);
    constexpr int kFiles = 70000;
    for (int i = 0; i < kFiles; ++i)
        WriteAll(many + "/f" + std::to_string(i), std::to_string(i));
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((many + "/*.*").c_str());
    ZipEngine_SaveStructure(0);
    EXPECT_EQ(ZipEngine_Run(), kFiles);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    ExpectEveryPeerTests(archive, kFiles);

    // The archive is updated in place: one more file, every old entry kept.
    WriteAll(many + "/zz-new", "new");
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((many + "/zz-new").c_str());
    ZipEngine_SaveStructure(0);
    EXPECT_EQ(ZipEngine_Run(), 1);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);

    TempDir out;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(out.path().c_str());
    EXPECT_EQ(UnzipEngine_Run(), kFiles + 1);
    EXPECT_EQ(ReadAll(out.file("f69999")), "69999");
    EXPECT_EQ(ReadAll(out.file("zz-new")), "new");

    // 7-Zip's own archive of the same tree comes out whole as well.
    const std::string seven = SevenZip();
    if (seven.empty())
        GTEST_SKIP() << "7-Zip is not installed";
    const std::string theirs = tmp.file("7z.zip");
    ASSERT_EQ(RunTool({seven, "a", "-tzip", "-mx=1", theirs, "."}, many), 0);
    TempDir back;
    StartUnzip(log);
    UnzipEngine_ArchiveName(theirs.c_str());
    UnzipEngine_ExtractTo(back.path().c_str());
    EXPECT_EQ(UnzipEngine_Run(), kFiles + 1);
    EXPECT_EQ(ReadAll(back.file("f12345")), "12345");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Five GiB through deflate and back is minutes under the sanitizers; the ZIP64 paths it
// takes are the end-record ones above plus the size fields checked here.
TEST_F(ZipWriter, AFileOfFiveGigabytesIsWrittenWithZip64Sizes) {
    const std::string big = src + "/sparse.img";
    const uint64_t size = 5ull << 30;
    {
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
        ASSERT_EQ(::pwrite(fd, "tail", 4, static_cast<off_t>(size - 4)), 4);
        ::close(fd);
    }
    EXPECT_EQ(ZipSource([] { ZipEngine_SetCompressionLevel(1); }), 6);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    const auto entries = ReadEntries(archive);
    const CentralView* e = Find(entries, "sparse.img");
    ASSERT_NE(e, nullptr);
    // Both headers carry saturated sizes, the real ones being in their ZIP64 blocks.
    EXPECT_EQ(e->entry.uncompressedSize, 0xffffffffu);
    EXPECT_EQ(e->local.uncompressedSize, 0xffffffffu);
    EXPECT_EQ(e->entry.versionNeeded, 45);
    EXPECT_EQ(Find(entries, "a.txt")->entry.versionNeeded, 20) << "only where needed";
    ExpectEveryPeerTests(archive, 6);
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 6);
    EXPECT_EQ(UnzipEngine_GetLastWarning(), 0);
}
#endif

TEST_F(ZipWriter, SplitSetInTheFormZipDashSWrites) {
    // Parts of 64 KiB: the random files run across several of them.
    const auto split = [&] {
        ZipEngine_Span(1);
        ZipEngine_SpanCreateImages(1);
        ZipEngine_SpanSizes(64 * 1024, 64 * 1024);
    };
    EXPECT_EQ(ZipSource(split), 5);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    ASSERT_TRUE(fs::exists(tmp.file("out.z01")));
    EXPECT_EQ(ReadAll(tmp.file("out.z01")).substr(0, 4), "PK\x07\x08");
    EXPECT_EQ(fs::file_size(tmp.file("out.z01")), 64u * 1024);
    EXPECT_LE(fs::file_size(archive), 64u * 1024);
    for (const auto& e : fs::directory_iterator(tmp.path()))
        EXPECT_NE(e.path().filename().string().rfind(".km-", 0), 0u) << e.path();

    // Info-ZIP's zip joins it into an archive unzip tests; 7-Zip reads the set itself.
    ASSERT_EQ(RunTool({"zip", "-q", "-s", "0", archive, "--out", tmp.file("joined.zip")}, ""), 0);
    ExpectPeersRead(tmp.file("joined.zip"), files);
    const std::string seven = SevenZip();
    if (!seven.empty()) {
        EXPECT_EQ(RunTool({seven, "t", archive}, ""), 0);
    }
    // And our reader extracts it from its last part.
    TempDir out;
    StartUnzip(log);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(out.path().c_str());
    UnzipEngine_RestoreStructure(1);
    EXPECT_EQ(UnzipEngine_Run(), 5);
    for (const auto& [name, data] : files)
        EXPECT_EQ(ReadAll(out.file(name)), data) << name;

    // A set that fits its first part is a plain archive; parts under 64 KiB are refused.
    fs::remove(archive);
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((src + "/empty.txt").c_str());
    split();
    EXPECT_EQ(ZipEngine_Run(), 1);
    EXPECT_EQ(ReadAll(archive).substr(0, 4), "PK\x03\x04");
    StartZip(log);
    ZipEngine_ArchiveName(tmp.file("tiny.zip").c_str());
    ZipEngine_Include((src + "/a.txt").c_str());
    ZipEngine_Span(1);
    ZipEngine_SpanCreateImages(1);
    ZipEngine_SpanSizes(1000, 1000);
    ZipEngine_Run();
    EXPECT_EQ(ZipEngine_GetLastError(), 16);
}

TEST_F(ZipWriter, StoreListIsCaseSensitiveAndLevelThreeDeflatesAll) {
    WriteAll(src + "/UPPER.ZIP", TextBytes(20000));
    WriteAll(src + "/lower.zip", TextBytes(20000));
    ZipSource();
    auto entries = ReadEntries(archive);
    ASSERT_NE(Find(entries, "UPPER.ZIP"), nullptr);
    EXPECT_EQ(Find(entries, "UPPER.ZIP")->entry.method, 0);
    EXPECT_EQ(Find(entries, "lower.zip")->entry.method, 8);

    fs::remove(archive);
    ZipSource([] { ZipEngine_SetCompressionLevel(3); });
    entries = ReadEntries(archive);
    EXPECT_EQ(Find(entries, "UPPER.ZIP")->entry.method, 8);

    fs::remove(archive);
    ZipSource([] { ZipEngine_Store("|txt|"); });
    entries = ReadEntries(archive);
    EXPECT_EQ(Find(entries, "a.txt")->entry.method, 0);
    EXPECT_EQ(Find(entries, "UPPER.ZIP")->entry.method, 8);
}

TEST_F(ZipWriter, ArchiveInsideTheZippedDirectoryIsNotAdded) {
    archive = src + "/self.zip";
    EXPECT_EQ(ZipSource(), 5);
    // Second run: the archive now exists in the tree and must still not be taken.
    WriteAll(src + "/new.txt", "new");
    EXPECT_EQ(ZipSource(), 6);
    const auto entries = ReadEntries(archive);
    EXPECT_EQ(entries.size(), 6u);
    EXPECT_EQ(Find(entries, "self.zip"), nullptr);
    for (const auto& e : entries)
        EXPECT_EQ(e.entry.name.find("~az"), std::string::npos);
    EXPECT_EQ(RunTool({"unzip", "-t", "-q", archive}, ""), 0);
}

TEST_F(ZipWriter, HiddenFilesOnlyOnRequest) {
    WriteAll(src + "/.hidden", "secret");
    fs::create_directories(src + "/.dotdir");
    WriteAll(src + "/.dotdir/inside.txt", "inside");
    ZipSource();
    auto entries = ReadEntries(archive);
    EXPECT_EQ(entries.size(), 5u);
    EXPECT_EQ(Find(entries, ".hidden"), nullptr);
    EXPECT_EQ(Find(entries, ".dotdir/inside.txt"), nullptr);

    fs::remove(archive);
    ZipSource([] { ZipEngine_IncludeHidden(255); });
    entries = ReadEntries(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].entry.name, ".hidden");
    EXPECT_EQ(entries[0].entry.externalAttributes & 2, 0u) << "hidden bit not saved by default";

    fs::remove(archive);
    ZipSource([] {
        ZipEngine_IncludeHidden(1);
        ZipEngine_SaveAttributes(3);
    });
    entries = ReadEntries(archive);
    EXPECT_EQ(entries.size(), 7u);
    EXPECT_EQ(Find(entries, ".hidden")->entry.externalAttributes & 2, 2u);
}

TEST_F(ZipWriter, EncryptedEntriesCarryDescriptorAndUnzipReadsThem) {
    ZipSource([] { ZipEngine_Encrypt("s3cret"); });
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    const std::string data = ReadAll(archive);
    for (const auto& e : ReadEntries(archive)) {
        EXPECT_EQ(e.entry.flags & 9, 9) << e.entry.name;
        EXPECT_EQ(e.local.flags & 9, 9);
        const size_t descriptor =
            e.entry.localHeaderOffset + 30 + e.entry.name.size() + e.local.extraLength +
            e.entry.compressedSize;
        EXPECT_EQ(data.substr(descriptor, 4), std::string("PK\x07\x08")) << e.entry.name;
        EXPECT_EQ(e.entry.compressedSize, e.local.compressedSize);
    }
    ExpectPeersRead(archive, files, "s3cret");
    EXPECT_NE(RunTool({"unzip", "-t", "-q", "-P", "wrong", archive}, ""), 0);
}

TEST_F(ZipWriter, UpdateKeepsUnchangedEntriesAndReplacesNewerOnes) {
    ZipSource();
    const auto before = ReadEntries(archive);
    const std::string bytesBefore = ReadAll(archive);
    // Nothing changed: nothing to do, and the file is left exactly as it was.
    EXPECT_EQ(ZipSource([] { ZipEngine_Update(1); }), 0);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    EXPECT_EQ(ReadAll(archive), bytesBefore);

    // One newer file: only its entry is rewritten; the others keep their bytes.
    files["sub/c.txt"] = "changed";
    WriteAll(src + "/sub/c.txt", files["sub/c.txt"]);
    const auto later = fs::last_write_time(src + "/sub/c.txt") + std::chrono::seconds(10);
    fs::last_write_time(src + "/sub/c.txt", later);
    EXPECT_EQ(ZipSource([] { ZipEngine_Update(1); }), 1);
    const std::string bytesAfter = ReadAll(archive);
    const auto after = ReadEntries(archive);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].entry.name, before[i].entry.name) << "archive order kept";
        if (after[i].entry.name == "sub/c.txt")
            continue;
        const size_t len = 30 + after[i].entry.name.size() + after[i].entry.compressedSize;
        EXPECT_EQ(bytesAfter.substr(after[i].entry.localHeaderOffset, len),
                  bytesBefore.substr(before[i].entry.localHeaderOffset, len));
    }
    ExpectPeersRead(archive, files);

    // Freshen adds nothing new.
    WriteAll(src + "/fresh.txt", "fresh");
    EXPECT_EQ(ZipSource([] { ZipEngine_Freshen(1); }), 0);
    EXPECT_EQ(Find(ReadEntries(archive), "fresh.txt"), nullptr);
}

TEST_F(ZipWriter, OverwriteQueryDecidesReplacement) {
    ZipSource();
    const std::string bytes = ReadAll(archive);
    log.answer = [](int type, const std::string&) -> uint16_t { return type == 24 ? 3 : 0; };
    ZipSource();
    // "No to all": asked once, everything kept.
    EXPECT_EQ(log.of(24).size(), 1u);
    const auto f = Fields(log.of(24).front());
    ASSERT_GE(f.size(), 7u);
    EXPECT_EQ(f[1], f[4]);
    EXPECT_EQ(ReadAll(archive).size(), bytes.size());
    log.answer = nullptr;
    EXPECT_EQ(ZipSource([] { ZipEngine_Overwrite(11); }), 5);
    EXPECT_TRUE(log.of(24).empty());

    // Without a receiver the engine asks through its host, naming the archive
    // and the entry it holds first, however long the archive's path.
    std::string deep = tmp.path();
    for (int i = 0; i < 15; ++i)
        deep += "/" + std::string(200, static_cast<char>('a' + i));
    fs::create_directories(deep);
    const std::string deepArchive = deep + "/out.zip";
    fs::copy_file(archive, deepArchive);
    struct Host : zip::ZipEngineHost {
        std::vector<std::string> asked;
        int AskOverwrite(const std::string& t) override {
            asked.push_back(t);
            return 4; // No to all
        }
        void ShowMessage(const std::string&, const std::string&) override {}
    } host;
    ZipEngine_Initialise();
    ZipEngine_InstallCallback(nullptr);
    ZipEngine_SetParentWindowHandle(&host);
    ZipEngine_ArchiveName(deepArchive.c_str());
    ZipEngine_Include((src + "/empty.txt").c_str());
    ZipEngine_SaveRelativeTo(src.c_str());
    ZipEngine_SaveStructure(1);
    ZipEngine_Overwrite(10);
    EXPECT_EQ(ZipEngine_Run(), 0);
    ZipEngine_SetParentWindowHandle(nullptr);
    ASSERT_EQ(host.asked.size(), 1u);
    const std::string& q = host.asked[0];
    const std::string head = "A file with this name already exists within the archive " + deepArchive +
                             ". Do you wish to overwrite it?\n\nExisting file: empty.txt\n0 bytes  ";
    EXPECT_EQ(q.substr(0, head.size()), head) << q;
    EXPECT_NE(q.find("\n\nNew file: " + src + "/empty.txt\n0 bytes  "), std::string::npos) << q;
}

TEST_F(ZipWriter, DeleteAndViewSelectByPattern) {
    ZipSource([] { ZipEngine_Comment("kept comment"); });
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include("*.txt");
    ZipEngine_View(1);
    EXPECT_EQ(ZipEngine_Run(), 3);
    EXPECT_EQ(log.of(21).size(), 3u);

    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include("sub/*");
    ZipEngine_Delete(1);
    EXPECT_EQ(ZipEngine_Run(), 2);
    EXPECT_EQ(log.of(18).size(), 2u);
    EXPECT_EQ(log.of(19).size(), 2u);
    const auto entries = ReadEntries(archive);
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(Find(entries, "sub/c.txt"), nullptr);
    files.erase("sub/c.txt");
    files.erase("sub/deeper/d.dat");
    ExpectPeersRead(archive, files);
    const std::string data = ReadAll(archive);
    EXPECT_EQ(data.substr(data.size() - 12), "kept comment");

    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include("nothing*");
    ZipEngine_View(1);
    EXPECT_EQ(ZipEngine_Run(), 0);
    EXPECT_EQ(ZipEngine_GetLastError(), 12);

    // Refused combinations and a missing archive.
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Delete(1);
    ZipEngine_Move(1);
    ZipEngine_Run();
    EXPECT_EQ(ZipEngine_GetLastError(), 16);
    StartZip(log);
    ZipEngine_ArchiveName(tmp.file("missing.zip").c_str());
    ZipEngine_Delete(1);
    ZipEngine_Run();
    EXPECT_EQ(ZipEngine_GetLastError(), 13);
    EXPECT_FALSE(fs::exists(tmp.file("missing.zip")));
}

TEST_F(ZipWriter, MoveDeletesFilesThenEmptiedDirectoriesDeepestFirst) {
    archive = tmp.file("moved");
    EXPECT_EQ(ZipSource([] { ZipEngine_Move(1); }), 5);
    archive += ".ZIP";
    ASSERT_TRUE(fs::exists(archive)) << "name without a dot gets .ZIP";
    ExpectPeersRead(archive, files);
    EXPECT_FALSE(fs::exists(src + "/sub"));
    EXPECT_FALSE(fs::exists(src));
}

TEST_F(ZipWriter, MoveLeavesWhatWasNotZipped) {
    WriteAll(src + "/sub/.keep", "hidden, not zipped");
    ZipSource([] { ZipEngine_Move(1); });
    EXPECT_TRUE(fs::exists(src + "/sub/.keep"));
    EXPECT_FALSE(fs::exists(src + "/sub/c.txt"));
    EXPECT_FALSE(fs::exists(src + "/sub/deeper"));
}

TEST_F(ZipWriter, StructureModesDirectoryEntriesAndFilters) {
    ZipSource([] {
        ZipEngine_SaveStructure(0);
        ZipEngine_Exclude("*.bin|deeper/*");
    });
    auto entries = ReadEntries(archive);
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_NE(Find(entries, "c.txt"), nullptr);
    EXPECT_EQ(Find(entries, "b.bin"), nullptr);
    EXPECT_EQ(Find(entries, "d.dat"), nullptr);

    fs::remove(archive);
    fs::create_directories(src + "/emptydir");
    ZipSource([] { ZipEngine_IncludeDirectoryEntries(1); });
    entries = ReadEntries(archive);
    EXPECT_NE(Find(entries, "sub/"), nullptr);
    EXPECT_NE(Find(entries, "sub/deeper/"), nullptr);
    EXPECT_EQ(Find(entries, "emptydir/"), nullptr);
    EXPECT_EQ(Find(entries, "sub/")->entry.method, 0);
    EXPECT_EQ(RunTool({"unzip", "-t", "-q", archive}, ""), 0);

    fs::remove(archive);
    // Whole paths without the leading separator.
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((src + "/a.txt").c_str());
    ZipEngine_Run();
    entries = ReadEntries(archive);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].entry.name, src.substr(1) + "/a.txt");

    // Date filter: a file from 2001 is older than the given day.
    fs::remove(archive);
    struct utimbuf old = {978350400, 978350400};
    ::utime((src + "/b.bin").c_str(), &old);
    ZipSource([] { ZipEngine_IncludeFilesNewer("2010-01-01"); });
    entries = ReadEntries(archive);
    EXPECT_EQ(entries.size(), 4u);
    EXPECT_EQ(Find(entries, "b.bin"), nullptr);
}

TEST_F(ZipWriter, AListFileOfASelectionAddsExactlyTheSelection) {
    const std::string w = tmp.file("w");
    for (const char* n : {"notes.txt", "NOTES.TXT", "file[1].txt", "dir/keep.txt",
                          "dir/sub/notes.txt", "dir/sub/NOTES.TXT", "other/notes.txt"}) {
        fs::create_directories(fs::path(w + "/" + n).parent_path());
        WriteAll(w + "/" + n, n);
    }
    const std::string list = tmp.file("list");
    WriteAll(list, zip::ZipSelectionListText({w + "/notes.txt", w + "/file[1].txt"}, {w + "/dir"}));
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_IncludeListFile(list.c_str());
    ZipEngine_Recurse(1);
    ZipEngine_SaveStructure(1);
    ZipEngine_SaveRelativeTo(w.c_str());
    ZipEngine_Run();
    std::vector<std::string> names;
    for (const auto& e : ReadEntries(archive))
        names.push_back(e.entry.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dir/keep.txt", "dir/sub/NOTES.TXT",
                                               "dir/sub/notes.txt", "file[1].txt", "notes.txt"}));
}

TEST_F(ZipWriter, AColonIsAnOrdinaryCharacterInANameHere) {
    WriteAll(src + "/a:b.txt", "colon");
    const std::string pattern = src + "/a:*.txt";
    ZipSource([&] { ZipEngine_Include(pattern.c_str()); });
    EXPECT_NE(Find(ReadEntries(archive), "a:b.txt"), nullptr);
    EXPECT_EQ(RunTool({"unzip", "-t", "-q", archive}, ""), 0);
}

TEST_F(ZipWriter, NothingToDoAndSpanningRefused) {
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((src + "/*.none").c_str());
    ZipEngine_Run();
    EXPECT_EQ(ZipEngine_GetLastError(), 13);
    EXPECT_FALSE(fs::exists(archive));

    ZipSource([] { ZipEngine_Span(1); });
    EXPECT_EQ(ZipEngine_GetLastError(), 27);
    ZipSource([] {
        ZipEngine_Span(1);
        ZipEngine_Update(1);
    });
    EXPECT_EQ(ZipEngine_GetLastError(), 16);
    EXPECT_FALSE(fs::exists(archive));
}

TEST_F(ZipWriter, SelfExtractorRunsExtractsAndStartsItsProgram) {
    archive = tmp.file("setup");
    const std::string target = tmp.file("installed");
    ZipSource([&] {
        ZipEngine_BuildSFX(1);
        ZipEngine_SFXRestoreStructure(1);
        ZipEngine_SFXExtractTo(target.c_str());
        ZipEngine_SFXAutoExecute("touch", "\"it ran\"");
    });
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    ASSERT_TRUE(fs::exists(archive)) << "no extension is added to a program";
    struct stat st;
    ASSERT_EQ(stat(archive.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    const std::string data = ReadAll(archive);
    EXPECT_EQ(data.substr(0, 4), "\x7f"
                                 "ELF");
    zip::SfxConfig config;
    ASSERT_TRUE(zip::DecodeSfxConfig(data, &config));
    EXPECT_TRUE(config.restoreStructure);
    EXPECT_EQ(config.extractTo, target);
    EXPECT_EQ(config.program, "touch \"it ran\"");
    // Still a whole ZIP archive to the other tools, without warnings.
    ExpectEveryPeerTests(archive, 5);

    // In a session of its own: no terminal to ask on, as when started from a desktop.
    ASSERT_EQ(RunTool({"setsid", "-w", archive}, tmp.path()), 0);
    for (const auto& [name, bytes] : files)
        EXPECT_EQ(ReadAll(target + "/" + name), bytes) << name;
    EXPECT_TRUE(fs::exists(target + "/it ran")) << "the program starts in the target";
    // Run again with nobody to ask: what is there is kept, never replaced unasked.
    WriteAll(target + "/a.txt", "changed since");
    EXPECT_EQ(RunTool({"setsid", "-w", archive}, tmp.path()), 0);
    EXPECT_EQ(ReadAll(target + "/a.txt"), "changed since");

    // Updated as an ordinary archive, it keeps one block, not two.
    ZipSource([&] {
        ZipEngine_BuildSFX(1);
        ZipEngine_SFXExtractTo(target.c_str());
    });
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    const std::string again = ReadAll(archive);
    size_t blockBytes = 0;
    ASSERT_TRUE(zip::DecodeSfxConfig(again, &config, &blockBytes));
    EXPECT_FALSE(zip::DecodeSfxConfig(again.substr(0, again.size() - blockBytes), &config));
}

TEST(ZipSplitSet, OnRemovableMediaEachPartFillsAMediumAndIsWholeBeforeTheNext) {
    test::ScratchFileSystem stick("256k");
    if (!stick.mounted())
        GTEST_SKIP() << "needs a small file system of its own (root)";
    TempDir shelf;
    std::vector<uint32_t> asked;
    // Taking the medium out: its parts go to the shelf, and the stick is empty again.
    auto swap = [&] {
        for (const auto& e : fs::directory_iterator(stick.path())) {
            fs::copy_file(e.path(), shelf.file(e.path().filename().string()));
            fs::remove(e.path());
        }
    };
    const std::string data = RandomBytes(700 * 1024, 9);
    {
        zip::ZipSplitSet set(stick.file("set.zip"), [&](uint32_t n) {
            for (const auto& e : fs::directory_iterator(stick.path()))
                EXPECT_EQ(e.path().filename().string().rfind(".km-", 0), std::string::npos)
                    << "a part is complete before the medium comes out";
            asked.push_back(n);
            swap();
            return true;
        });
        ASSERT_TRUE(set.Keep(30));
        for (size_t at = 0; at < data.size(); at += 10000)
            ASSERT_TRUE(set.Write(data.data() + at, std::min<size_t>(10000, data.size() - at)));
        ASSERT_TRUE(set.Commit());
    }
    swap();
    EXPECT_GE(asked.size(), 2u);
    for (size_t i = 0; i < asked.size(); ++i)
        EXPECT_EQ(asked[i], i + 2);
    std::string joined;
    for (uint32_t n = 1; n <= asked.size(); ++n) {
        const std::string part = shelf.file(zip::ZipSplitSet::PartName("set.zip", n));
        EXPECT_LE(fs::file_size(part), 256u * 1024);
        joined += ReadAll(part);
    }
    joined += ReadAll(shelf.file("set.zip"));
    EXPECT_EQ(joined, data);

    // Cancel at the change: the first medium keeps its whole part, nothing else is left.
    swap();
    zip::ZipSplitSet cancelled(stick.file("c.zip"), [](uint32_t) { return false; });
    EXPECT_FALSE(cancelled.Write(data.data(), data.size()));
    EXPECT_EQ(cancelled.error(), ECANCELED);
    EXPECT_FALSE(cancelled.Commit());
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(stick.path()))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"c.z01"});
}

TEST(SfxConfig, RoundTripAndDamagedBlocks) {
    zip::SfxConfig c;
    c.restoreStructure = true;
    c.askPassword = true;
    c.extractTo = std::string("/t\xff\x01mp");
    c.program = std::string(300, 'p'); // longer than a text item holds
    const std::string block = zip::EncodeSfxConfig(c);
    zip::SfxConfig back;
    size_t bytes = 0;
    ASSERT_TRUE(zip::DecodeSfxConfig("comment first" + block, &back, &bytes));
    EXPECT_EQ(bytes, block.size());
    EXPECT_TRUE(back.restoreStructure && back.askPassword);
    EXPECT_EQ(back.extractTo, c.extractTo);
    EXPECT_EQ(back.program, std::string(255, 'p'));
    for (size_t cut = 0; cut < block.size() - 2; ++cut) {
        std::string damaged = block;
        damaged.erase(cut, 1); // its stated length no longer fits what is there
        EXPECT_FALSE(zip::DecodeSfxConfig(damaged, &back)) << cut;
    }
    EXPECT_FALSE(zip::DecodeSfxConfig("", &back));
    EXPECT_FALSE(zip::DecodeSfxConfig(std::string("AZ\x09\x03\x00", 5), &back)) << "unknown item";
}

TEST_F(ZipWriter, FailedWriteLeavesTheOldArchiveIntact) {
    ZipSource();
    const std::string bytes = ReadAll(archive);
    files["big.bin"] = RandomBytes(600000, 3);
    WriteAll(src + "/big.bin", files["big.bin"]);
    // A child with a small file-size limit: the temporary archive cannot be completed.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {300000, 300000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        RecordLog childLog;
        StartZip(childLog);
        ZipEngine_ArchiveName(archive.c_str());
        ZipEngine_Include((src + "/*.*").c_str());
        ZipEngine_Recurse(1);
        ZipEngine_SaveStructure(1);
        ZipEngine_SaveRelativeTo(src.c_str());
        ZipEngine_SetCompressionLevel(0);
        ZipEngine_Overwrite(11);
        ZipEngine_Run();
        ::_exit(ZipEngine_GetLastError());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 14);
    EXPECT_EQ(ReadAll(archive), bytes);
    for (const auto& e : fs::directory_iterator(tmp.path()))
        EXPECT_EQ(e.path().filename().string().find("~az"), std::string::npos) << e.path();
}

TEST_F(ZipWriter, AbortKeepsTheOldArchiveAndLinkLoopsEnd) {
    ZipSource();
    const std::string bytes = ReadAll(archive);
    WriteAll(src + "/a.txt", TextBytes(300000));
    fs::create_directory_symlink(src, src + "/sub/loop");
    log.answer = [](int type, const std::string&) -> uint16_t { return type == 12 ? 255 : 0; };
    EXPECT_EQ(ZipSource([] { ZipEngine_Overwrite(11); }), 0);
    EXPECT_EQ(ZipEngine_GetLastError(), 255);
    EXPECT_EQ(ReadAll(archive), bytes);
    EXPECT_TRUE(log.of(25).empty());
    log.answer = nullptr;
    fs::remove(archive);
    // The link back up the tree is stored as the link it is, never searched.
    EXPECT_EQ(ZipSource(), 6);
}

TEST(ZipWriterMemory, MemoryOutputIsWhatTheReaderTakesFromMemory) {
    const std::string plain = TextBytes(50000);
    for (int level : {0, 2}) {
        std::vector<uint8_t> packed(60000);
        RecordLog log;
        StartZip(log);
        ZipEngine_FromMemory(plain.data(), plain.size());
        ZipEngine_ToMemory(packed.data(), packed.size());
        ZipEngine_SetCompressionLevel(level);
        const int64_t n = ZipEngine_Run();
        ASSERT_GT(n, 14) << level;
        EXPECT_EQ(packed[1], level == 0 ? 0 : 8);
        std::string back(plain.size(), '\0');
        StartUnzip(log);
        EXPECT_EQ(
            UnzipEngine_InMemory(packed.data(), static_cast<size_t>(n), back.data(), back.size()),
            static_cast<int64_t>(plain.size()));
        EXPECT_EQ(back, plain);
    }
    // Too small a buffer is a full disk, not a cut entry.
    std::vector<uint8_t> tiny(100);
    RecordLog log;
    StartZip(log);
    ZipEngine_FromMemory(plain.data(), plain.size());
    ZipEngine_ToMemory(tiny.data(), tiny.size());
    ZipEngine_SetCompressionLevel(0);
    EXPECT_EQ(ZipEngine_Run(), 0);
    EXPECT_EQ(ZipEngine_GetLastError(), 14);
}

TEST_F(ZipWriter, ChangesArchivesWrittenByInfoZip) {
    ASSERT_EQ(RunTool({"zip", "-q", "-r", archive, "."}, src), 0);
    WriteAll(src + "/added.txt", "added");
    files["added.txt"] = "added";
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((src + "/added.txt").c_str());
    ZipEngine_SaveStructure(1);
    ZipEngine_SaveRelativeTo(src.c_str());
    EXPECT_EQ(ZipEngine_Run(), 1);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    ExpectPeersRead(archive, files);
}

TEST_F(ZipWriter, ChangesArchivesEndingInZip64Records) {
    // Streaming writers (Info-ZIP reading a pipe among them) end small archives this way; the
    // entries need no ZIP64 fields, so the archive can be changed like any other.
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("old.txt", "old entry"));
    b.zip64End = true;
    WriteAll(archive, b.Build());
    WriteAll(src + "/added.txt", "added");
    StartZip(log);
    ZipEngine_ArchiveName(archive.c_str());
    ZipEngine_Include((src + "/added.txt").c_str());
    ZipEngine_SaveStructure(1);
    ZipEngine_SaveRelativeTo(src.c_str());
    EXPECT_EQ(ZipEngine_Run(), 1);
    EXPECT_EQ(ZipEngine_GetLastError(), 0);
    ExpectPeersRead(archive, {{"old.txt", "old entry"}, {"added.txt", "added"}});
}

} // namespace
} // namespace km::test
