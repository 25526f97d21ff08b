// Extraction and listing against Info-ZIP unzip in the same run.
//   unzip_bench                            build archives with zip, time both, print ratios
//   unzip_bench ARCHIVE TARGETDIR [PASSWORD] extract any archive (RestoreStructure on)
#include "archive/zip/UnzipEngine.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipRecords.h"

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

uint64_t g_records = 0;
std::vector<std::string> g_rows;

// The browser's listing: every view record becomes a row named directory/name.
uint16_t CollectRows(uint16_t, uint16_t type, const char* text) {
    if (type != 21)
        return 0;
    const std::vector<std::string> f = km::zip::RecordFields(text);
    if (f.size() >= 3) // fields 2 and 3: directory and name
        g_rows.push_back(f[1].empty() ? f[2] : f[1] + "/" + f[2]);
    return 0;
}

uint16_t Count(uint16_t, uint16_t, const char*) {
    ++g_records;
    return 0;
}

uint16_t Report(uint16_t engine, uint16_t type, const char* text) {
    if (type == 22 || type == 23) {
        // archive|name|code|
        std::string t(text);
        const size_t a = t.find('|');
        const size_t b = t.find('|', a + 1);
        const std::string name = t.substr(a + 1, b - a - 1);
        const int code = std::atoi(t.c_str() + b + 1);
        const std::string box = km::zip::ZipMessageBoxText(engine, type == 23, name, code);
        if (!box.empty())
            std::fprintf(stderr, "%s\n", box.c_str());
    }
    return 0;
}

