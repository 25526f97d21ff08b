// File search against grep -rlF on the same tree in the same run: many text
// files, the page cache warm for both, names only and with a contained text.
#include "fileops/FileSearch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace km;
using Clock = std::chrono::steady_clock;

namespace {

class SilentUi : public FileOpUi {
public:
    int AskOverwrite(const OverwriteQuestion&) override { return OverwriteYes; }
    bool AskYesNo(std::string_view) override { return true; }
    void Warning(int, std::string_view) override {}
    void Message(std::string_view, bool) override {}
    void ShowPaths(std::string_view, std::string_view) override {}
    bool Pump() override { return false; }
};

double run(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execvp(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// 100 directories of 100 files of about 40 KiB of words; every 50th file
// holds the needle near its end.
void makeTree(const std::string& root) {
    std::mt19937 rng(3);
    const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "needless ", "ne ", "\n"};
    for (int d = 0; d < 100; ++d) {
        const std::string dir = root + "/d" + std::to_string(d);
        mkdir(dir.c_str(), 0755);
        for (int f = 0; f < 100; ++f) {
            std::string text;
            while (text.size() < 40000)
                text += words[rng() % 7];
            if ((d * 100 + f) % 50 == 0)
                text += "the Needle-Of-Bench here\n";
            FILE* out = std::fopen((dir + "/f" + std::to_string(f) + ".txt").c_str(), "w");
            if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size())
                std::exit(1);
            std::fclose(out);
        }
    }
}

double best(auto f) {
    double t = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Clock::now();
        f();
        t = std::min(t, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : "/tmp";
    const std::string root = base + "/km-bench-search";
    std::filesystem::remove_all(root);
    mkdir(root.c_str(), 0755);
    makeTree(root);
    SilentUi ui;
    size_t found = 0;
    for (bool ci : {false, true}) {
        SearchRequest r;
        r.pathPattern = root + "/*.*";
        r.currentDir = root;
        r.text = "Needle-Of-Bench";
        r.caseInsensitive = ci;
        const double ours = best([&] { found = SearchFiles(r, ui).found.size(); });
        std::vector<const char*> grep = {"env", "LC_ALL=C", "grep", "-rlF", "Needle-Of-Bench", root.c_str()};
        if (ci)
            grep.insert(grep.begin() + 3, "-i");
        const double peer = best([&] { run(grep); });
        std::printf("text %-17s %zu found  ours %7.1f ms  grep %7.1f ms  ratio: %.2f\n",
                    ci ? "case-insensitive" : "exact case", found, ours * 1000, peer * 1000, ours / peer);
    }
    SearchRequest names;
    names.pathPattern = root + "/f1*.txt";
    names.currentDir = root;
    const double ours = best([&] { found = SearchFiles(names, ui).found.size(); });
    const double peer = best([&] { run({"find", root.c_str(), "-name", "f1*.txt"}); });
    std::printf("names only             %zu found  ours %7.1f ms  find %7.1f ms  ratio: %.2f\n", found, ours * 1000,
                peer * 1000, ours / peer);
    std::filesystem::remove_all(root);
    return 0;
}
