// Zipping a tree of mixed files against Info-ZIP zip at the same level, in the same run;
// then a ZIP64 round trip of one 5 GiB file (mostly a hole) against zip and unzip.
//   zip_bench [MEGABYTES]   (default 200)
#include "archive/zip/UnzipEngine.h"
#include "archive/zip/ZipEngine.h"

#include <fcntl.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int g_errors = 0;

uint16_t Report(uint16_t, uint16_t type, const char* text) {
    if (type == 22 || type == 23) {
        std::fprintf(stderr, "record %u: %s\n", type, text);
        ++g_errors;
    }
    return 0;
}

int Run(const std::vector<std::string>& args, const std::string& dir) {
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
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text, random (incompressible) and repetitive files in a few directories.
void MakeTree(const std::string& root, uint64_t bytes) {
    std::mt19937 rng(7);
    uint64_t made = 0;
    std::string words[] = {"alpha ", "beta ", "gamma ", "delta\n", "file ", "manager ", "panel "};
    for (int i = 0; made < bytes; ++i) {
        const std::string dir = root + "/d" + std::to_string(i % 13);
        fs::create_directories(dir);
        const size_t size = 1000 + rng() % (4u << 20);
        std::string data;
        data.reserve(size);
        switch (i % 3) {
        case 0:
            while (data.size() < size)
                data += words[rng() % 7];
            break;
        case 1:
            while (data.size() < size)
                data += static_cast<char>(rng());
            break;
        default:
            while (data.size() < size)
                data += std::string(64 + rng() % 64, static_cast<char>('a' + rng() % 4));
            break;
        }
        std::ofstream(dir + "/f" + std::to_string(i) + (i % 3 == 1 ? ".bin" : ".txt"),
                      std::ios::binary)
            << data;
        made += data.size();
    }
}

} // namespace

int main(int argc, char** argv) {
    const uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 200;
    const fs::path base = fs::temp_directory_path() / ("zip_bench_" + std::to_string(getpid()));
    const std::string src = (base / "src").string();
    MakeTree(src, megabytes << 20);
    const std::string ours = (base / "ours.zip").string();
    const std::string theirs = (base / "theirs.zip").string();

    const auto t0 = Clock::now();
    km::ZipEngine_Initialise();
    km::ZipEngine_InstallCallback(&Report);
    km::ZipEngine_ArchiveName(ours.c_str());
    km::ZipEngine_Include((src + "/*.*").c_str());
    km::ZipEngine_Recurse(1);
    km::ZipEngine_SaveStructure(1);
    km::ZipEngine_SaveRelativeTo(src.c_str());
    km::ZipEngine_SetCompressionLevel(2);
    const int64_t n = km::ZipEngine_Run();
    const auto t1 = Clock::now();
    // Level 2 uses zlib's level-6 parameters, Info-ZIP's default.
    const int rc = Run({"zip", "-r", "-q", "-6", theirs, "."}, src);
    const auto t2 = Clock::now();

    const double a = std::chrono::duration<double>(t1 - t0).count();
    const double b = std::chrono::duration<double>(t2 - t1).count();
    const auto sa = fs::file_size(ours);
    const auto sb = rc == 0 ? fs::file_size(theirs) : 0;
    std::printf("files %lld, errors %d, zip rc %d\n", static_cast<long long>(n), g_errors, rc);
    std::printf("ours   %.2f s  %llu bytes\n", a, static_cast<unsigned long long>(sa));
    std::printf("zip    %.2f s  %llu bytes\n", b, static_cast<unsigned long long>(sb));
    std::printf("time ratio ours/zip %.2f, size ratio %.3f\n", a / b,
                sb ? static_cast<double>(sa) / static_cast<double>(sb) : 0.0);
    fs::remove_all(src);
    fs::remove(ours);
    fs::remove(theirs);

    // ZIP64: 5 GiB, zipped and unzipped again, with the default settings of both.
    const std::string big = (base / "big").string();
    fs::create_directories(big);
    {
        const int fd = ::open((big + "/disk.img").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const uint64_t size = 5ull << 30;
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0 ||
            ::pwrite(fd, "end", 3, static_cast<off_t>(size - 3)) != 3)
            return 1;
        ::close(fd);
    }
    const auto z0 = Clock::now();
    km::ZipEngine_Initialise();
    km::ZipEngine_InstallCallback(&Report);
    km::ZipEngine_ArchiveName(ours.c_str());
    km::ZipEngine_Include((big + "/disk.img").c_str());
    km::ZipEngine_Run();
    km::UnzipEngine_Initialise();
    km::UnzipEngine_ArchiveName(ours.c_str());
    km::UnzipEngine_ExtractTo((base / "ours.out/").string().c_str());
    const int64_t back = km::UnzipEngine_Run();
    const auto z1 = Clock::now();
    const int zrc = Run({"zip", "-q", theirs, "disk.img"}, big);
    const int urc = Run({"unzip", "-q", theirs, "-d", (base / "theirs.out").string()}, big);
    const auto z2 = Clock::now();
    const bool same = back == 1 && fs::file_size(base / "ours.out/disk.img") == (5ull << 30);
    const double za = std::chrono::duration<double>(z1 - z0).count();
    const double zb = std::chrono::duration<double>(z2 - z1).count();
    std::printf("5 GiB ZIP64 round trip: ours %.2f s (%s), zip+unzip %.2f s (rc %d %d)\n", za,
                same ? "whole" : "WRONG", zb, zrc, urc);
    std::printf("time ratio ours/zip+unzip %.2f\n", za / zb);
    std::error_code ec;
    fs::remove_all(base, ec);
    return g_errors == 0 && rc == 0 && same ? 0 : 1;
}
