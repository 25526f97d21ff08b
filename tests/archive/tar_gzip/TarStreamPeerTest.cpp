// Tarballs in every compression GNU tar writes, sparse files in every form it writes, and
// lone compressed files, all made by the peers at test time. Our extraction is compared
// with GNU tar's own: bytes, modes, link targets, hard-link identity, times and holes.
#include "TarTestSupport.h"
#include "archive/tar_gzip/Decompressor.h"
#include "archive/tar_gzip/TarOutputName.h"
#include "archive/tar_gzip/TarReader.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::ScriptedSink;
using test::TempDir;

tar::Compression CompressionOfFile(const std::string& path) {
    return tar::CompressionOf(test::ReadAll(path).substr(0, 16));
}

// A file of 8 MiB that is mostly holes, with data at the start, the middle and the end.
void MakeSparseFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (const off_t at : {off_t(0), off_t(3 << 20), off_t((8 << 20) - 5)})
        ASSERT_EQ(::pwrite(fd, "data!", 5, at), 5);
    ::close(fd);
}

void MakeTree(const std::string& root) {
    fs::create_directories(root + "/pkg/lib");
    test::WriteAll(root + "/pkg/configure", "#!/bin/sh\necho ok\n");
    ::chmod((root + "/pkg/configure").c_str(), 0755);
    test::WriteAll(root + "/pkg/private", "p");
    ::chmod((root + "/pkg/private").c_str(), 0600);
    test::WriteAll(root + "/pkg/lib/libx.so.1", std::string(200000, 'E'));
    fs::create_symlink("libx.so.1", root + "/pkg/lib/libx.so");
    fs::create_hard_link(root + "/pkg/lib/libx.so.1", root + "/pkg/lib/same.so");
    MakeSparseFile(root + "/pkg/disk.img");
    // A time with a fraction, which the pax form keeps.
    const struct timespec times[2] = {{1500000000, 250000000}, {1500000000, 250000000}};
    ::utimensat(AT_FDCWD, (root + "/pkg/configure").c_str(), times, 0);
}

struct Node {
    mode_t mode = 0;
    off_t size = 0;
    blkcnt_t blocks = 0;
    struct timespec mtime {};
    nlink_t links = 0;
    std::string link;
};

Node NodeOf(const std::string& path) {
    struct stat st {};
    Node n;
    if (::lstat(path.c_str(), &st) != 0)
        return n;
    n.mode = st.st_mode;
    n.size = st.st_size;
    n.blocks = st.st_blocks;
    n.mtime = st.st_mtim;
    n.links = st.st_nlink;
    if (S_ISLNK(st.st_mode))
        n.link = fs::read_symlink(path).string();
    return n;
}

// Our tree against the peer's, entry by entry.
void ExpectSameTree(const std::string& ours, const std::string& peer, bool fractions) {
    EXPECT_EQ(test::TreeOf(ours), test::TreeOf(peer));
    for (const auto& [rel, data] : test::TreeOf(peer)) {
        std::string name = rel;
        if (!name.empty() && (name.back() == '@' || name.back() == '/'))
            name.pop_back();
        const Node a = NodeOf(ours + "/" + name), b = NodeOf(peer + "/" + name);
        EXPECT_EQ(a.mode, b.mode) << name;
        EXPECT_EQ(a.link, b.link) << name;
        EXPECT_EQ(a.links, b.links) << name << ": hard links";
        if (S_ISREG(b.mode)) {
            EXPECT_EQ(a.mtime.tv_sec, b.mtime.tv_sec) << name;
            if (fractions) {
                EXPECT_EQ(a.mtime.tv_nsec, b.mtime.tv_nsec) << name;
            }
            EXPECT_LE(a.blocks, b.blocks + 8) << name << ": holes kept";
        }
    }
}

struct Flavour {
    const char* name;
    std::vector<std::string> flags;
    const char* tool; // the compressor GNU tar runs
    tar::Compression compression;
};

