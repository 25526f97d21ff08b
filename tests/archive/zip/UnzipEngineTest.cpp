// The engine's behaviour on hand-made archives: selection, overwrite rules, names that try
// to leave the target, damaged data, memory input and output, aborts.
#include "ZipTestSupport.h"
#include "support/TempDir.h"

#include "archive/zip/ZipErrorTexts.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <zlib.h>

namespace km::test {
namespace {

namespace fs = std::filesystem;
using Entry = ZipBuilder::Entry;

std::string Deflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(compressBound(data.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Entry Deflated(const std::string& name, const std::string& data) {
    Entry e = ZipBuilder::Stored(name, data);
    e.data = Deflate(data);
    e.method = 8;
    return e;
}

class UnzipEngine : public ::testing::Test {
protected:
    std::string write(const ZipBuilder& b, const std::string& name = "a.zip") {
        const std::string path = work_.file(name);
        WriteAll(path, b.Build());
        return path;
    }
    // Extracts with RestoreStructure into the target directory.
    int64_t extract(const std::string& archive, bool restore = true) {
        StartUnzip(log_);
        UnzipEngine_ArchiveName(archive.c_str());
        UnzipEngine_ExtractTo(target_.path().c_str());
        UnzipEngine_RestoreStructure(restore);
        return UnzipEngine_Run();
    }
    std::vector<std::string> listing(const std::string& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            names.push_back(fs::relative(e.path(), dir).string());
        std::sort(names.begin(), names.end());
        return names;
    }
    TempDir work_;
    TempDir target_;
    RecordLog log_;
};

TEST_F(UnzipEngine, CommentHoldingTheEndSignatureAndDataInFront) {
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("one.txt", "first"));
    b.Add(Deflated("two.txt", std::string(5000, 'z')));
    // A whole fake end record inside the comment that does not end at the end of the file.
    b.comment = std::string("PK\x05\x06\x00\x00\x00\x00\x09\x00\x09\x00", 12) + "tail of comment";
    b.prefix = std::string(100, '\x7f');
    EXPECT_EQ(extract(write(b)), 2);
    EXPECT_EQ(ReadAll(target_.file("one.txt")), "first");
    EXPECT_EQ(ReadAll(target_.file("two.txt")), std::string(5000, 'z'));
}

TEST_F(UnzipEngine, StarDotVersusStarDotStarAndClasses) {
    ZipBuilder b;
    for (const char* n : {"README", "readme.txt", "dir/Makefile", "file[1].txt", "file1.txt"})
        b.Add(ZipBuilder::Stored(n, n));
    const std::string archive = write(b);
    auto viewed = [&](const char* pattern, bool restore) {
        StartUnzip(log_);
        UnzipEngine_ArchiveName(archive.c_str());
        UnzipEngine_View(1);
        UnzipEngine_RestoreStructure(restore);
        UnzipEngine_Include(pattern);
        UnzipEngine_Run();
        std::vector<std::string> names;
        for (const auto& r : log_.of(21))
            names.push_back(Fields(r)[2]);
        return names;
    };
    EXPECT_EQ(viewed("*.", false), (std::vector<std::string>{"README", "Makefile"}));
    EXPECT_EQ(viewed("*.*", false).size(), 5u);
    EXPECT_EQ(viewed("readme", false), (std::vector<std::string>{"README"}));
    // With RestoreStructure a pattern without a directory sees only the last component.
    EXPECT_EQ(viewed("makefile", true), (std::vector<std::string>{"Makefile"}));
    EXPECT_TRUE(viewed("makefile", false).empty());
    // A name with brackets is not matched by itself; the class matches "file1.txt".
    EXPECT_EQ(viewed("file[1].txt", false), (std::vector<std::string>{"file1.txt"}));
    EXPECT_EQ(viewed("file[[]1].txt", false), (std::vector<std::string>{"file[1].txt"}));
}

TEST_F(UnzipEngine, ANamesFileExtractsExactlyThoseNames) {
    ZipBuilder b;
    for (const char* n : {"file[1].txt", "file1.txt", ";notes", "dir/A.txt", "dir/a.txt"})
        b.Add(ZipBuilder::Stored(n, n));
    const std::string archive = write(b);
    const std::string names = work_.file("names");
    WriteAll(names, "file[1].txt\n;notes\ndir/a.txt\n");
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_RestoreStructure(1);
    UnzipEngine_IncludeNamesFile(names.c_str());
    EXPECT_EQ(UnzipEngine_Run(), 3);
    EXPECT_EQ(listing(target_.path()),
              (std::vector<std::string>{";notes", "dir", "dir/a.txt", "file[1].txt"}));
    EXPECT_EQ(ReadAll(target_.file(";notes")), ";notes");
}

Entry MadeOn(unsigned host, Entry e) {
    e.madeBy = host << 8 | 30;
    return e;
}

TEST_F(UnzipEngine, NamesKeepEveryByteButSlashAndBackslashSeparatesOnlyFromDosHosts) {
    ZipBuilder b;
    b.Add(MadeOn(3, ZipBuilder::Stored("a:b.txt", "1")));
    b.Add(MadeOn(3, ZipBuilder::Stored("dir:/c.txt", "2")));
    b.Add(MadeOn(3, ZipBuilder::Stored("q?<x>|\"*\x01.txt", "3")));
    b.Add(MadeOn(3, ZipBuilder::Stored("back\\slash.txt", "4")));
    b.Add(MadeOn(3, ZipBuilder::Stored("C:/drive.txt", "5")));
    b.Add(MadeOn(0, ZipBuilder::Stored("dos\\sub.txt", "6")));
    b.Add(MadeOn(11, ZipBuilder::Stored("ntfs\\sub.txt", "7")));
    b.Add(MadeOn(14, ZipBuilder::Stored("vfat\\sub:x.txt", "8")));
    b.Add(MadeOn(0, ZipBuilder::Stored("D:\\dosdrive.txt", "9")));
    EXPECT_EQ(extract(write(b)), 9);
    EXPECT_EQ(listing(target_.path()),
              (std::vector<std::string>{"C:", "C:/drive.txt", "a:b.txt", "back\\slash.txt", "dir:",
                                        "dir:/c.txt", "dos", "dos/sub.txt", "dosdrive.txt",
                                        "ntfs", "ntfs/sub.txt", "q?<x>|\"*\x01.txt", "vfat",
                                        "vfat/sub:x.txt"}));
    EXPECT_EQ(ReadAll(target_.file("back\\slash.txt")), "4");
    EXPECT_EQ(ReadAll(target_.file("q?<x>|\"*\x01.txt")), "3");
}

TEST_F(UnzipEngine, NamesCannotLeaveTheTarget) {
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("../escape1.txt", "1"));
    b.Add(ZipBuilder::Stored("/tmp/escape2.txt", "2"));
    b.Add(ZipBuilder::Stored("a/../../escape3.txt", "3"));
    b.Add(ZipBuilder::Stored("C:\\escape4.txt", "4"));
    b.Add(ZipBuilder::Stored("..", "5"));
    EXPECT_EQ(extract(write(b)), 4);
    EXPECT_EQ(listing(target_.path()),
              (std::vector<std::string>{"a", "a/escape3.txt", "escape1.txt", "escape4.txt", "tmp",
                                        "tmp/escape2.txt"}));
    EXPECT_EQ(log_.codes(23), std::vector<int>{zip::UnzipWarningInvalidFilename});
    EXPECT_FALSE(fs::exists(fs::path(target_.path()).parent_path() / "escape1.txt"));
}

TEST_F(UnzipEngine, SymbolicLinksInTheTargetAreNotFollowed) {
    TempDir outside;
    WriteAll(outside.file("victim.txt"), "keep");
    fs::create_directory_symlink(outside.path(), target_.file("linkdir"));
    fs::create_symlink(outside.file("victim.txt"), target_.file("linkfile"));
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("linkdir/victim.txt", "overwritten"));
    b.Add(ZipBuilder::Stored("linkfile", "replaces the link"));
    StartUnzip(log_);
    UnzipEngine_ArchiveName(write(b).c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_RestoreStructure(1);
    UnzipEngine_Overwrite(11);
    EXPECT_EQ(UnzipEngine_Run(), 1);
    EXPECT_EQ(log_.codes(23), std::vector<int>{zip::UnzipWarningCantOpenOutput});
    EXPECT_EQ(ReadAll(outside.file("victim.txt")), "keep");
    EXPECT_FALSE(fs::is_symlink(target_.file("linkfile")));
    EXPECT_EQ(ReadAll(target_.file("linkfile")), "replaces the link");
}

TEST_F(UnzipEngine, OverwriteQuestionAndItsAnswers) {
    ZipBuilder b;
    for (const char* n : {"a.txt", "b.txt", "c.txt"})
        b.Add(ZipBuilder::Stored(n, std::string("new ") + n));
    const std::string archive = write(b);
    auto prepare = [&] {
        for (const char* n : {"a.txt", "b.txt", "c.txt"})
            WriteAll(target_.file(n), "old");
    };
    // 0 overwrites this one; 3 keeps it and all further ones without asking.
    prepare();
    int asked = 0;
    log_.answer = [&](int type, const std::string&) -> uint16_t {
        return type == 24 ? (asked++ == 0 ? 0 : 3) : 0;
    };
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    EXPECT_EQ(UnzipEngine_Run(), 1);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ReadAll(target_.file("a.txt")), "new a.txt");
    EXPECT_EQ(ReadAll(target_.file("c.txt")), "old");
    const auto q = Fields(log_.of(24)[0]);
    EXPECT_EQ(q[1], target_.file("a.txt"));
    EXPECT_EQ(q[2], "3");
    EXPECT_EQ(q[4], q[1]);
    EXPECT_EQ(q[5], "9");
    EXPECT_EQ(q[6], " 1 January 2025 12:00");

