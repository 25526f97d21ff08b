// The listing and extraction passes on cabinets made here: overwrite answers, cancel, stored
// paths, hostile names, and damaged cabinets with the messages the browser shows.
#include "archive/cab/CabReader.h"
#include "CabTestSupport.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace {

using km::test::CabMember;
using km::test::MakeCabinet;
using km::test::ScriptedSink;
namespace fs = std::filesystem;

std::string Noise(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    // Compressible but not trivial: words from a small alphabet.
    for (auto& c : s)
        c = static_cast<char>("abcdefgh \n"[rng() % 10]);
    return s;
}

std::vector<std::string> Leftovers(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.path().filename().string().rfind(".km-cab-", 0) == 0)
            out.push_back(e.path().string());
    }
    return out;
}

int Extract(const std::string& cab, const std::string& target, ScriptedSink& sink,
            std::string& error, bool restorePaths = false) {
    km::ArchiveExtractOptions options{target, restorePaths, false};
    return km::cab::ExtractCabinet(cab, options, sink, error);
}

TEST(CabReader, LargeFilesAcrossBlocksMatchCabextract) {
    km::test::TempDir dir;
    const std::vector<CabMember> members = {{"big.txt", Noise(200000, 1)},
                                            {"small.bin", std::string("\0\1\2", 3)},
                                            {"second.txt", Noise(70000, 2)}};
    for (bool mszip : {false, true}) {
        const std::string cab = dir.file(mszip ? "mszip.cab" : "stored.cab");
        km::test::WriteAll(cab, MakeCabinet(members, mszip));
        const std::string out = dir.file(mszip ? "out-mszip" : "out-stored");
        fs::create_directory(out);
        ScriptedSink sink;
        std::string error;
        ASSERT_EQ(Extract(cab, out, sink, error), km::cab::kCabOk) << error;
        for (const auto& m : members)
            EXPECT_EQ(km::test::ReadAll(out + "/" + m.name), m.data) << m.name;

        // The peer agrees that the cabinet says what we read from it.
        if (km::test::HavePeer("cabextract")) {
            const std::string peer = out + "-peer";
            fs::create_directory(peer);
            ASSERT_EQ(km::test::RunPeer({"cabextract", "-q", "-d", peer, cab}), 0);
            for (const auto& m : members)
                EXPECT_EQ(km::test::ReadAll(peer + "/" + m.name), m.data) << m.name;
        }
    }
}

TEST(CabReader, TimesAreLocalDosTimesInUtcAndSetOnTheOutput) {
    km::test::TempDir dir;
    km::test::WriteAll(dir.file("t.cab"), MakeCabinet({{"a.txt", "abc"}}, false));
    ScriptedSink sink;
    std::string error;
    ASSERT_EQ(km::cab::ListCabinet(dir.file("t.cab"), sink, error), km::cab::kCabOk);
    ASSERT_EQ(sink.rows.size(), 1u);
    const std::tm tm = km::LocalTimeOf(sink.rows[0].modified);
    EXPECT_EQ(tm.tm_year + 1900, 2025);
    EXPECT_EQ(tm.tm_mon + 1, 6);
    EXPECT_EQ(tm.tm_mday, 15);
    EXPECT_EQ(tm.tm_hour, 13);
    EXPECT_EQ(tm.tm_min, 30);

    fs::create_directory(dir.file("out"));
    ASSERT_EQ(Extract(dir.file("t.cab"), dir.file("out"), sink, error), km::cab::kCabOk);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("out/a.txt").c_str(), &st), 0);
    EXPECT_EQ(km::FileTimeFromUnix(st.st_mtime, 0), sink.rows[0].modified);
}