class CompressedTarball : public ::testing::TestWithParam<Flavour> {};

TEST_P(CompressedTarball, ExtractsLikeGnuTar) {
    const Flavour& f = GetParam();
    if (f.tool[0] && !test::HaveTool(f.tool))
        GTEST_SKIP() << f.tool << " is not installed";
    TempDir work;
    MakeTree(work.file("src"));
    const std::string archive = work.file("a.tar.x");
    std::vector<std::string> args = {"tar", "-S", "-c", "-f", archive};
    args.insert(args.end(), f.flags.begin(), f.flags.end());
    args.push_back("pkg");
    ASSERT_EQ(test::RunTool(args, work.file("src")), 0);
    ASSERT_EQ(CompressionOfFile(archive), f.compression);

    fs::create_directory(work.file("peer"));
    ASSERT_EQ(test::RunTool({"tar", "--no-same-permissions", "--no-same-owner", "-xf", archive},
                            work.file("peer")),
              0);

    ScriptedSink listed;
    ASSERT_EQ(ListTarArchive(archive, f.compression, listed), kTarOk);
    bool sawImage = false;
    for (const auto& row : listed.rows) {
        if (row.name == "pkg/disk.img") {
            sawImage = true;
            EXPECT_EQ(row.size, 8u << 20) << "a sparse file is listed at its real length";
        }
    }
    EXPECT_TRUE(sawImage);

    fs::create_directory(work.file("ours"));
    ScriptedSink sink;
    ASSERT_EQ(ExtractTarArchive(archive, f.compression,
                                ArchiveExtractOptions{work.file("ours"), true, false}, sink),
              kTarOk);
    const bool pax = std::find(f.flags.begin(), f.flags.end(), "--format=posix") != f.flags.end();
    ExpectSameTree(work.file("ours"), work.file("peer"), pax);
    EXPECT_LT(NodeOf(work.file("ours/pkg/disk.img")).blocks, 1024) << "the holes stay holes";
}

INSTANTIATE_TEST_SUITE_P(
    Streams, CompressedTarball,
    ::testing::Values(Flavour{"plain", {"--format=gnu"}, "", tar::Compression::None},
                      Flavour{"gzip", {"--format=gnu", "-z"}, "gzip", tar::Compression::Gzip},
                      Flavour{"xz", {"--format=posix", "-J"}, "xz", tar::Compression::Xz},
                      Flavour{"bzip2", {"--format=gnu", "-j"}, "bzip2", tar::Compression::Bzip2},
                      Flavour{"zstd", {"--format=posix", "--zstd"}, "zstd", tar::Compression::Zstd},
                      Flavour{"pax_sparse_0_1", {"--format=posix", "--sparse-version=0.1"}, "",
                              tar::Compression::None},
                      Flavour{"pax_sparse_0_0", {"--format=posix", "--sparse-version=0.0"}, "",
                              tar::Compression::None}),
    [](const auto& info) { return std::string(info.param.name); });