    // 1 overwrites all; 12 never overwrites; 255 aborts.
    prepare();
    asked = 0;
    log_.answer = [&](int type, const std::string&) -> uint16_t {
        return type == 24 ? (++asked, 1) : 0;
    };
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    EXPECT_EQ(UnzipEngine_Run(), 3);
    EXPECT_EQ(asked, 1);

    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_Overwrite(12);
    prepare();
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_TRUE(log_.of(24).empty());
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorNothingToDo);

    log_.answer = [](int type, const std::string&) -> uint16_t { return type == 24 ? 255 : 0; };
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(UnzipEngine_GetLastError(), 255);
    EXPECT_EQ(log_.of(24).size(), 1u);
}

TEST_F(UnzipEngine, FreshenExtractsMissingFilesAndReplacesOnlyOlderOnes) {
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("missing.txt", "m"));
    b.Add(ZipBuilder::Stored("older.txt", "newer entry"));
    b.Add(ZipBuilder::Stored("newer.txt", "older entry"));
    WriteAll(target_.file("older.txt"), "old file");
    WriteAll(target_.file("newer.txt"), "new file");
    const struct timespec old[2] = {{946684800, 0}, {946684800, 0}}; // 2000-01-01
    ::utimensat(AT_FDCWD, target_.file("older.txt").c_str(), old, 0);
    StartUnzip(log_);
    UnzipEngine_ArchiveName(write(b).c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_Freshen(1);
    EXPECT_EQ(UnzipEngine_Run(), 2);
    EXPECT_TRUE(log_.of(24).empty());
    EXPECT_EQ(ReadAll(target_.file("missing.txt")), "m");
    EXPECT_EQ(ReadAll(target_.file("older.txt")), "newer entry");
    EXPECT_EQ(ReadAll(target_.file("newer.txt")), "new file");
}