TEST(CabReader, OnlyWantedFilesAreWrittenMatchingNamesWithoutCase) {
    km::test::TempDir dir;
    km::test::WriteAll(
        dir.file("t.cab"),
        MakeCabinet({{"one.txt", "1"}, {"two.txt", "22"}, {"three.txt", "333"}}, true));
    ScriptedSink sink;
    sink.wanted = {"two.txt", "three.txt"};
    std::string error;
    ASSERT_EQ(Extract(dir.file("t.cab"), dir.path(), sink, error), km::cab::kCabOk);
    EXPECT_FALSE(fs::exists(dir.file("one.txt")));
    EXPECT_EQ(km::test::ReadAll(dir.file("two.txt")), "22");
    EXPECT_EQ(km::test::ReadAll(dir.file("three.txt")), "333");
    EXPECT_EQ(sink.shown, (std::vector<std::string>{"two.txt", "three.txt"}));

    km::test::TempDir first;
    ScriptedSink once;
    km::ArchiveExtractOptions options{first.path(), false, true};
    ASSERT_EQ(km::cab::ExtractCabinet(dir.file("t.cab"), options, once, error), km::cab::kCabOk);
    EXPECT_TRUE(fs::exists(first.file("one.txt")));
    EXPECT_FALSE(fs::exists(first.file("two.txt")));
}

TEST(CabReader, OverwriteIsAskedAndNoKeepsTheExistingFile) {
    km::test::TempDir dir;
    km::test::WriteAll(dir.file("t.cab"), MakeCabinet({{"a.txt", "new"}, {"b.txt", "new"}}, false));
    km::test::WriteAll(dir.file("a.txt"), "old");
    km::test::WriteAll(dir.file("b.txt"), "old");
    ScriptedSink no;
    no.overwrite = false;
    std::string error;
    ASSERT_EQ(Extract(dir.file("t.cab"), dir.path(), no, error), km::cab::kCabOk);
    EXPECT_EQ(no.asked, (std::vector<std::string>{dir.file("a.txt"), dir.file("b.txt")}));
    EXPECT_EQ(km::test::ReadAll(dir.file("a.txt")), "old");

    ScriptedSink yes;
    ASSERT_EQ(Extract(dir.file("t.cab"), dir.path(), yes, error), km::cab::kCabOk);
    EXPECT_EQ(km::test::ReadAll(dir.file("a.txt")), "new");
    EXPECT_TRUE(Leftovers(dir.path()).empty());
}

TEST(CabReader, CancelInALongFileKeepsTheOldTargetAndLeavesNoTemporaryFile) {
    km::test::TempDir dir;
    const std::string data = Noise(300000, 3);
    km::test::WriteAll(dir.file("t.cab"), MakeCabinet({{"long.txt", data}}, true));
    km::test::WriteAll(dir.file("long.txt"), "previous contents");
    ScriptedSink sink;
    sink.cancelAt = [](uint64_t done) { return done >= 65536; };
    std::string error;
    EXPECT_EQ(Extract(dir.file("t.cab"), dir.path(), sink, error), km::cab::kCabCancelled);
    EXPECT_EQ(km::test::ReadAll(dir.file("long.txt")), "previous contents");
    EXPECT_TRUE(Leftovers(dir.path()).empty());
}

TEST(CabReader, StoredDirectoriesMustExistUnlessPathsAreRestored) {
    km::test::TempDir dir;
    km::test::WriteAll(dir.file("t.cab"),
                       MakeCabinet({{"top.txt", "t"}, {"sub\\inner.txt", "i"}}, false));
    const std::string out = dir.file("out");
    fs::create_directory(out);
    ScriptedSink sink;
    std::string error;
    // The missing directory makes the copy stop, saying where; what came before stays.
    EXPECT_EQ(Extract(dir.file("t.cab"), out, sink, error), km::cab::kCabIncomplete);
    EXPECT_EQ(error, "Cannot open output file " + out + "/sub/inner.txt");
    EXPECT_EQ(km::test::ReadAll(out + "/top.txt"), "t");

    fs::create_directory(out + "/sub");
    ASSERT_EQ(Extract(dir.file("t.cab"), out, sink, error), km::cab::kCabOk) << error;
    EXPECT_EQ(km::test::ReadAll(out + "/sub/inner.txt"), "i");

    const std::string restored = dir.file("restored");
    fs::create_directory(restored);
    ASSERT_EQ(Extract(dir.file("t.cab"), restored, sink, error, true), km::cab::kCabOk);
    EXPECT_EQ(km::test::ReadAll(restored + "/sub/inner.txt"), "i");
}

