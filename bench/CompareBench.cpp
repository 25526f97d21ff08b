// The line compare against GNU diff on the same two files in the same run:
// 400,000 lines of program-like text with scattered insertions, deletions,
// changes and one moved block. Ours includes laying out the display rows.
#include "fileops/compare/CompareResult.h"
#include "fileops/compare/DisplayRows.h"
#include "fileops/compare/FileComparer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace km;
using Clock = std::chrono::steady_clock;

namespace {

double runDiff(const std::string& left, const std::string& right) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execlp("diff", "diff", left.c_str(), right.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void makeFiles(const std::string& left, const std::string& right) {
    std::mt19937 rng(99);
    const char* common[] = {"{", "}", "", "    return 0;", "    break;", "} else {"};
    std::ofstream l(left, std::ios::binary);
    std::ofstream r(right, std::ios::binary);
    std::string moved;
    for (int i = 0; i < 400000; ++i) {
        const std::string line = rng() % 4 == 0 ? std::string(common[rng() % 6])
                                                : "    value_" + std::to_string(i) + " = compute(" +
                                                      std::to_string(rng() % 1000) + ");";
        const unsigned edit = rng() % 200;
        if (i >= 1000 && i < 1400) { // moved to the end of the right file
            l << line << '\n';
            moved += line + '\n';
            continue;
        }
        if (edit == 0) {
            l << line << '\n';
        } else if (edit == 1) {
            r << line << '\n';
        } else if (edit == 2) {
            l << line << '\n';
            r << line << " // changed\n";
        } else {
            l << line << '\n';
            r << line << '\n';
        }
    }
    r << moved;
}

} // namespace

int main(int argc, char** argv) {
    const std::string root = std::string(argc > 1 ? argv[1] : "/tmp") + "/km-bench-compare";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string left = root + "/left.txt";
    const std::string right = root + "/right.txt";
    makeFiles(left, right);
    runDiff(left, right); // page cache warm for both

    double ours = 1e9, peer = 1e9;
    size_t rows = 0;
    for (int round = 0; round < 3; ++round) {
        peer = std::min(peer, runDiff(left, right));
        const auto t0 = Clock::now();
        FileComparer comparer(false);
        DisplayRows display;
        if (comparer.Compare(left, right) != CompareOk ||
            FillDisplayRows(comparer.display(), display) != CompareOk)
            return 1;
        rows = display.left.size();
        ours = std::min(ours, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::printf("%-28s ours %8.1f ms  peer %8.1f ms  ratio: %.2f  (%zu rows)\n",
                "400,000 lines vs diff", ours * 1000, peer * 1000, ours / peer, rows);
    std::filesystem::remove_all(root);
    return 0;
}
