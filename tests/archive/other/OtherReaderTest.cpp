// What the libarchive bridge says when it cannot do what is asked: encrypted, damaged and
// unknown archives, RAR archives (fixtures and hand-made RAR 5), the password protocol
// against libarchive's own callbacks, and holes in written files.
#include "OtherTestSupport.h"
#include "archive/other/OtherArchiveReader.h"
#include "archive/other/PassphrasePrompt.h"
#include "archive/other/SparseOutput.h"
#include "support/Fixtures.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::ScriptedSink;
using test::TempDir;

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.rfind(prefix, 0) == 0;
}

// A 7-Zip archive of two small files made with `flags`; empty when 7zz is missing.
std::string Small7z(const TempDir& work, const std::vector<std::string>& flags) {
    if (!test::HaveTool("7zz"))
        return {};
    fs::create_directories(work.file("in/sub"));
    test::WriteAll(work.file("in/a.txt"), "first\n");
    test::WriteAll(work.file("in/sub/b.txt"), std::string(5000, 'b'));
    std::vector<std::string> args = {"7zz", "a", "-bso0", "-bsp0"};
    args.insert(args.end(), flags.begin(), flags.end());
    args.insert(args.end(), {work.file("s.7z"), "."});
    return test::RunTool(args, work.file("in")) == 0 ? work.file("s.7z") : std::string();
}

struct CountingPrompt {
    int asked = 0;
    std::string answer;
    OtherPasswordFn fn() {
        return [this](const std::string&, std::string& password) {
            ++asked;
            password = answer;
            return !answer.empty();
        };
    }
};

TEST(OtherEncryption, Encrypted7zEntriesAreListedButNeverWritten) {
    TempDir work;
    const std::string archive = Small7z(work, {"-pSecret"});
    if (!test::HaveTool("7zz"))
        GTEST_SKIP() << "7zz is not installed";
    ASSERT_FALSE(archive.empty()) << "7zz could not make the archive";
    ScriptedSink listed;
    std::string message;
    ASSERT_TRUE(ListOtherArchive(archive, listed, message)) << message;
    EXPECT_EQ(listed.names(), (std::vector<std::string>{"sub/", "a.txt", "sub/b.txt"}));

    // libarchive 3.6 never asks for a 7-Zip password, so neither does the user get asked.
    CountingPrompt prompt{0, "Secret"};
    ScriptedSink sink;
    EXPECT_FALSE(
        ExtractOtherArchive(archive, {work.file("out"), true, false}, sink, message, prompt.fn()));
    EXPECT_EQ(message, "7-Zip: a.txt is encrypted; decrypting 7-Zip archives is not supported");
    EXPECT_EQ(prompt.asked, 0);
    EXPECT_FALSE(fs::exists(work.file("out/a.txt")));
    EXPECT_FALSE(fs::exists(work.file("out/sub/b.txt")));
}

TEST(OtherEncryption, EncryptedHeadersGiveOneLineNamingTheFormat) {
    TempDir work;
    const std::string archive = Small7z(work, {"-pSecret", "-mhe=on"});
    if (!test::HaveTool("7zz"))
        GTEST_SKIP() << "7zz is not installed";
    ASSERT_FALSE(archive.empty()) << "7zz could not make the archive";
    const std::string expected =
        "7-Zip: the archive's headers are encrypted; decrypting 7-Zip archives is not supported";
    CountingPrompt wrong{0, "wrong"};
    ScriptedSink listed;
    std::string message;
    EXPECT_FALSE(ListOtherArchive(archive, listed, message, wrong.fn()));
    EXPECT_EQ(message, expected);
    EXPECT_TRUE(listed.rows.empty());
    ScriptedSink sink;
    EXPECT_FALSE(
        ExtractOtherArchive(archive, {work.file("out"), true, false}, sink, message, wrong.fn()));
    EXPECT_EQ(message, expected);

    test::WriteAll(work.file("h.rar"), test::Rar5EncryptedHeaders());
    EXPECT_FALSE(ListOtherArchive(work.file("h.rar"), listed, message));
    EXPECT_EQ(message,
              "RAR 5: the archive's headers are encrypted; decrypting RAR 5 archives is not "
              "supported");
}