TEST(CabReader, ALinkPlantedInTheTargetIsNeverWrittenThrough) {
    km::test::TempDir dir;
    km::test::WriteAll(dir.file("t.cab"), MakeCabinet({{"sub\\inner.txt", "i"}}, false));
    fs::create_directory(dir.file("out"));
    fs::create_directory(dir.file("elsewhere"));
    fs::create_directory_symlink(dir.file("elsewhere"), dir.file("out/sub"));
    for (const bool restore : {false, true}) {
        ScriptedSink sink;
        std::string error;
        EXPECT_NE(Extract(dir.file("t.cab"), dir.file("out"), sink, error, restore),
                  km::cab::kCabOk);
        EXPECT_TRUE(fs::is_empty(dir.file("elsewhere"))) << restore;
    }
}

TEST(CabReader, HostileNamesStayInsideTheTarget) {
    EXPECT_EQ(km::cab::CabSafeRelativeName("..\\..\\etc\\passwd"), "etc/passwd");
    EXPECT_EQ(km::cab::CabSafeRelativeName("\\abs\\x"), "abs/x");
    EXPECT_EQ(km::cab::CabSafeRelativeName("C:\\win\\y"), "win/y");
    EXPECT_EQ(km::cab::CabSafeRelativeName("a/./../b"), "a/b");
    EXPECT_EQ(km::cab::CabSafeRelativeName("..\\.."), "");

    km::test::TempDir dir;
    km::test::WriteAll(dir.file("t.cab"), MakeCabinet({{"..\\..\\escape1", "1"},
                                                       {"/tmp/escape2", "2"},
                                                       {"..", "3"},
                                                       {"d\\..\\..\\escape3", "4"}},
                                                      false));
    const std::string target = dir.file("a/b");
    fs::create_directories(target);
    ScriptedSink sink;
    std::string error;
    EXPECT_EQ(Extract(dir.file("t.cab"), target, sink, error, true), km::cab::kCabIncomplete);
    EXPECT_EQ(error, "Cannot open output file .."); // the one name with nothing left to write
    EXPECT_EQ(km::test::ReadAll(target + "/escape1"), "1");
    EXPECT_EQ(km::test::ReadAll(target + "/tmp/escape2"), "2");
    EXPECT_EQ(km::test::ReadAll(target + "/d/escape3"), "4");
    EXPECT_FALSE(fs::exists(dir.file("escape1")));
    EXPECT_FALSE(fs::exists(dir.file("a/escape3")));
}

TEST(CabReader, BrokenCabinetsFailWithTheirMessages) {
    km::test::TempDir dir;
    ScriptedSink sink;
    std::string error;
    EXPECT_EQ(km::cab::ListCabinet(dir.file("absent.cab"), sink, error), km::cab::kCabFailed);
    EXPECT_EQ(error, "Unable to open '" + dir.file("absent.cab") + "' for input");

    const std::string good = MakeCabinet({{"a.txt", Noise(40000, 4)}, {"b.txt", "bb"}}, true);
    auto check = [&](const std::string& bytes, int listResult, const std::string& listError,
                     int extractResult, const std::string& extractError) {
        km::test::WriteAll(dir.file("bad.cab"), bytes);
        ScriptedSink s;
        std::string e;
        EXPECT_EQ(km::cab::ListCabinet(dir.file("bad.cab"), s, e), listResult);
        EXPECT_EQ(e, listError);
        const std::string out = dir.file("out");
        fs::create_directories(out);
        EXPECT_EQ(Extract(dir.file("bad.cab"), out, s, e), extractResult);
        EXPECT_EQ(e, extractError);
        EXPECT_TRUE(Leftovers(out).empty());
        EXPECT_FALSE(fs::exists(out + "/a.txt"));
        fs::remove_all(out);
    };
    check(good.substr(0, 30), km::cab::kCabFailed, "Invalid archive", km::cab::kCabFailed,
          "Invalid archive");
    std::string version = good;
    version[25] = 2;
    check(version, km::cab::kCabFailed, "Invalid archive", km::cab::kCabFailed, "Invalid archive");
    std::string compression = good;
    compression[36 + 6] = 5;
    // Extracting, the reason alone: the Part's texts, not the decompressor's call.
    check(compression, km::cab::kCabOk, "", km::cab::kCabIncomplete, "Unknown compression type");
    std::string checksum = good;
    checksum[checksum.size() - 100] ^= 0x40;
    check(checksum, km::cab::kCabOk, "", km::cab::kCabIncomplete, "Corrupt cabinet");
    check(good.substr(0, good.size() - 10), km::cab::kCabOk, "", km::cab::kCabIncomplete,
          "Corrupt cabinet");
    check(good.substr(0, 60), km::cab::kCabFailed, "FDICopy() failed: code 4 [Corrupt cabinet]",
          km::cab::kCabIncomplete, "Corrupt cabinet");
}

