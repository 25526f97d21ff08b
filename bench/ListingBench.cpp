// Reads and sorts a directory of many files into a PanelListing and compares
// the time with `ls -l` on the same directory, run in the same process.
#include "panels/PanelListing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace km;
using Clock = std::chrono::steady_clock;

namespace {

double runLs(const std::string& dir) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        execlp("ls", "ls", "-l", dir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    char tmpl[] = "/tmp/km-bench-listing-XXXXXX";
    if (!mkdtemp(tmpl))
        return 1;
    const std::string dir = tmpl;
    for (int i = 0; i < count; ++i) {
        const std::string name = dir + "/file_" + std::to_string((i * 7919) % count) + (i % 3 ? ".txt" : ".dat");
        const int fd = open(name.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            if (i % 5 == 0 && write(fd, "x", 1) < 0)
                return 1;
            close(fd);
        }
    }
    double best = 1e9, bestLs = 1e9;
    size_t bytesPerEntry = 0;
    for (int round = 0; round < 5; ++round) {
        const size_t before = mallinfo2().uordblks;
        PanelListing listing;
        listing.path = dir;
        const auto t0 = Clock::now();
        listing.ReadDirectory(ListingFilter{}, "*.*");
        const double t = std::chrono::duration<double>(Clock::now() - t0).count();
        best = std::min(best, t);
        bytesPerEntry = (mallinfo2().uordblks - before) / std::max<size_t>(1, listing.entries.size());
        bestLs = std::min(bestLs, runLs(dir));
    }
    std::printf("entries: %d\n", count);
    std::printf("kestrum read+sort: %.1f ms\n", best * 1000);
    std::printf("ls -l:             %.1f ms\n", bestLs * 1000);
    std::printf("memory per entry:  %zu bytes\n", bytesPerEntry);
    std::printf("ratio: %.2f\n", best / bestLs);
    std::filesystem::remove_all(dir);
    return 0;
}