int Spawn(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> full = {"/usr/bin/env", "-C", dir};
    full.insert(full.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : full)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (rc != 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void WriteFile(const fs::path& p, const std::string& data) {
    std::ofstream(p, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
}

// 100 MiB of text in 400 files and 100 MiB of binary in 100, in 20 directories.
void MakeMixedTree(const fs::path& root) {
    std::mt19937_64 rng(42);
    static const char* const words[] = {"archive", "panel", "file", "directory", "extract",
                                        "the",     "of",    "and",  "compress",  "window",
                                        "record",  "entry", "zip",  "header",    "size"};
    for (int i = 0; i < 500; ++i) {
        const fs::path dir = root / ("dir" + std::to_string(i % 20));
        fs::create_directories(dir);
        std::string data;
        if (i % 5 != 0) {
            data.reserve(256 * 1024 + 64);
            while (data.size() < 256 * 1024) {
                data += words[rng() % 15];
                data += (rng() % 12 == 0) ? '\n' : ' ';
            }
            WriteFile(dir / ("text" + std::to_string(i) + ".txt"), data);
        } else {
            data.resize(1024 * 1024);
            // Half random, half structured: some binaries compress a little.
            for (size_t k = 0; k < data.size(); k += 8) {
                const uint64_t v = (k / 8) % 2 ? rng() : (k * 2654435761u) & 0xff00ff;
                std::memcpy(&data[k], &v, 8);
            }
            WriteFile(dir / ("bin" + std::to_string(i) + ".dat"), data);
        }
    }
}

int64_t ExtractOurs(const std::string& archive, const std::string& target, const char* password) {
    km::UnzipEngine_Initialise();
    km::UnzipEngine_ArchiveName(archive.c_str());
    km::UnzipEngine_ExtractTo(target.c_str());
    km::UnzipEngine_RestoreStructure(1);
    km::UnzipEngine_Overwrite(11);
    if (password)
        km::UnzipEngine_Decrypt(password);
    return km::UnzipEngine_Run();
}

int Bench() {
    const char* tmp = std::getenv("TMPDIR");
    std::string work = std::string(tmp && *tmp ? tmp : "/tmp") + "/km-unzip-bench-XXXXXX";
    if (!mkdtemp(work.data()))
        return 1;
    const fs::path w(work);
    std::printf("work directory %s\n", work.c_str());

    // Extraction of 200 MiB of mixed files.
    MakeMixedTree(w / "src");
    if (Spawn({"zip", "-q", "-r", (w / "mixed.zip").string(), "."}, (w / "src").string()) != 0) {
        std::fprintf(stderr, "zip failed\n");
        return 1;
    }
    km::UnzipEngine_InstallCallback(&Count);
    double ours = 1e9;
    double theirs = 1e9;
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(w / "ours");
        fs::remove_all(w / "theirs");
        auto t0 = Clock::now();
        const int64_t n = ExtractOurs((w / "mixed.zip").string(), (w / "ours").string(), nullptr);
        ours = std::min(ours, Seconds(t0));
        t0 = Clock::now();
        const int rc = Spawn(
            {"unzip", "-q", "-o", (w / "mixed.zip").string(), "-d", (w / "theirs").string()}, work);
        theirs = std::min(theirs, Seconds(t0));
        if (n != 500 || rc != 0) {
            std::fprintf(stderr, "extraction failed (%lld entries, unzip %d)\n",
                         static_cast<long long>(n), rc);
            return 1;
        }
    }
    std::printf("extract 200 MiB mixed: ours %.3f s, unzip %.3f s\nratio: %.2f\n", ours, theirs,
                ours / theirs);
    fs::remove_all(w / "src");
    fs::remove_all(w / "ours");
    fs::remove_all(w / "theirs");

    // Listing 50,000 entries.
    for (int d = 0; d < 50; ++d) {
        const fs::path dir = w / "many" / ("d" + std::to_string(d));
        fs::create_directories(dir);
        for (int f = 0; f < 1000; ++f)
            WriteFile(dir / ("entry_" + std::to_string(f) + ".txt"), "x");
    }
    // -D: no directory entries, so there are exactly 50,000.
    if (Spawn({"zip", "-q", "-r", "-D", "-0", (w / "many.zip").string(), "."},
              (w / "many").string()) != 0)
        return 1;
    ours = theirs = 1e9;
    for (int round = 0; round < 5; ++round) {
        g_records = 0;
        auto t0 = Clock::now();
        km::UnzipEngine_Initialise();
        km::UnzipEngine_ArchiveName((w / "many.zip").string().c_str());
        km::UnzipEngine_View(1);
        const int64_t n = km::UnzipEngine_Run();
        ours = std::min(ours, Seconds(t0));
        t0 = Clock::now();
        const int rc = Spawn({"unzip", "-l", (w / "many.zip").string()}, work);
        theirs = std::min(theirs, Seconds(t0));
        if (n != 50000 || rc != 0) {
            std::fprintf(stderr, "listing failed (%lld entries)\n", static_cast<long long>(n));
            return 1;
        }
    }
    std::printf("list 50,000 entries: ours %.3f s, unzip -l %.3f s\nratio: %.2f\n", ours, theirs,
                ours / theirs);
    fs::remove_all(w / "many");

    // 100,000 entries the way the browser extracts picked rows: listed into rows, the
    // rows' names written to a names file, extracted by exact name.
    for (int d = 0; d < 100; ++d) {
        const fs::path dir = w / "rows" / ("d" + std::to_string(d));
        fs::create_directories(dir);
        for (int f = 0; f < 1000; ++f)
            WriteFile(dir / ("entry_" + std::to_string(f) + ".txt"), "y");
    }
    if (Spawn({"zip", "-q", "-r", "-D", "-0", (w / "rows.zip").string(), "."},
              (w / "rows").string()) != 0)
        return 1;
    fs::remove_all(w / "rows");
    ours = theirs = 1e9;
    // Deleting 100,000 files keeps this disk busy for a while (online discard): the
    // trees go, the disk settles, and the two take turns at going first.
    auto settle = [&] {
        fs::remove_all(w / "ours");
        fs::remove_all(w / "theirs");
        ::sync();
        ::sleep(5);
    };
    auto oursRows = [&] {
        auto t0 = Clock::now();
        g_rows.clear();
        km::UnzipEngine_Initialise();
        km::UnzipEngine_InstallCallback(&CollectRows);
        km::UnzipEngine_ArchiveName((w / "rows.zip").string().c_str());
        km::UnzipEngine_View(1);
        km::UnzipEngine_Run();
        {
            std::ofstream names(w / "names.txt", std::ios::binary);
            for (const std::string& r : g_rows)
                names << r << '\n';
        }
        km::UnzipEngine_Initialise();
        km::UnzipEngine_InstallCallback(&Count);
        km::UnzipEngine_ArchiveName((w / "rows.zip").string().c_str());
        km::UnzipEngine_ExtractTo(((w / "ours").string() + "/").c_str());
        km::UnzipEngine_RestoreStructure(1);
        km::UnzipEngine_IncludeNamesFile((w / "names.txt").string().c_str());
        const int64_t n = km::UnzipEngine_Run();
        ours = std::min(ours, Seconds(t0));
        return n == 100000;
    };
    auto theirRows = [&] {
        auto t0 = Clock::now();
        const int rc = Spawn(
            {"unzip", "-q", "-o", (w / "rows.zip").string(), "-d", (w / "theirs").string()}, work);
        theirs = std::min(theirs, Seconds(t0));
        return rc == 0;
    };
    for (int round = 0; round < 2; ++round) {
        settle();
        const bool ok = round == 0 ? oursRows() && (settle(), theirRows())
                                   : theirRows() && (settle(), oursRows());
        if (!ok) {
            std::fprintf(stderr, "row extraction failed\n");
            return 1;
        }
    }
    std::printf("extract 100,000 rows by name: ours %.3f s, unzip %.3f s\nratio: %.2f\n", ours,
                theirs, ours / theirs);
    fs::remove_all(w);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 1)
        return Bench();
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s [ARCHIVE TARGETDIR [PASSWORD]]\n", argv[0]);
        return 2;
    }
    km::UnzipEngine_InstallCallback(&Report);
    const auto t0 = Clock::now();
    const int64_t n = ExtractOurs(argv[1], argv[2], argc == 4 ? argv[3] : nullptr);
    std::printf("%lld entries extracted in %.3f s\n", static_cast<long long>(n), Seconds(t0));
    return km::UnzipEngine_GetLastError() == 0 ? 0 : 1;
}
