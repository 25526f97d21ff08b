#include "RarTestSupport.h"
#include "archive/rar/RarReader.h"
#include "archive/rar/RarCrypt.h"
#include "archive/rar/RarFormat.h"
#include "archive/rar/RarUnpack.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sys/stat.h>
#include <vector>

namespace {

using km::FileTime;
using km::rar::kRarCancelled;
using km::rar::kRarFailed;
using km::rar::kRarOk;
using km::test::AppendStored;
using km::test::ArchiveStart;
using km::test::StoredArchive;
using km::test::ThreeEncrypted;

// A RAR fixture's path; empty when it is not here (see Fixtures.h).
std::string Rar(const std::string& name) {
    return km::test::FixturePath("rar/" + name);
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

uint32_t FileCrc(const std::string& path) {
    const auto bytes = ReadAll(path);
    return km::rar::Crc32Of(bytes.data(), bytes.size());
}

class RecordingSink : public km::ArchiveSink {
public:
    std::vector<std::pair<std::string, uint64_t>> entries;
    std::vector<FileTime> times;
    std::set<std::string> wanted; // empty: everything
    bool overwrite = true;
    int overwriteQuestions = 0;
    uint64_t cancelAfter = UINT64_MAX;

    void AddEntry(const std::string& name, FileTime modified, uint64_t size) override {
        entries.emplace_back(name, size);
        times.push_back(modified);
    }
    bool IsWanted(const std::string& name) override { return wanted.empty() || wanted.count(name); }
    bool ConfirmOverwrite(const std::string&, uint64_t, FileTime) override {
        ++overwriteQuestions;
        return overwrite;
    }
    void ShowEntry(const std::string&) override {}
    bool Progress(uint64_t bytesDone) override { return bytesDone >= cancelAfter; }
};

struct Member {
    std::string name; // as stored, '\' separators
    uint64_t size;
    uint32_t crc;
};

// Names, sizes and CRC32s of the extracted bytes from the fixtures' manifest.
const std::map<std::string, std::vector<Member>> kFixtures = {
    {"Rar15.rar",
     {{"EXE\\TEST.EXE", 45056, 0xcfb109c8},
      {"JPG\\TEST.JPG", 40372, 0x088814e3},
      {"TECT.TXT", 15498, 0x9bd160fa}}},
    {"readme_154_normal.rar", {{"README.md", 4198, 0x509e5e3c}}},
    {"readme_154_store_solid.rar", {{"README.md", 4198, 0x509e5e3c}}},
    {"test_v2.rar",
     {{"p0.bin", 16384, 0x10751aba},
      {"p1.bin", 16384, 0x10751aba},
      {"p2.bin", 16384, 0x10751aba},
      {"p3.bin", 16384, 0x10751aba},
      {"p4.bin", 16384, 0x10751aba},
      {"p5.bin", 16384, 0x10751aba},
      {"pMM.bin", 16384, 0x10751aba}}},
    {"Rar2.rar",
     {{"exe\\test.exe", 45056, 0xcfb109c8},
      {"jpg\\test.jpg", 40372, 0x088814e3},
      {"\xD1\x82\xD0\xB5\xD1\x81\xD1\x82.txt", 15498, 0x9bd160fa}}},
    {"SOLID.RAR", {{"SOLID1.TXT", 15840, 0x97668cf2}, {"SOLID2.TXT", 13800, 0x28833332}}},
    {"mm.rar", {{"1.M", 99072, 0xa12f1264}}},
    {"doc_154_best.rar",
     {{"ARCH~Y3X.MD", 53262, 0x5ab9a7da},
      {"CRC3~F4U.MD", 5271, 0xad7e2a11},
      {"ENCR~BXO.MD", 30796, 0xc5d3da4f},
      {"FILT~XX0.MD", 27069, 0x89e63874},
      {"HUFF~BID.MD", 11958, 0xc4b23356},
      {"IMPL~KS0.MD", 8846, 0x0def58b4},
      {"INTE~BSL.MD", 32722, 0xcb567947},
      {"LZ_M~HYW.MD", 14181, 0xf5e64896},
      {"PATH~EJS.MD", 13819, 0x3c0d6e22},
      {"PPMD~D4Q.MD", 38140, 0xffd9b31f},
      {"RAR1~FHU.MD", 40371, 0xaac191a8},
      {"RAR1~OEK.MD", 101788, 0x292f35d1},
      {"RAR5~YP0.MD", 71276, 0xe52cf5ec},
      {"RARV~0F3.MD", 12429, 0xab07a4a6},
      {"README.md", 4198, 0x509e5e3c},
      {"READ~0WB.MD", 22024, 0xd9875535},
      {"TEST~FAD.MD", 14811, 0xb55ba84a}}},
    {"rar15-comment.rar", {{"FILE1.TXT", 7, 0xe27f07a9}, {"FILE2.TXT", 8, 0x3c4306f7}}},
    {"rar15-password-compressed.rar", {{"SECRET.TXT", 87, 0x967e05a2}}},
    {"rar15-password-stored.rar", {{"SECRET.TXT", 87, 0x967e05a2}}},
    {"rar20-password-compressed.rar", {{"SECRET.TXT", 87, 0x967e05a2}}},
    {"rar20-password-stored.rar", {{"SECRET.TXT", 87, 0x967e05a2}}},
    {"rar3-solid.rar", {{"stest1.txt", 2048, 0xc5b7e6a2}, {"stest2.txt", 2048, 0xc5b7e6a2}}},
};

km::rar::RarPasswordPrompt PasswordPrompt(const std::string& password, int* asked = nullptr) {
    km::rar::RarPasswordPrompt prompt;
    prompt.askPassword = [password, asked](const std::string&, std::string& out) {
        if (asked)
            ++*asked;
        out = password;
        return true;
    };
    return prompt;
}

// The fixtures whose source gives no licence to copy them: read from beside the
// development checkout when there; their test skips, naming them, otherwise.
const std::vector<std::string> kHeldBack = {"SOLID.RAR", "readme_154_normal.rar",
                                            "readme_154_store_solid.rar", "doc_154_best.rar"};

bool IsHeldBack(const std::string& file) {
    return std::find(kHeldBack.begin(), kHeldBack.end(), file) != kHeldBack.end();
}

void ExpectLists(const std::string& file) {
    SCOPED_TRACE(file);
    const std::vector<Member>& members = kFixtures.at(file);
    RecordingSink sink;
    ASSERT_EQ(km::rar::ListRarArchive(Rar(file), sink), kRarOk);
    ASSERT_EQ(sink.entries.size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(sink.entries[i].first, members[i].name);
        EXPECT_EQ(sink.entries[i].second, members[i].size);
    }
}

TEST(RarFixtures, EveryFixtureListsItsFilesWithoutDirectories) {
    for (const auto& entry : kFixtures)
        if (!IsHeldBack(entry.first))
            ExpectLists(entry.first);
}

// Extracts the fixture `file` (or `path`, holding that fixture's members) and
// checks every member's size and CRC.
void ExpectExtracts(const std::string& file, const std::string& password = {},
                    const std::string& path = {}) {
    SCOPED_TRACE(file);
    km::test::TempDir dir;
    RecordingSink sink;
    km::ArchiveExtractOptions options;
    options.targetDir = dir.path();
    options.restorePaths = true;
    std::string message;
    ASSERT_EQ(km::rar::ExtractRarArchive(path.empty() ? Rar(file) : path, options, sink, message,
                                         PasswordPrompt(password)),
              kRarOk)
        << message;
    for (const Member& m : kFixtures.at(file)) {
        const std::string out = dir.file(km::rar::RarSafeRelativeName(m.name));
        SCOPED_TRACE(m.name);
        EXPECT_EQ(std::filesystem::file_size(out), m.size);
        EXPECT_EQ(FileCrc(out), m.crc);
    }
}

TEST(RarFixtures, StoredAndRar20FilesExtractWithMatchingCrcs) {
    ExpectExtracts("test_v2.rar"); // stored, -m1..-m5 and three-channel audio
    ExpectExtracts("Rar2.rar");
    ExpectExtracts("mm.rar"); // one-channel audio blocks
}

TEST(RarFixtures, Rar15FilesExtractWithMatchingCrcs) {
    ExpectExtracts("Rar15.rar");
    ExpectExtracts("rar15-comment.rar"); // comments inside the main and file headers
}

TEST(RarFixtures, Rar15EncryptedFilesExtractWithThePassword) {
    ExpectExtracts("rar15-password-stored.rar", "password");
    ExpectExtracts("rar15-password-compressed.rar", "password");
}

TEST(RarFixtures, ASelfExtractorsArchiveIsReadBehindItsProgram) {
    // A DOS program whose text names the marker, then the archive at 7,259.
    std::vector<uint8_t> sfx = {'M', 'Z'};
    const std::string text = "Rar! self-extracting module";
    sfx.insert(sfx.end(), text.begin(), text.end());
    sfx.resize(7259, 0x90);
    const std::vector<uint8_t> archive = ReadAll(Rar("Rar15.rar"));
    ASSERT_FALSE(archive.empty());
    sfx.insert(sfx.end(), archive.begin(), archive.end());
    EXPECT_EQ(km::rar::FindRarArchiveStart(sfx.data(), sfx.size()), 7259u);
    km::test::TempDir dir;
    const std::string path = dir.file("setup.exe");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(sfx.data()),
                                                static_cast<std::streamsize>(sfx.size()));
    ExpectExtracts("Rar15.rar", {}, path);
    // Anything else than a program is an archive from its first byte or none.
    std::vector<uint8_t> notProgram = sfx;
    notProgram[0] = 'X';
    EXPECT_EQ(km::rar::FindRarArchiveStart(notProgram.data(), notProgram.size()), SIZE_MAX);
}

TEST(RarFixtures, Rar20EncryptedFilesExtractWithThePassword) {
    ExpectExtracts("rar20-password-stored.rar", "password");
    ExpectExtracts("rar20-password-compressed.rar", "password");
    // A wrong password gives other bytes, which the CRC catches; nothing is left.
    km::test::TempDir dir;
    RecordingSink sink;
    std::string message;
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    EXPECT_EQ(km::rar::ExtractRarArchive(Rar("rar20-password-stored.rar"), options, sink, message,
                                         PasswordPrompt("wrong")),
              kRarFailed);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RarFixtures, WrongPasswordFailsAndLeavesNoFile) {
    km::test::TempDir dir;
    RecordingSink sink;
    std::string message;
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    EXPECT_EQ(km::rar::ExtractRarArchive(Rar("rar15-password-stored.rar"), options, sink, message,
                                         PasswordPrompt("wrong")),
              kRarFailed);
    EXPECT_NE(message.find("CRC"), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RarFixtures, PasswordCancelOrMissingPromptEndsThePass) {
    km::test::TempDir dir;
    RecordingSink sink;
    std::string message;
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    km::rar::RarPasswordPrompt cancel;
    cancel.askPassword = [](const std::string&, std::string&) { return false; };
    EXPECT_EQ(km::rar::ExtractRarArchive(Rar("rar15-password-compressed.rar"), options, sink,
                                         message, cancel),
              kRarCancelled);
    EXPECT_EQ(
        km::rar::ExtractRarArchive(Rar("rar15-password-compressed.rar"), options, sink, message),
        kRarFailed);
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RarFixtures, LaterUnpackVersionIsRefusedWithAMessage) {
    km::test::TempDir dir;
    RecordingSink sink;
    std::string message;
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    EXPECT_EQ(km::rar::ExtractRarArchive(Rar("rar3-solid.rar"), options, sink, message),
              kRarFailed);
    EXPECT_NE(message.find("2.9"), std::string::npos) << message;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(RarExtract, OnlyTheLastFileOfASolidArchiveStillDecodesTheFirst) {
    KM_FIXTURE_OR_SKIP(solid, "rar/SOLID.RAR");
    km::test::TempDir dir;
    RecordingSink sink;
    sink.wanted = {"SOLID2.TXT"};
    std::string message;
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    ASSERT_EQ(km::rar::ExtractRarArchive(Rar("SOLID.RAR"), options, sink, message), kRarOk)
        << message;
    EXPECT_FALSE(std::filesystem::exists(dir.file("SOLID1.TXT")));
    EXPECT_EQ(FileCrc(dir.file("SOLID2.TXT")), 0x28833332u);
}

TEST(RarExtract, WithoutRestorePathsFilesLandInTheTargetAndStopAfterFirstStops) {
    km::test::TempDir dir;
    RecordingSink sink;
    std::string message;
    ASSERT_EQ(km::rar::ExtractRarArchive(Rar("Rar2.rar"), {dir.path(), false, true}, sink, message),
              kRarOk);
    EXPECT_EQ(FileCrc(dir.file("test.exe")), 0xcfb109c8u);
    EXPECT_FALSE(std::filesystem::exists(dir.file("test.jpg")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("exe")));
}

TEST(RarExtract, ExistingFileIsReplacedOnlyWhenConfirmed) {
    km::test::TempDir dir;
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    WriteAll(dir.file("p1.bin"), old);
    RecordingSink sink;
    sink.overwrite = false;
    std::string message;
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    ASSERT_EQ(km::rar::ExtractRarArchive(Rar("test_v2.rar"), options, sink, message), kRarOk);
    EXPECT_EQ(sink.overwriteQuestions, 1);
    EXPECT_EQ(ReadAll(dir.file("p1.bin")), old);
    EXPECT_EQ(FileCrc(dir.file("p2.bin")), 0x10751abau); // the following files still come

    RecordingSink yes;
    ASSERT_EQ(km::rar::ExtractRarArchive(Rar("test_v2.rar"), options, yes, message), kRarOk);
    EXPECT_EQ(FileCrc(dir.file("p1.bin")), 0x10751abau);
}

TEST(RarExtract, CancelledOrCorruptExtractionLeavesExistingFileIntact) {
    KM_FIXTURE_OR_SKIP(readme, "rar/readme_154_normal.rar");
    auto bytes = ReadAll(Rar("readme_154_normal.rar"));
    km::test::TempDir dir;
    const std::vector<uint8_t> old = {'k', 'e', 'e', 'p'};
    WriteAll(dir.file("README.md"), old);
    const km::ArchiveExtractOptions options{dir.path(), false, false};
    std::string message;

    RecordingSink cancel;
    cancel.cancelAfter = 1;
    EXPECT_EQ(km::rar::ExtractRarArchive(Rar("readme_154_normal.rar"), options, cancel, message),
              kRarCancelled);
    EXPECT_EQ(ReadAll(dir.file("README.md")), old);

    // Damage the packed data: the CRC no longer matches.
    bytes[bytes.size() - 100] ^= 0x5A;
    bytes[bytes.size() - 700] ^= 0xA5;
    WriteAll(dir.file("bad.rar"), bytes);
    RecordingSink sink;
    sink.wanted = {"README.md"};
    EXPECT_EQ(km::rar::ExtractRarArchive(dir.file("bad.rar"), options, sink, message), kRarFailed);
    EXPECT_EQ(ReadAll(dir.file("README.md")), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(RarExtract, TruncatedArchivesFailCleanly) {
    const auto bytes = ReadAll(Rar("Rar2.rar"));
    km::test::TempDir dir;
    for (size_t cut : {size_t(3), size_t(19), size_t(40), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        WriteAll(dir.file("cut.rar"), {bytes.begin(), bytes.begin() + static_cast<long>(cut)});
        RecordingSink sink;
        EXPECT_EQ(km::rar::ListRarArchive(dir.file("cut.rar"), sink), kRarFailed);
        std::string message;
        std::filesystem::create_directory(dir.file("out"));
        EXPECT_EQ(km::rar::ExtractRarArchive(dir.file("cut.rar"), {dir.file("out"), true, false},
                                             sink, message),
                  kRarFailed);
        std::filesystem::remove_all(dir.file("out"));
    }
}

struct PasswordLog {
    int passwords = 0;
    int reuses = 0;
};

km::rar::RarPasswordPrompt Prompt(PasswordLog& log, std::vector<km::rar::PasswordReuse> answers) {
    km::rar::RarPasswordPrompt prompt;
    prompt.askPassword = [&log](const std::string&, std::string& out) {
        ++log.passwords;
        out = "pw";
        return true;
    };
    prompt.askReuse = [&log, answers](const std::string&) {
        return answers.at(static_cast<size_t>(log.reuses++));
    };
    return prompt;
}

TEST(RarPassword, ForAllFilesAtTheFirstQuestionAsksOnlyOnce) {
    using km::rar::PasswordReuse;
    km::test::TempDir dir;
    WriteAll(dir.file("e.rar"), ThreeEncrypted(0));
    std::string message;
    RecordingSink sink;
    PasswordLog log;
    ASSERT_EQ(km::rar::ExtractRarArchive(dir.file("e.rar"), {dir.path(), false, false}, sink,
                                         message, Prompt(log, {PasswordReuse::ForAll})),
              kRarOk)
        << message;
    EXPECT_EQ(log.passwords, 1);
    EXPECT_EQ(log.reuses, 1);
    EXPECT_EQ(ReadAll(dir.file("c.txt")).size(), 12u);

    // "No" asks for a new password; "Cancel" ends the pass before the third file.
    km::test::TempDir other;
    PasswordLog log2;
    EXPECT_EQ(km::rar::ExtractRarArchive(dir.file("e.rar"), {other.path(), false, false}, sink,
                                         message,
                                         Prompt(log2, {PasswordReuse::No, PasswordReuse::Cancel})),
              kRarCancelled);
    EXPECT_EQ(log2.passwords, 2);
    EXPECT_TRUE(std::filesystem::exists(other.file("b.txt")));
    EXPECT_FALSE(std::filesystem::exists(other.file("c.txt")));
}

// The password comes first: a wrong or cancelled one must not cost the user an
// answered overwrite question, and the question's answer is about a file that can be read.
TEST(RarPassword, ThePasswordIsAskedBeforeTheOverwriteQuestion) {
    km::test::TempDir dir;
    WriteAll(dir.file("e.rar"), ThreeEncrypted(0));
    std::filesystem::create_directory(dir.file("out"));
    WriteAll(dir.file("out/a.txt"), std::vector<uint8_t>{'o', 'l', 'd'});
    struct OrderSink : RecordingSink {
        std::vector<std::string>* events = nullptr;
        bool ConfirmOverwrite(const std::string& p, uint64_t n, FileTime t) override {
            events->push_back("overwrite");
            return RecordingSink::ConfirmOverwrite(p, n, t);
        }
    };
    std::vector<std::string> events;
    OrderSink sink;
    sink.events = &events;
    sink.wanted = {"a.txt"};
    km::rar::RarPasswordPrompt prompt;
    prompt.askPassword = [&events](const std::string&, std::string& out) {
        events.push_back("password");
        out = "pw";
        return true;
    };
    std::string message;
    ASSERT_EQ(km::rar::ExtractRarArchive(dir.file("e.rar"), {dir.file("out"), false, false}, sink,
                                         message, prompt),
              kRarOk)
        << message;
    EXPECT_EQ(events, (std::vector<std::string>{"password", "overwrite"}));
    EXPECT_EQ(ReadAll(dir.file("out/a.txt")).size(), 12u);
}

TEST(RarPassword, SolidArchiveAsksOnceForEveryFile) {
    km::test::TempDir dir;
    WriteAll(dir.file("e.rar"), ThreeEncrypted(0x08));
    std::string message;
    RecordingSink sink;
    PasswordLog log;
    ASSERT_EQ(km::rar::ExtractRarArchive(dir.file("e.rar"), {dir.path(), false, false}, sink,
                                         message, Prompt(log, {})),
              kRarOk)
        << message;
    EXPECT_EQ(log.passwords, 1);
    EXPECT_EQ(log.reuses, 0);
    EXPECT_EQ(ReadAll(dir.file("a.txt")).size(), 12u);
}

TEST(RarExtract, HostileNamesStayInsideTheTarget) {
    km::test::TempDir dir;
    const std::string target = dir.file("target");
    std::filesystem::create_directory(target);
    std::filesystem::create_directory(dir.file("outside"));
    std::filesystem::create_directory_symlink(dir.file("outside"), target + "/link");
    for (const std::string name : {"..\\..\\evil.txt", "/abs/evil.txt", "C:\\evil.txt",
                                   "a/../../evil.txt", "link\\evil.txt"}) {
        SCOPED_TRACE(name);
        WriteAll(dir.file("h.rar"), StoredArchive(name, "payload"));
        for (bool restore : {true, false}) {
            RecordingSink sink;
            std::string message;
            km::rar::ExtractRarArchive(dir.file("h.rar"), {target, restore, false}, sink, message);
            EXPECT_FALSE(std::filesystem::exists(dir.file("evil.txt")));
            EXPECT_FALSE(std::filesystem::exists(dir.file("outside/evil.txt")));
        }
    }
    EXPECT_TRUE(std::filesystem::exists(target + "/evil.txt"));
    EXPECT_TRUE(std::filesystem::exists(target + "/abs/evil.txt"));
    EXPECT_EQ(km::rar::RarSafeRelativeName("..\\a\\.\\b/../c"), "a/b/c");
}

TEST(RarExtract, ExistingSymlinkAtTheTargetIsReplacedNotFollowed) {
    km::test::TempDir dir;
    WriteAll(dir.file("secret"), {'s'});
    std::filesystem::create_directory(dir.file("t"));
    std::filesystem::create_symlink(dir.file("secret"), dir.file("t/f.txt"));
    WriteAll(dir.file("a.rar"), StoredArchive("f.txt", "new"));
    RecordingSink sink;
    std::string message;
    ASSERT_EQ(
        km::rar::ExtractRarArchive(dir.file("a.rar"), {dir.file("t"), false, false}, sink, message),
        kRarOk);
    EXPECT_EQ(ReadAll(dir.file("secret")), std::vector<uint8_t>{'s'});
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("t/f.txt")));
    EXPECT_EQ(ReadAll(dir.file("t/f.txt")), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST(RarExtract, TimeOf2005IsListedAndRestored) {
    km::test::TempDir dir;
    WriteAll(dir.file("a.rar"), StoredArchive("f.txt", "x"));
    RecordingSink sink;
    ASSERT_EQ(km::rar::ListRarArchive(dir.file("a.rar"), sink), kRarOk);
    const std::tm tm = km::LocalTimeOf(sink.times.at(0));
    EXPECT_EQ(tm.tm_year + 1900, 2005);
    EXPECT_EQ(tm.tm_hour, 9);
    EXPECT_EQ(tm.tm_min, 26);
    std::string message;
    ASSERT_EQ(
        km::rar::ExtractRarArchive(dir.file("a.rar"), {dir.path(), false, false}, sink, message),
        kRarOk);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("f.txt").c_str(), &st), 0);
    EXPECT_EQ(km::FileTimeFromUnix(st.st_mtime, 0), sink.times.at(0));
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask); // not the temporary file's owner-only mode
}

TEST(RarExtract, VolumeArchiveIsRefused) {
    km::test::TempDir dir;
    WriteAll(dir.file("v.rar"), StoredArchive("f.txt", "x", 0x01));
    RecordingSink sink;
    std::string message;
    EXPECT_EQ(km::rar::ListRarArchive(dir.file("v.rar"), sink), kRarFailed);
    EXPECT_EQ(
        km::rar::ExtractRarArchive(dir.file("v.rar"), {dir.path(), false, false}, sink, message),
        kRarFailed);
    EXPECT_FALSE(std::filesystem::exists(dir.file("f.txt")));
}

} // namespace

namespace {

// Hands out the packed bytes one at a time, so every refill boundary is crossed.
class TrickleInput : public km::rar::PackedInput {
public:
    TrickleInput(const std::vector<uint8_t>& bytes, uint64_t offset, uint64_t size)
        : bytes_(bytes), pos_(offset), end_(offset + size) {}
    size_t Read(uint8_t* buffer, size_t count) override {
        if (pos_ >= end_ || count == 0)
            return 0;
        *buffer = bytes_[pos_++];
        return 1;
    }

private:
    const std::vector<uint8_t>& bytes_;
    uint64_t pos_, end_;
};

void ExpectTrickleDecodes(const std::string& file) {
    SCOPED_TRACE(file);
    const auto bytes = ReadAll(Rar(file));
    km::rar::MemorySource source(bytes.data(), bytes.size());
    km::rar::BlockReader reader(source);
    ASSERT_TRUE(reader.Open());
    km::rar::Unpacker unpacker;
    km::rar::FileHeader header;
    bool first = true;
    while (reader.Next(header) == km::rar::BlockStatus::File) {
        TrickleInput input(bytes, header.dataOffset, header.packSize);
        uint32_t crc = 0xFFFFFFFFu;
        const km::rar::UnpackedOutput out = [&](const uint8_t* data, size_t count) {
            crc = km::rar::Crc32(crc, data, count);
            return true;
        };
        const int version = header.unpVer >= 20 ? 20 : 15;
        ASSERT_EQ(unpacker.Unpack(version, !first && reader.Solid(), header.unpSize, input, out),
                  km::rar::UnpackResult::Ok);
        EXPECT_EQ(~crc, header.crc);
        first = false;
    }
}

TEST(RarUnpack, InputArrivingByteByByteDecodesTheSame) {
    ExpectTrickleDecodes("mm.rar");
    ExpectTrickleDecodes("Rar15.rar");
}

TEST(RarFixtures, HeldBackFixturesListExtractAndTrickle) {
    for (const std::string& file : kHeldBack) {
        KM_FIXTURE_OR_SKIP(path, "rar/" + file);
        ExpectLists(file);
        ExpectExtracts(file); // SOLID.RAR: the second file needs the first one's window and tables
        ExpectTrickleDecodes(file);
    }
}

} // namespace

TEST(RarCipher20, BlocksComeBackWithTheirPasswordAndNoOther) {
    std::vector<uint8_t> plain(16 * 70);
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<uint8_t>(i % 16 * 37); // every block alike
    std::vector<uint8_t> data = plain;
    km::rar::BlockCipher20("s3cret pass").Encrypt(data.data(), data.size());
    EXPECT_NE(data, plain);
    // The keys follow the ciphertext, so equal blocks do not encrypt alike.
    EXPECT_FALSE(std::equal(data.begin(), data.begin() + 16, data.begin() + 16));
    std::vector<uint8_t> back = data;
    km::rar::BlockCipher20 decrypt("s3cret pass");
    decrypt.Decrypt(back.data(), 16 * 3); // in pieces, as the reader hands them over
    decrypt.Decrypt(back.data() + 16 * 3, back.size() - 16 * 3);
    EXPECT_EQ(back, plain);
    std::vector<uint8_t> wrong = data;
    km::rar::BlockCipher20("s3cret pasS").Decrypt(wrong.data(), wrong.size());
    EXPECT_NE(wrong, plain);
}