TEST_F(UnzipEngine, FailedEntriesLeaveNoPartialFileAndKeepTheOldOne) {
    ZipBuilder b;
    Entry bad = Deflated("bad.txt", std::string(100000, 'q'));
    bad.crc ^= 1;
    b.Add(bad);
    Entry cut = Deflated("cut.txt", std::string(100000, 'r'));
    cut.data.resize(cut.data.size() / 2);
    b.Add(cut);
    WriteAll(target_.file("bad.txt"), "precious");
    StartUnzip(log_);
    UnzipEngine_ArchiveName(write(b).c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_Overwrite(11);
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(log_.codes(23),
              (std::vector<int>{zip::UnzipWarningBadCrc, zip::UnzipWarningInflateFailed}));
    EXPECT_EQ(ReadAll(target_.file("bad.txt")), "precious");
    EXPECT_EQ(listing(target_.path()), std::vector<std::string>{"bad.txt"});
}

TEST_F(UnzipEngine, AbortDuringAnEntryAndTheErrorRecordAnswer) {
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("big.bin", std::string(200000, 'b')));
    const std::string archive = write(b);
    // 255 to a progress record: error 255, exactly one error record, no file.
    log_.answer = [](int type, const std::string&) -> uint16_t {
        return type == 14 || type == 22 ? 255 : 0;
    };
    EXPECT_EQ(extract(archive), 0);
    EXPECT_EQ(log_.codes(22), std::vector<int>{255});
    EXPECT_EQ(UnzipEngine_GetLastError(), 255);
    EXPECT_TRUE(listing(target_.path()).empty());

    // The abort request set from inside the callback works the same way.
    log_.answer = [](int type, const std::string&) -> uint16_t {
        if (type == 14)
            UnzipEngine_Abort(1);
        return 0;
    };
    EXPECT_EQ(extract(archive), 0);
    EXPECT_EQ(log_.codes(22), std::vector<int>{255});
    // The last error survives the reset of the options, and the next run has the defaults.
    EXPECT_EQ(UnzipEngine_GetLastError(), 255);
    EXPECT_EQ(UnzipEngine_Run(), -1);
}

