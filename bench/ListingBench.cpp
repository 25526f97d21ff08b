// Reads and sorts a directory of many files into a PanelListing, with the
// user's locale as the program runs, and compares the time with `ls -l` and
// with `find -printf` (the bare read and stat every entry needs) on the same
// directory, run in the same process.
#include "panels/PanelListing.h"
#include "platform/LocaleInfo.h"

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace km;
using Clock = std::chrono::steady_clock;

namespace {

double runPeer(const std::vector<const char*>& args) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        std::vector<char*> argv;
        for (const char* a : args)
            argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    setlocale(LC_ALL, ""); // as the program starts
    SetCurrentLocale(ReadSystemLocale());
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/km-bench-listing-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        return 1;
    const std::string dir = tmpl;
    for (int i = 0; i < count; ++i) {
        const std::string name = dir + "/file_" + std::to_string(static_cast<int64_t>(i) * 7919 % count) +
                                 (i % 3 ? ".txt" : ".dat");
        const int fd = open(name.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            if (i % 5 == 0 && write(fd, "x", 1) < 0)
                return 1;
            close(fd);
        }
    }
    double best = 1e9, bestLs = 1e9, bestFind = 1e9;
    size_t bytesPerEntry = 0, nameBytesPerEntry = 0;
    for (int round = 0; round < 5; ++round) {
        const size_t before = mallinfo2().uordblks;
        PanelListing listing;
        listing.path = dir;
        const auto t0 = Clock::now();
        listing.ReadDirectory(ListingFilter{}, "*.*");
        const double t = std::chrono::duration<double>(Clock::now() - t0).count();
        best = std::min(best, t);
        const size_t n = std::max<size_t>(1, listing.entries.size());
        bytesPerEntry = (mallinfo2().uordblks - before) / n;
        size_t names = 0; // what the names themselves take beyond the entry
        for (const FileEntry& e : listing.entries)
            names += e.name.capacity() > 15 ? e.name.capacity() + 1 : 0;
        nameBytesPerEntry = names / n;
        bestLs = std::min(bestLs, runPeer({"ls", "-l", dir.c_str()}));
        bestFind = std::min(bestFind, runPeer({"find", dir.c_str(), "-maxdepth", "1", "-printf", "%s %T@ %f\n"}));
    }
    std::printf("entries: %d, locale %s\n", count, setlocale(LC_COLLATE, nullptr));
    std::printf("kestrum read+sort: %.1f ms\n", best * 1000);
    std::printf("ls -l:             %.1f ms\n", bestLs * 1000);
    std::printf("find -printf:      %.1f ms\n", bestFind * 1000);
    std::printf("memory per entry:  %zu bytes (of which the name's own: %zu)\n", bytesPerEntry, nameBytesPerEntry);
    std::printf("ratio vs ls -l: %.2f\n", best / bestLs);
    std::printf("ratio vs find:  %.2f\n", best / bestFind);
    std::filesystem::remove_all(dir);
    return 0;
}
