#pragma once
// A FUSE file system (the test's own Python script) whose one directory,
// "slow", never finishes listing until `release` exists, while lookups and
// removal of the files it holds (`names`) answer at once.
#include "support/Python.h"

#include <chrono>
#include <csignal>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace km::test {

class BlockingFileSystem {
public:
    BlockingFileSystem(const std::string& mountPoint, const std::string& release,
                       const std::vector<std::string>& names = {})
        : mountPoint_(mountPoint) {
        const std::string& python = PythonWithModule("fusepy");
        if (!Unusable().empty())
            return;
        mkdir(mountPoint.c_str(), 0755);
        std::vector<const char*> argv{python.c_str(), KM_BLOCKING_FS_SCRIPT, mountPoint.c_str(), release.c_str()};
        for (const std::string& n : names)
            argv.push_back(n.c_str());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            execvp(argv[0], const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        struct stat st;
        for (int i = 0; i < 200 && !mounted_; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            mounted_ = stat((mountPoint + "/slow").c_str(), &st) == 0;
        }
    }
    ~BlockingFileSystem() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM); // it unmounts on its way out
            waitpid(pid_, nullptr, 0);
            umount2(mountPoint_.c_str(), MNT_DETACH);
        }
    }
    // Why no such file system can be mounted here; empty when it can.
    static std::string Unusable() {
        if (access("/dev/fuse", R_OK | W_OK) != 0)
            return "no usable /dev/fuse here";
        if (PythonWithModule("fusepy").empty())
            return "fusepy (python3-fusepy) is not installed";
        return {};
    }
    BlockingFileSystem(const BlockingFileSystem&) = delete;
    BlockingFileSystem& operator=(const BlockingFileSystem&) = delete;
    bool mounted() const { return mounted_; }

private:
    std::string mountPoint_;
    pid_t pid_ = -1;
    bool mounted_ = false;
};

} // namespace km::test