TEST_F(UnzipEngine, DamagedArchivesGiveTheirCodes) {
    ZipBuilder b;
    b.Add(Deflated("text.txt", std::string(20000, 't')));
    b.Add(ZipBuilder::Stored("plain.txt", "plain data"));
    const std::string good = b.Build();
    auto run = [&](const std::string& bytes) {
        WriteAll(work_.file("d.zip"), bytes);
        StartUnzip(log_);
        UnzipEngine_ArchiveName(work_.file("d.zip").c_str());
        UnzipEngine_Test(1);
        return UnzipEngine_Run();
    };
    // Truncated: no end record.
    EXPECT_EQ(run(good.substr(0, good.size() - 30)), 0);
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorInvalidArchive);
    // A flipped byte in the stored data: CRC; in the deflated data: CRC or inflate failure.
    std::string flipped = good;
    flipped[good.find("plain data")] ^= 0x20;
    EXPECT_EQ(run(flipped), 1);
    EXPECT_EQ(log_.codes(23), std::vector<int>{zip::UnzipWarningBadCrc});
    flipped = good;
    flipped[40] ^= 0x55;
    EXPECT_EQ(run(flipped), 1);
    ASSERT_EQ(log_.codes(23).size(), 1u);
    // A central directory offset pointing nowhere.
    std::string moved = good;
    moved[moved.size() - 6] ^= 0x01;
    EXPECT_EQ(run(moved), 0);
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorInvalidCentralDirectory);
    // A missing archive.
    StartUnzip(log_);
    UnzipEngine_ArchiveName(work_.file("nothing").c_str());
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorArchiveNotFound);
    EXPECT_NE(log_.of(22).at(0).find("nothing.ZIP|"), std::string::npos);
}