// server.log.gz and its kin: one row, the file it decompresses to.
TEST(LoneCompressedFile, OneRowAndTheBytesBack) {
    TempDir work;
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "line " + std::to_string(i) + "\n";
    const struct {
        const char* tool;
        const char* suffix;
        tar::Compression compression;
    } kinds[] = {{"gzip", ".gz", tar::Compression::Gzip},
                 {"xz", ".xz", tar::Compression::Xz},
                 {"bzip2", ".bz2", tar::Compression::Bzip2},
                 {"zstd", ".zst", tar::Compression::Zstd}};
    for (const auto& k : kinds) {
        if (!test::HaveTool(k.tool))
            continue;
        SCOPED_TRACE(k.tool);
        const std::string log = work.file(std::string("server-") + k.tool + ".log");
        test::WriteAll(log, text);
        ASSERT_EQ(test::RunTool({k.tool, "-q", "-f", log}, work.path()), 0);
        const std::string archive = log + k.suffix;
        if (!fs::exists(archive)) // zstd keeps its input
            FAIL() << archive;
        fs::remove(log);
        ASSERT_EQ(CompressionOfFile(archive), k.compression);

        ScriptedSink listed;
        ASSERT_EQ(ListTarArchive(archive, k.compression, listed), kTarOk);
        ASSERT_EQ(listed.rows.size(), 1u);
        EXPECT_EQ(listed.rows[0].name, fs::path(log).filename().string());
        EXPECT_EQ(listed.rows[0].size, text.size());

        const std::string out = work.file(std::string("out-") + k.tool);
        fs::create_directory(out);
        ScriptedSink sink;
        ASSERT_EQ(ExtractTarArchive(archive, k.compression, ArchiveExtractOptions{out, false, false},
                                    sink),
                  kTarOk);
        EXPECT_EQ(test::ReadAll(out + "/" + fs::path(log).filename().string()), text);

        // An existing file is asked about, with the real length, and kept on No.
        test::WriteAll(out + "/" + fs::path(log).filename().string(), "mine");
        ScriptedSink no;
        no.overwrite = false;
        ASSERT_EQ(ExtractTarArchive(archive, k.compression, ArchiveExtractOptions{out, false, false},
                                    no),
                  kTarOk);
        ASSERT_EQ(no.asked.size(), 1u);
        EXPECT_EQ(no.askedSizes.at(0), text.size());
        EXPECT_EQ(test::ReadAll(out + "/" + fs::path(log).filename().string()), "mine");
    }
}

TEST(LoneCompressedFile, NamedAfterTheArchive) {
    EXPECT_EQ(tar::DecompressedName("/var/log/server.log.gz"), "server.log");
    EXPECT_EQ(tar::DecompressedName("dump.SQL.XZ"), "dump.SQL");
    EXPECT_EQ(tar::DecompressedName("a.tbz2"), "a.tar");
    EXPECT_EQ(tar::DecompressedName("data.zst"), "data");
    EXPECT_EQ(tar::DecompressedName("/x/noext"), "noext.out");
    EXPECT_EQ(tar::DecompressedName(".gz"), ".gz.out");
}

// A truncated download: what was read is listed and extracted, the damage is told.
TEST(DamagedTarball, ListsAndExtractsWhatCanBeRead) {
    if (!test::HaveTool("xz"))
        GTEST_SKIP() << "xz is not installed";
    TempDir work;
    fs::create_directories(work.file("src/d"));
    test::WriteAll(work.file("src/d/first"), std::string(100000, '1'));
    std::string noise(3 << 20, '\0');
    uint32_t x = 12345;
    for (char& c : noise)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    test::WriteAll(work.file("src/d/second"), noise);
    ASSERT_EQ(test::RunTool({"tar", "-cJf", work.file("a.tar.xz"), "d"}, work.file("src")), 0);
    const std::string whole = test::ReadAll(work.file("a.tar.xz"));
    test::WriteAll(work.file("cut.tar.xz"), whole.substr(0, whole.size() / 2));

    ScriptedSink listed;
    EXPECT_EQ(ListTarArchive(work.file("cut.tar.xz"), tar::Compression::Xz, listed), kTarDamaged);
    EXPECT_EQ(listed.names(), (std::vector<std::string>{"d/", "d/first", "d/second"}));

    fs::create_directory(work.file("out"));
    ScriptedSink sink;
    TarReport report;
    EXPECT_EQ(ExtractTarArchive(work.file("cut.tar.xz"), tar::Compression::Xz,
                                ArchiveExtractOptions{work.file("out"), true, false}, sink, &report),
              kTarInvalidArchive);
    EXPECT_EQ(test::ReadAll(work.file("out/d/first")), std::string(100000, '1'));
    EXPECT_FALSE(fs::exists(work.file("out/d/second"))) << "a file cut short is not left behind";
}

} // namespace
} // namespace km