TEST(OtherDamage, DamagedAndTruncated7zGiveAMessageNeverACrash) {
    TempDir work;
    const std::string archive = Small7z(work, {"-mx=0"});
    if (!test::HaveTool("7zz"))
        GTEST_SKIP() << "7zz is not installed";
    ASSERT_FALSE(archive.empty()) << "7zz could not make the archive";
    const std::string bytes = test::ReadAll(archive);
    for (const size_t cut : {size_t(40), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        test::WriteAll(work.file("cut.7z"), bytes.substr(0, cut));
        ScriptedSink listed, sink;
        std::string message;
        EXPECT_FALSE(ListOtherArchive(work.file("cut.7z"), listed, message));
        EXPECT_TRUE(StartsWith(message, "7-Zip: ")) << message;
        EXPECT_FALSE(ExtractOtherArchive(work.file("cut.7z"), {work.file("out"), true, false}, sink,
                                         message));
        EXPECT_TRUE(StartsWith(message, "7-Zip: ")) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos);
    }
    // A flipped byte in stored data: libarchive only warns that the CRC failed; the file
    // must not be kept as if it were sound.
    std::string damaged = bytes;
    damaged[40] = static_cast<char>(damaged[40] ^ 0x55);
    test::WriteAll(work.file("bad.7z"), damaged);
    ScriptedSink sink;
    std::string message;
    EXPECT_FALSE(
        ExtractOtherArchive(work.file("bad.7z"), {work.file("bad"), true, false}, sink, message));
    EXPECT_TRUE(StartsWith(message, "7-Zip: sub/b.txt: ")) << message;
    EXPECT_FALSE(fs::exists(work.file("bad/sub/b.txt")));
    EXPECT_EQ(test::ReadAll(work.file("bad/a.txt")), "first\n");
}

TEST(OtherDamage, BytesOfNoKnownFormatAreNotRecognised) {
    std::string noise(4096, '\0');
    uint32_t x = 12345;
    for (char& c : noise)
        c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    const auto* data = reinterpret_cast<const uint8_t*>(noise.data());
    EXPECT_EQ(OtherArchiveFormatName(data, noise.size()), std::nullopt);
    EXPECT_EQ(OtherArchiveFormatName(data, 0), std::nullopt);
    ScriptedSink sink;
    std::string message;
    EXPECT_FALSE(ListOtherArchiveMemory(data, noise.size(), sink, message));
    EXPECT_EQ(message, "Invalid archive");
    // The program's own formats stay with its own readers.
    const std::string tar = test::EndTar(test::TarHeaderBlock("a", 0));
    EXPECT_EQ(OtherArchiveFormatName(reinterpret_cast<const uint8_t*>(tar.data()), tar.size()),
              std::nullopt);
}

TEST(OtherRar, ASolidRar3IsListedAsFarAsLibarchiveReadsIt) {
    KM_FIXTURE_OR_SKIP(path, "rar/rar3-solid.rar");
    const std::string head = test::ReadAll(path);
    EXPECT_EQ(OtherArchiveFormatName(reinterpret_cast<const uint8_t*>(head.data()), head.size()),
              std::optional<std::string>("RAR"));
    ScriptedSink listed;
    std::string message;
    EXPECT_TRUE(ListOtherArchive(path, listed, message));
    EXPECT_EQ(listed.names(), std::vector<std::string>{"stest1.txt"});
    EXPECT_EQ(message, "RAR: RAR solid archive support unavailable.");
}

// libarchive flags the entry as encrypted but hands out its cipher text as the data.
TEST(OtherRar, AnEncryptedRarEntryIsNeverWrittenAsCipherText) {
    KM_FIXTURE_OR_SKIP(path, "rar/rar20-password-stored.rar");
    TempDir work;
    ScriptedSink sink;
    std::string message;
    EXPECT_FALSE(ExtractOtherArchive(path, {work.path(), true, false}, sink, message));
    EXPECT_EQ(message, "RAR: SECRET.TXT is encrypted; decrypting RAR archives is not supported");
    EXPECT_TRUE(fs::is_empty(work.path()));
}