TEST_F(UnzipEngine, HostileSizesAndCountsAreCheckedAgainstTheFile) {
    ZipBuilder b;
    Entry huge = ZipBuilder::Stored("huge.bin", "tiny");
    huge.zip64 = true;
    huge.uncompressed = 1ull << 40;
    b.Add(huge);
    Entry future = ZipBuilder::Stored("future.txt", "x");
    future.versionNeeded = 63;
    b.Add(future);
    Entry odd = ZipBuilder::Stored("odd.txt", "x");
    odd.method = 12;
    b.Add(odd);
    std::string bytes = b.Build();
    EXPECT_EQ(extract(write(b)), 0);
    EXPECT_EQ(log_.codes(23),
              (std::vector<int>{zip::UnzipWarningNeedNewerVersion, zip::UnzipWarningUnknownMethod,
                                zip::UnzipWarningInvalidEntry}));
    // An end record that claims 65535 entries in a directory of three.
    const size_t end = bytes.size() - 22;
    bytes[end + 8] = bytes[end + 9] = bytes[end + 10] = bytes[end + 11] = '\xff';
    WriteAll(work_.file("count.zip"), bytes);
    StartUnzip(log_);
    UnzipEngine_ArchiveName(work_.file("count.zip").c_str());
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 3);
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorInvalidCentralDirectory);
}

TEST_F(UnzipEngine, Zip64FieldsGiveSixtyFourBitSizesInTheRecords) {
    ZipBuilder b;
    Entry e = ZipBuilder::Stored("z.txt", "zip64 body");
    e.zip64 = true;
    e.versionNeeded = 45;
    b.Add(e);
    b.zip64End = true;
    EXPECT_EQ(extract(write(b)), 1);
    EXPECT_EQ(ReadAll(target_.file("z.txt")), "zip64 body");
    // The view record of a 5 GiB entry.
    ZipBuilder big;
    Entry v = ZipBuilder::Stored("v.bin", "");
    v.zip64 = true;
    v.uncompressed = 5ull << 30;
    big.Add(v);
    StartUnzip(log_);
    UnzipEngine_ArchiveName(write(big, "big.zip").c_str());
    UnzipEngine_View(1);
    EXPECT_EQ(UnzipEngine_Run(), 1);
    EXPECT_EQ(Fields(log_.of(21)[0])[3], "5368709120");
}

