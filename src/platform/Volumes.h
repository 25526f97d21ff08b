#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km {

enum class VolumeType { Removable, Fixed, Remote, CdRom, Other };

struct Volume {
    std::string mountPoint; // raw bytes, unescaped
    std::string source;     // device or remote share
    std::string fsType;
    std::string label; // file-system label where one is known
    VolumeType type = VolumeType::Other;
};

// Parses /proc/self/mountinfo text. Pseudo file systems (proc, sysfs, cgroup,
// tmpfs under /run, …) are skipped; octal escapes in paths are decoded. Later
// mounts on the same point replace earlier ones.
std::vector<Volume> ParseMountInfo(std::string_view text);

// The mounted volumes of this machine, sorted by mount point.
std::vector<Volume> ReadVolumes();

// The volume whose mount point holds `path` (longest prefix); "/" if none.
std::string MountPointForPath(const std::vector<Volume>& volumes, std::string_view path);

// Whether `path` lies on a removable volume (a stick, a card, a floppy).
bool IsOnRemovableVolume(const std::string& path);

struct DiskSpace {
    uint64_t total = 0;
    uint64_t free = 0;
};

// statvfs: blocks × fragment size and free blocks × fragment size; zeros on failure.
DiskSpace QueryDiskSpace(const std::string& path);

} // namespace km
