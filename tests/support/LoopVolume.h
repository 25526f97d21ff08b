#pragma once
// A loop device on a small ext4 image labelled "KM Test", unmounted, for the
// tests that list block devices. Making one needs root, losetup and
// mkfs.ext4; `device()` is empty where it could not be made, and
// `skipReason()` says why.
#include "support/Python.h"
#include "support/TempDir.h"

#include <cstdint>
#include <string>
#include <unistd.h>

namespace km::test {

class LoopVolume {
public:
    LoopVolume() {
        if (::geteuid() != 0) {
            skip_ = "making a loop device needs root";
            return;
        }
        const std::string image = dir_.file("disk.img"), out = dir_.file("dev");
        if (RunQuietly({"truncate", "-s", "8M", image}) != 0 ||
            RunQuietly({"mkfs.ext4", "-q", "-F", "-L", "KM Test", image}) != 0) {
            skip_ = "truncate or mkfs.ext4 (e2fsprogs) is missing";
            return;
        }
        // Containers often have no loop devices at all; losetup failing beside
        // /dev/loop-control is no such case, and says why.
        if (::access("/dev/loop-control", R_OK | W_OK) != 0) {
            skip_ = "no /dev/loop-control: this machine has no loop devices";
            return;
        }
        if (RunQuietly({"sh", "-c", "losetup --find --show \"$0\" > \"$1\" 2> \"$1.err\"", image,
                        out}) != 0) {
            skip_ = "losetup could not set up a loop device: " + ReadAll(out + ".err");
            while (!skip_.empty() && skip_.back() == '\n')
                skip_.pop_back();
            return;
        }
        device_ = ReadAll(out);
        while (!device_.empty() && device_.back() == '\n')
            device_.pop_back();
    }
    ~LoopVolume() {
        if (!device_.empty())
            RunQuietly({"losetup", "-d", device_});
    }
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    static constexpr uint64_t kSize = 8u * 1024 * 1024;
    const std::string& device() const { return device_; } // "/dev/loop3"
    const std::string& skipReason() const { return skip_; }

private:
    TempDir dir_;
    std::string device_;
    std::string skip_;
};

} // namespace km::test