TEST_F(UnzipEngine, AttributesTimesAndDirectories) {
    ZipBuilder b;
    Entry ro = ZipBuilder::Stored("sub/ro.txt", "read only");
    ro.external = 0x01 | 0x02; // read-only, hidden
    b.Add(ro);
    Entry dir = ZipBuilder::Stored("empty/", "");
    dir.external = 0x10;
    b.Add(dir);
    const std::string archive = write(b);
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_RestoreStructure(1);
    UnzipEngine_RestoreAttributes(39);
    EXPECT_EQ(UnzipEngine_Run(), 1);
    EXPECT_TRUE(fs::is_directory(target_.file("empty")));
    struct stat st;
    ASSERT_EQ(::stat(target_.file("sub/ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    char text[16] = {};
    const ssize_t n =
        ::getxattr(target_.file("sub/ro.txt").c_str(), "user.DOSATTRIB", text, sizeof text);
    if (n >= 0 || errno != ENOTSUP) {
        EXPECT_STREQ(text, "0x22");
    }
    // Read-only is replaced too (RestoreAttributes 0 restores nothing); no structure: flat.
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_RestoreAttributes(0);
    UnzipEngine_Overwrite(11);
    EXPECT_EQ(UnzipEngine_Run(), 1);
    ASSERT_EQ(::stat(target_.file("ro.txt").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & 0200, 0u);
}

Entry MadeOnUnix(Entry e, uint32_t mode) {
    e.madeBy = 3 << 8 | 30;
    e.external = mode << 16;
    return e;
}

TEST_F(UnzipEngine, UnixModesAndLinksComeBackWithoutSetUidAndNothingIsWrittenThroughALink) {
    const mode_t mask = umask(022);
    ZipBuilder b;
    b.Add(MadeOnUnix(ZipBuilder::Stored("configure", "#!/bin/sh\n"), 0100755));
    b.Add(MadeOnUnix(ZipBuilder::Stored("secret", "s"), 0100600));
    b.Add(MadeOnUnix(ZipBuilder::Stored("su", "x"), 0106777)); // set-uid, set-gid, all write
    b.Add(MadeOnUnix(ZipBuilder::Stored("lib.so", "libreal.so.1"), 0120777));
    b.Add(MadeOnUnix(ZipBuilder::Stored("out", "../../outside"), 0120777));
    // An entry below the link that points out: it must not land outside.
    b.Add(MadeOnUnix(ZipBuilder::Stored("out/escaped.txt", "gotcha"), 0100644));
    // The same through a link whose target exists, which code following links would use.
    TempDir away;
    b.Add(MadeOnUnix(ZipBuilder::Stored("away", away.path()), 0120777));
    b.Add(MadeOnUnix(ZipBuilder::Stored("away/escaped.txt", "gotcha"), 0100644));
    b.Add(ZipBuilder::Stored("dos.txt", "d")); // made on DOS: the usual mode
    EXPECT_EQ(extract(write(b)), 7);
    EXPECT_TRUE(fs::is_empty(away.path()));
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(target_.file("configure").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    ASSERT_EQ(stat(target_.file("secret").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(stat(target_.file("su").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u); // the umask applies, the special bits do not
    ASSERT_EQ(stat(target_.file("dos.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    EXPECT_EQ(fs::read_symlink(target_.file("lib.so")), "libreal.so.1");
    EXPECT_EQ(fs::read_symlink(target_.file("out")), "../../outside");
    EXPECT_FALSE(fs::exists(fs::path(target_.path()).parent_path().parent_path() / "outside"));
    EXPECT_EQ(log_.codes(23), (std::vector<int>{zip::UnzipWarningCantOpenOutput,
                                                zip::UnzipWarningCantOpenOutput}));

    // A link obeys the overwrite rules of a file: kept when the answer is no.
    StartUnzip(log_);
    UnzipEngine_ArchiveName(work_.file("a.zip").c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_Overwrite(12);
    UnzipEngine_Include("lib.so");
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(fs::read_symlink(target_.file("lib.so")), "libreal.so.1");
}

TEST_F(UnzipEngine, ALinkEntryNeverReplacesAReadOnlyFile) {
    WriteAll(target_.file("keep.txt"), "old");
    ::chmod(target_.file("keep.txt").c_str(), 0444);
    ZipBuilder b;
    b.Add(MadeOnUnix(ZipBuilder::Stored("keep.txt", "elsewhere"), 0120777));
    StartUnzip(log_);
    UnzipEngine_ArchiveName(write(b).c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_Overwrite(11);
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(log_.codes(23), std::vector<int>{zip::UnzipWarningCantOpenOutput});
    EXPECT_FALSE(fs::is_symlink(target_.file("keep.txt")));
    EXPECT_EQ(ReadAll(target_.file("keep.txt")), "old");
}

TEST_F(UnzipEngine, NamesWithoutTheUtf8FlagAreCodePage437) {
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("caf\x82.txt", "dos")); // 0x82 is e-acute in code page 437
    Entry flagged = ZipBuilder::Stored("na\xc3\xafve.txt", "utf8");
    flagged.flags = 0x800;
    b.Add(flagged);
    b.Add(MadeOnUnix(ZipBuilder::Stored("\xd0\x96.txt", "unix"), 0100644)); // valid UTF-8
    EXPECT_EQ(extract(write(b)), 3);
    EXPECT_EQ(ReadAll(target_.file("caf\xc3\xa9.txt")), "dos");
    EXPECT_EQ(ReadAll(target_.file("na\xc3\xafve.txt")), "utf8");
    EXPECT_EQ(ReadAll(target_.file("\xd0\x96.txt")), "unix");
}

TEST_F(UnzipEngine, MemoryInputAndOutput) {
    const std::string plain(70000, 'm');
    const std::string packed = Deflate(plain);
    std::string input(14, '\0');
    input[1] = 8;
    zip::PutLe32(reinterpret_cast<uint8_t*>(input.data()) + 2, Crc(plain));
    zip::PutLe32(reinterpret_cast<uint8_t*>(input.data()) + 6,
                 static_cast<uint32_t>(packed.size()));
    zip::PutLe32(reinterpret_cast<uint8_t*>(input.data()) + 10,
                 static_cast<uint32_t>(plain.size()));
    input += packed;
    std::string output(plain.size() + 1, 'x');
    StartUnzip(log_);
    EXPECT_EQ(UnzipEngine_InMemory(input.data(), input.size(), output.data(), output.size()),
              static_cast<int64_t>(plain.size()));
    EXPECT_EQ(output.substr(0, plain.size()), plain);
    EXPECT_EQ(output.back(), '\0');
    // What does not fit is dropped.
    std::string small(100, 'x');
    EXPECT_EQ(UnzipEngine_InMemory(input.data(), input.size(), small.data(), small.size()), 100);
    // Memory input tested; a header that promises more than there is.
    RecordLog& log = log_;
    StartUnzip(log);
    UnzipEngine_FromMemory(input.data(), input.size());
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 1);
    EXPECT_EQ(log.of(17).size(), 1u);
    StartUnzip(log);
    UnzipEngine_FromMemory(input.data(), input.size() - 1);
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorUnexpectedEnd);

    // A file archive into memory: every selected entry's data, one after the other.
    ZipBuilder b;
    b.Add(ZipBuilder::Stored("1", "abc"));
    b.Add(Deflated("2", "defg"));
    std::string out(16, 'x');
    StartUnzip(log);
    UnzipEngine_ArchiveName(write(b).c_str());
    UnzipEngine_ToMemory(out.data(), out.size());
    EXPECT_EQ(UnzipEngine_Run(), 7);
    EXPECT_EQ(out.substr(0, 8), std::string("abcdefg\0", 8));
}

TEST_F(UnzipEngine, ArchiveImageReadsAsTheFileWould) {
    ZipBuilder b;
    b.prefix = std::string(50, '\x7f');
    b.Add(ZipBuilder::Stored("1", "abc"));
    b.Add(Deflated("2", "defg"));
    b.comment = "image comment";
    const std::string bytes = b.Build();
    std::string out(16, 'x');
    StartUnzip(log_);
    UnzipEngine_ArchiveImage(bytes.data(), bytes.size());
    UnzipEngine_ToMemory(out.data(), out.size());
    EXPECT_EQ(UnzipEngine_Run(), 7);
    EXPECT_EQ(out.substr(0, 8), std::string("abcdefg\0", 8));
    ASSERT_EQ(log_.of(11).size(), 1u);
    EXPECT_NE(log_.of(11)[0].find("image comment"), std::string::npos);

    StartUnzip(log_);
    UnzipEngine_ArchiveImage(bytes.data(), bytes.size());
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 2);
    EXPECT_EQ(log_.of(17).size(), 2u);
    // Cut into its end record, the image fails as the file would.
    StartUnzip(log_);
    UnzipEngine_ArchiveImage(bytes.data(), bytes.size() - 30);
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(UnzipEngine_GetLastError(), zip::UnzipErrorInvalidArchive);
}

TEST_F(UnzipEngine, EncryptedEntriesByHand) {
    ZipBuilder b;
    b.Add(ZipBuilder::Encrypted("s.txt", "secret text", "pw"));
    const std::string archive = write(b);
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_ExtractTo(target_.path().c_str());
    UnzipEngine_Decrypt("pw");
    EXPECT_EQ(UnzipEngine_Run(), 1);
    EXPECT_EQ(ReadAll(target_.file("s.txt")), "secret text");
    StartUnzip(log_);
    UnzipEngine_ArchiveName(archive.c_str());
    UnzipEngine_Test(1);
    EXPECT_EQ(UnzipEngine_Run(), 0);
    EXPECT_EQ(log_.codes(23), std::vector<int>{zip::UnzipWarningEncryptedNoPassword});
    // The message box the program builds from that warning.
    EXPECT_EQ(zip::ZipMessageBoxText(1, true, "s.txt", 12),
              "Unzip problem s.txt: file is encrypted");
}

} // namespace
} // namespace km::test
