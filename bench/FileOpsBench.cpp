// Copy and delete against cp, cp -r and rm -rf on the same data in the same
// run: one large file (page cache warm) and a tree of many small files.
#include "fileops/CopyEngine.h"
#include "fileops/DeleteEngine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
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
    void Warning(int id, std::string_view detail) override {
        std::fprintf(stderr, "warning %d %.*s\n", id, int(detail.size()), detail.data());
    }
    void Message(std::string_view t, bool) override {
        std::fprintf(stderr, "%.*s\n", int(t.size()), t.data());
    }
    void ShowPaths(std::string_view, std::string_view) override {}
    bool Pump() override { return false; }
};

// Each timing starts with the page cache clean of earlier writes, so neither
// side pays for the other's writeback.
double run(std::vector<const char*> argv) {
    argv.push_back(nullptr);
    sync();
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

template <class F> double timed(F f) {
    sync();
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void makeTree(const std::string& root) {
    std::vector<char> block(4096, 'k');
    for (int d = 0; d < 200; ++d) {
        const std::string dir = root + "/d" + std::to_string(d);
        mkdir(dir.c_str(), 0755);
        for (int f = 0; f < 100; ++f) {
            const int fd = open((dir + "/f" + std::to_string(f)).c_str(), O_CREAT | O_WRONLY, 0644);
            if (fd < 0 || write(fd, block.data(), block.size()) != 4096)
                std::exit(1);
            close(fd);
        }
    }
}

void report(const char* what, double ours, double peer) {
    std::printf("%-28s ours %8.1f ms  peer %8.1f ms  ratio: %.2f\n", what, ours * 1000, peer * 1000,
                ours / peer);
}

} // namespace

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : "/tmp";
    const std::string root = base + "/km-bench-fileops";
    std::filesystem::remove_all(root);
    mkdir(root.c_str(), 0755);
    SilentUi ui;

    // One 1 GiB file, read once so the page cache is warm.
    const std::string big = root + "/big";
    {
        const int fd = open(big.c_str(), O_CREAT | O_WRONLY, 0644);
        std::vector<char> chunk(1 << 20);
        for (size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<char>(i * 131);
        for (int i = 0; i < 1024; ++i)
            if (write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
                return 1;
        close(fd);
        run({"cat", big.c_str()});
    }
    double bestOurs = 1e9, bestCp = 1e9;
    for (int round = 0; round < 3; ++round) {
        unlink((root + "/big.cp").c_str());
        unlink((root + "/big.km").c_str());
        bestCp = std::min(bestCp, run({"cp", big.c_str(), (root + "/big.cp").c_str()}));
        CopyEngine e(ui);
        bestOurs = std::min(bestOurs, timed([&] { e.CopyOneFile(big, root + "/big.km", false); }));
    }
    report("1 GiB file vs cp", bestOurs, bestCp);
    unlink(big.c_str());
    unlink((root + "/big.cp").c_str());
    unlink((root + "/big.km").c_str());

    // 20,000 files of 4 KiB in 200 directories.
    const std::string tree = root + "/tree";
    mkdir(tree.c_str(), 0755);
    makeTree(tree);
    run({"cp", "-r", tree.c_str(), (root + "/warm").c_str()});
    std::filesystem::remove_all(root + "/warm");
    double cpTree = 1e9, ourTree = 1e9, rmTree = 1e9, ourDelete = 1e9;
    // Best of three, taking turns at going first, so that neither side
    // always meets what the other left in the caches.
    for (int round = 0; round < 3; ++round) {
        const auto peerCopy = [&] {
            cpTree = std::min(cpTree, run({"cp", "-r", tree.c_str(), (root + "/tree.cp").c_str()}));
        };
        const auto ourCopy = [&] {
            CopyEngine copier(ui);
            ourTree =
                std::min(ourTree, timed([&] { copier.CopyTree(tree, root + "/tree.km", false); }));
        };
        const auto peerDelete = [&] {
            rmTree = std::min(rmTree, run({"rm", "-rf", (root + "/tree.cp").c_str()}));
        };
        const auto ourDeleteRun = [&] {
            DeleteEngine permanent(ui, false, false);
            ourDelete =
                std::min(ourDelete, timed([&] { permanent.DeleteTree(root + "/tree.km"); }));
        };
        if (round % 2 == 0) {
            peerCopy();
            ourCopy();
            peerDelete();
            ourDeleteRun();
        } else {
            ourCopy();
            peerCopy();
            ourDeleteRun();
            peerDelete();
        }
    }
    report("tree copy vs cp -r", ourTree, cpTree);
    report("tree delete vs rm -rf", ourDelete, rmTree);

    // A move across file systems, tmpfs to this disk: copy, one flush of the
    // target file system, then the source goes. mv flushes nothing.
    const std::string shm = argc > 2 ? argv[2] : "/dev/shm";
    const std::string staging = shm + "/km-bench-move";
    std::filesystem::remove_all(staging);
    if (mkdir(staging.c_str(), 0755) == 0) {
        double mvTree = 1e9, ourMove = 1e9;
        for (int round = 0; round < 2; ++round) {
            run({"cp", "-r", tree.c_str(), (staging + "/mv").c_str()});
            run({"cp", "-r", tree.c_str(), (staging + "/km").c_str()});
            mvTree = std::min(mvTree,
                              run({"mv", (staging + "/mv").c_str(), (root + "/moved.mv").c_str()}));
            CopyEngine mover(ui);
            ourMove = std::min(ourMove, timed([&] {
                                   mover.MoveTree(staging + "/km", root + "/moved.km", false);
                               }));
            std::filesystem::remove_all(root + "/moved.mv");
            std::filesystem::remove_all(root + "/moved.km");
        }
        report("tree move tmpfs->disk vs mv", ourMove, mvTree);
        std::filesystem::remove_all(staging);
    }

    // To the trash, in a private data home so the user's trash is untouched.
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    run({"cp", "-r", tree.c_str(), (root + "/tree.cp").c_str()});
    const double rmAgain = run({"rm", "-rf", (root + "/tree.cp").c_str()});
    DeleteEngine toTrash(ui, true, false);
    const double ourTrash = timed([&] { toTrash.DeleteTree(tree); });
    report("tree to trash vs rm -rf", ourTrash, rmAgain); // one rename: the folder goes whole

    std::filesystem::remove_all(root);
    return 0;
}