TEST(CabReader, DamagedMszipDataFailsToDecompress) {
    km::test::TempDir dir;
    std::string cab = MakeCabinet({{"a.txt", Noise(5000, 5)}}, true);
    // A reserved deflate block type, with the checksum field cleared so the decoder sees it.
    const size_t payload = cab.find("CK") + 2;
    cab[payload] = 0x07;
    for (size_t i = payload - 10; i < payload - 6; ++i)
        cab[i] = 0;
    km::test::WriteAll(dir.file("t.cab"), cab);
    ScriptedSink sink;
    std::string error;
    EXPECT_EQ(Extract(dir.file("t.cab"), dir.path(), sink, error), km::cab::kCabIncomplete);
    EXPECT_EQ(error, "Failure decompressing data");
}

TEST(CabReader, EveryTruncationOfTheFixturesFailsCleanly) {
    km::test::TempDir dir;
    for (const auto& e : fs::directory_iterator(std::string(KM_FIXTURES_DIR) + "/cab")) {
        const std::string bytes = km::test::ReadAll(e.path().string());
        for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64) {
            km::test::WriteAll(dir.file("cut.cab"), bytes.substr(0, cut));
            const std::string out = dir.file("out");
            fs::create_directories(out);
            ScriptedSink sink;
            std::string error;
            km::cab::ListCabinet(dir.file("cut.cab"), sink, error);
            const int rc = Extract(dir.file("cut.cab"), out, sink, error, true);
            if (rc == km::cab::kCabOk)
                continue; // the cut only removed bytes no file needed
            EXPECT_FALSE(error.empty());
            EXPECT_TRUE(Leftovers(out).empty());
            fs::remove_all(out);
        }
    }
}

} // namespace

namespace {

TEST(CabReaderPeers, CabinetsMadeByGcabOrLcabExtract) {
    const bool gcab = km::test::HavePeer("gcab");
    const bool lcab = km::test::HavePeer("lcab");
    if (!gcab && !lcab)
        GTEST_SKIP() << "neither gcab nor lcab installed";
    km::test::TempDir dir;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"alpha.txt", Noise(100000, 7)}, {"beta.bin", std::string(1000, '\0')}};
    for (const auto& [name, data] : files)
        km::test::WriteAll(dir.file(name), data);
    std::vector<std::vector<std::string>> makers;
    if (gcab) {
        makers.push_back(
            {"gcab", "-c", "-n", dir.file("g0.cab"), dir.file("alpha.txt"), dir.file("beta.bin")});
        makers.push_back({"gcab", "-c", "-z", "-n", dir.file("g1.cab"), dir.file("alpha.txt"),
                          dir.file("beta.bin")});
    }
    if (lcab)
        makers.push_back(
            {"lcab", "-n", dir.file("alpha.txt"), dir.file("beta.bin"), dir.file("l0.cab")});
    for (const auto& args : makers) {
        ASSERT_EQ(km::test::RunPeer(args), 0) << args[0];
        const std::string cab = args[0] == "lcab" ? args.back() : args[args[2] == "-z" ? 4 : 3];
        const std::string out = cab + ".out";
        fs::create_directory(out);
        ScriptedSink sink;
        std::string error;
        ASSERT_EQ(Extract(cab, out, sink, error), km::cab::kCabOk) << cab << ": " << error;
        for (const auto& [name, data] : files)
            EXPECT_EQ(km::test::ReadAll(out + "/" + name), data) << cab << " " << name;
    }
}

} // namespace
