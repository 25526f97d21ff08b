// Extraction of compressed tarballs against GNU tar in the same run (gzip, xz and zstd),
// and of a 7-Zip archive against 7zz.
//   tar_bench                 build ~200 MB of files, pack them with tar in each
//                             compression and with 7zz, time our extraction and the peer's
//   tar_bench ARCHIVE TARGET  extract any tarball (stored paths kept)
#include "archive/other/OtherArchiveReader.h"
#include "archive/tar_gzip/Decompressor.h"
#include "archive/tar_gzip/TarReader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct AllSink : km::ArchiveSink {
    void AddEntry(const std::string&, km::FileTime, uint64_t) override {}
    bool IsWanted(const std::string&) override { return true; }
    bool ConfirmOverwrite(const std::string&, uint64_t, km::FileTime) override { return true; }
    void ShowEntry(const std::string&) override {}
    bool Progress(uint64_t) override { return false; }
};

int Spawn(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> full = {"/usr/bin/env", "-C", dir};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : full)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// 100 MiB of text in 400 files and 100 MiB of random bytes in 100, in 20 directories.
void MakeTree(const fs::path& root) {
    std::mt19937_64 rng(42);
    static const char* const words[] = {"archive", "panel", "file", "directory", "extract",
                                        "header",  "block", "gzip", "target",    "entry"};
    for (int i = 0; i < 500; ++i) {
        const fs::path dir = root / ("d" + std::to_string(i % 20));
        fs::create_directories(dir);
        std::string data;
        if (i < 400) {
            while (data.size() < 256 * 1024) {
                data += words[rng() % 10];
                data += (rng() % 12 == 0) ? '\n' : ' ';
            }
        } else {
            data.resize(1024 * 1024);
            for (size_t k = 0; k + 8 <= data.size(); k += 8) {
                const uint64_t v = rng();
                std::memcpy(data.data() + k, &v, 8);
            }
        }
        std::ofstream(dir / ("f" + std::to_string(i)), std::ios::binary)
            .write(data.data(), static_cast<std::streamsize>(data.size()));
    }
}

// As the browser does: the compression told by the first bytes.
int Extract(const std::string& archive, const std::string& target) {
    char head[16] = {};
    std::ifstream(archive, std::ios::binary).read(head, sizeof head);
    AllSink sink;
    km::TarReport report;
    const int rc = km::ExtractTarArchive(archive, km::tar::CompressionOf({head, sizeof head}),
                                         {target, true, false}, sink, &report);
    for (const auto& p : report.problems)
        std::fprintf(stderr, "problem %d %s\n", p.code, p.name.c_str());
    return rc;
}

bool ExtractOther(const std::string& archive, const std::string& target) {
    AllSink sink;
    std::string message;
    const bool ok = km::ExtractOtherArchive(archive, {target, true, false}, sink, message);
    if (!message.empty())
        std::fprintf(stderr, "%s\n", message.c_str());
    return ok;
}

struct Flavour {
    const char* name;
    std::vector<std::string> pack;   // run in the tree, the archive's path appended
    std::vector<std::string> unpack; // run in the peer's directory, the archive's path appended
};

// Packs the tree, extracts it both ways into fresh directories; false on any failure.
bool Run(const fs::path& work, const Flavour& f) {
    const std::string archive = (work / (std::string("bench.") + f.name)).string();
    std::vector<std::string> pack = f.pack, unpack = f.unpack;
    pack.push_back(archive);
    pack.push_back(".");
    unpack.push_back(archive);
    if (Spawn(pack, (work / "tree").string()) != 0) {
        std::fprintf(stderr, "%s failed\n", f.pack[0].c_str());
        return false;
    }
    // Best of three for each side, into fresh directories, the disk settled in between.
    const fs::path ours = work / "ours", theirs = work / "theirs";
    bool ok = true;
    int peer = 0;
    double oursTime = 1e9, theirsTime = 1e9;
    for (int round = 0; round < 3; ++round) {
        for (const fs::path& d : {ours, theirs}) {
            fs::remove_all(d);
            fs::create_directories(d);
        }
        Spawn({"sync"}, work.string());
        auto start = Clock::now();
        ok = (f.pack[0] == "7zz" ? ExtractOther(archive, ours.string())
                                 : Extract(archive, ours.string()) == km::kTarOk) &&
             ok;
        oursTime = std::min(oursTime, Seconds(start));
        Spawn({"sync"}, work.string());
        start = Clock::now();
        peer |= Spawn(unpack, theirs.string());
        theirsTime = std::min(theirsTime, Seconds(start));
    }
    std::printf("%-7s %6.1f MB  kestrum %.3f s (%s)  %s %.3f s (rc %d)  ratio %.2f\n", f.name,
                fs::file_size(archive) / 1e6, oursTime, ok ? "ok" : "failed",
                f.unpack[0].c_str(), theirsTime, peer, oursTime / theirsTime);
    fs::remove(archive);
    return ok && peer == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3)
        return Extract(argv[1], argv[2]) == km::kTarOk ? 0 : 1;

    const fs::path work = fs::temp_directory_path() / ("km-tar-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "tree");
    MakeTree(work / "tree");
    bool ok = true;
    const Flavour flavours[] = {
        {"tar.gz", {"tar", "-czf"}, {"tar", "-xzf"}},
        {"tar.xz", {"tar", "-cJf"}, {"tar", "-xJf"}},
        {"tar.zst", {"tar", "--zstd", "-cf"}, {"tar", "--zstd", "-xf"}},
        {"7z", {"7zz", "a", "-bd", "-bso0", "-mmt=2"}, {"7zz", "x", "-bd", "-bso0", "-y"}},
    };
    for (const Flavour& f : flavours)
        ok = Run(work, f) && ok;
    fs::remove_all(work);
    return ok ? 0 : 1;
}
