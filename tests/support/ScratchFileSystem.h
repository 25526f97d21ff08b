#pragma once
// A small file system of its own for a test: a tmpfs of the given size
// mounted on a temporary directory (as root), so a test can fill a disk or
// move across file systems for real. Unmounted at the end.
#include "support/TempDir.h"

#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace km::test {

class ScratchFileSystem {
public:
    explicit ScratchFileSystem(const std::string& size) {
        if (::geteuid() != 0 || dir_.path().empty())
            return;
        const std::string options = "size=" + size + ",mode=0755";
        mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.c_str()) == 0;
    }
    ~ScratchFileSystem() {
        if (mounted_)
            ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    ScratchFileSystem(const ScratchFileSystem&) = delete;
    ScratchFileSystem& operator=(const ScratchFileSystem&) = delete;

    // False where this process may not mount (not root, or in a container
    // that forbids it): the test then says so and skips.
    bool mounted() const { return mounted_; }
    const std::string& path() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    TempDir dir_;
    bool mounted_ = false;
};

} // namespace km::test
