// Extraction of compressed tarballs against GNU tar in the same run: gzip, xz and zstd.
//   tar_bench                 build ~200 MB of files, pack them with tar in each
//                             compression, time our extraction and tar's
//   tar_bench ARCHIVE TARGET  extract any tarball (stored paths kept)
#include "archive/tar_gzip/Decompressor.h"
#include "archive/tar_gzip/TarReader.h"

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

struct Flavour {
    const char* name;
    const char* flag; // GNU tar's option for it
};

// Packs the tree, extracts it both ways into fresh directories; false on any failure.
bool Run(const fs::path& work, const Flavour& f) {
    const std::string archive = (work / (std::string("bench.tar.") + f.name)).string();
    if (Spawn({"tar", f.flag, "-cf", archive, "."}, (work / "tree").string()) != 0) {
        std::fprintf(stderr, "tar %s -cf failed\n", f.flag);
        return false;
    }
    const fs::path ours = work / "ours", theirs = work / "theirs";
    fs::remove_all(ours);
    fs::remove_all(theirs);
    fs::create_directories(ours);
    fs::create_directories(theirs);
    Spawn({"sync"}, work.string());
    auto start = Clock::now();
    const int rc = Extract(archive, ours.string());
    const double oursTime = Seconds(start);
    Spawn({"sync"}, work.string());
    start = Clock::now();
    const int peer = Spawn({"tar", f.flag, "-xf", archive}, theirs.string());
    const double theirsTime = Seconds(start);
    std::printf("%-5s %6.1f MB  kestrum %.3f s (rc %d)  tar %s -xf %.3f s (rc %d)  ratio %.2f\n",
                f.name, fs::file_size(archive) / 1e6, oursTime, rc, f.flag, theirsTime, peer,
                oursTime / theirsTime);
    fs::remove(archive);
    return rc == km::kTarOk && peer == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3)
        return Extract(argv[1], argv[2]) == km::kTarOk ? 0 : 1;

    const fs::path work = fs::temp_directory_path() / ("km-tar-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "tree");
    MakeTree(work / "tree");
    bool ok = true;
    for (const Flavour& f : {Flavour{"gz", "-z"}, Flavour{"xz", "-J"}, Flavour{"zst", "--zstd"}})
        ok = Run(work, f) && ok;
    fs::remove_all(work);
    return ok ? 0 : 1;
}