TEST(OtherRar5, StoredFilesAlsoBehindAStubAndEncryptedOnesRefused) {
    TempDir work;
    const std::string data(3000, 'r');
    const std::string archive = test::Rar5Archive(
        {{"dir/a.txt", "rar five\n"}, {"secret.bin", "cipher text?", true}, {"b.bin", data}});
    test::WriteAll(work.file("a.rar"), archive);
    test::WriteAll(work.file("sfx.exe"), "MZ" + std::string(128 * 1024 - 2, '\0') + archive);
    EXPECT_EQ(
        OtherArchiveFormatName(reinterpret_cast<const uint8_t*>(archive.data()), archive.size()),
        std::optional<std::string>("RAR 5"));
    for (const char* name : {"a.rar", "sfx.exe"}) {
        SCOPED_TRACE(name);
        ScriptedSink listed;
        std::string message;
        ASSERT_TRUE(ListOtherArchive(work.file(name), listed, message)) << message;
        EXPECT_EQ(listed.names(), (std::vector<std::string>{"dir/a.txt", "secret.bin", "b.bin"}));
        EXPECT_EQ(listed.rows[2].size, data.size());

        const std::string out = work.file(std::string("out-") + name);
        ScriptedSink sink;
        EXPECT_FALSE(ExtractOtherArchive(work.file(name), {out, true, false}, sink, message));
        EXPECT_EQ(message,
                  "RAR 5: secret.bin is encrypted; decrypting RAR 5 archives is not supported");
        EXPECT_EQ(test::ReadAll(out + "/dir/a.txt"), "rar five\n");
        EXPECT_EQ(test::ReadAll(out + "/b.bin"), data);
        EXPECT_FALSE(fs::exists(out + "/secret.bin"));
    }
}

// The prompt against libarchive's own use of it; only its ZIP reader decrypts.
TEST(PassphrasePrompt, AskedOnceKeptForThePassAndCancelEndsTheQuestions) {
    if (!test::HaveTool("7zz"))
        GTEST_SKIP() << "7zz is not installed";
    TempDir work;
    test::WriteAll(work.file("a.txt"), "one");
    test::WriteAll(work.file("b.txt"), "two");
    ASSERT_EQ(test::RunTool({"7zz", "a", "-tzip", "-pSecret", "-mem=AES256", "-bso0", "-bsp0",
                             "z.zip", "a.txt", "b.txt"},
                            work.path()),
              0);
    struct Outcome {
        int asked;
        std::vector<std::string> data; // "!" where reading failed
        bool cancelled;
    };
    auto pass = [&](const std::string& answer) {
        CountingPrompt counting{0, answer};
        PassphrasePrompt prompt(counting.fn());
        struct archive* reader = archive_read_new();
        archive_read_support_format_zip(reader);
        prompt.Install(reader);
        Outcome o{};
        struct archive_entry* entry = nullptr;
        if (archive_read_open_filename(reader, work.file("z.zip").c_str(), 4096) == ARCHIVE_OK) {
            while (archive_read_next_header(reader, &entry) == ARCHIVE_OK) {
                prompt.BeginEntry(archive_entry_pathname(entry));
                char buffer[64];
                const la_ssize_t n = archive_read_data(reader, buffer, sizeof buffer);
                o.data.push_back(n < 0 ? "!" : std::string(buffer, static_cast<size_t>(n)));
            }
        }
        archive_read_free(reader);
        o.asked = counting.asked;
        o.cancelled = prompt.Cancelled();
        return o;
    };
    const Outcome right = pass("Secret");
    EXPECT_EQ(right.asked, 1);
    EXPECT_EQ(right.data, (std::vector<std::string>{"one", "two"}));
    const Outcome wrong = pass("wrong");
    EXPECT_EQ(wrong.asked, 1);
    EXPECT_EQ(wrong.data, (std::vector<std::string>{"!", "!"}));
    const Outcome cancel = pass("");
    EXPECT_EQ(cancel.asked, 1);
    EXPECT_TRUE(cancel.cancelled);
}

TEST(SparseOutput, GapsBecomeHolesAndAFileEndingInOneKeepsItsLength) {
    TempDir work;
    ExtractTarget target(work.path());
    ExtractFile file;
    ASSERT_EQ(target.OpenFile({"sparse"}, &file), 0);
    SparseOutput out(file);
    ASSERT_EQ(out.Put(0, "ab", 2), 0);
    ASSERT_EQ(out.Put(1 << 20, "cd", 2), 0);
    EXPECT_EQ(out.Put(10, "x", 1), EINVAL);
    ASSERT_EQ(out.Finish(3 << 20), 0);
    ASSERT_EQ(file.Commit(EntryAttributes{}), 0);
    std::string expected(3 << 20, '\0');
    expected.replace(0, 2, "ab");
    expected.replace(1 << 20, 2, "cd");
    EXPECT_EQ(test::ReadAll(work.file("sparse")), expected);
}

} // namespace
} // namespace km
