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
// tmpfs under /run, the desktop portal's document store, …) are skipped; octal
// escapes in paths are decoded. Later mounts on the same point replace earlier
// ones. User FUSE mounts (sshfs, rclone) are kept wherever they are; the gvfs
// FUSE mount is not itself a drive (see GvfsMountPoints).
std::vector<Volume> ParseMountInfo(std::string_view text);

// The mount points of the desktop's gvfs FUSE file system in mountinfo text
// (typically /run/user/<uid>/gvfs). Each share or device the desktop has
// mounted is one directory directly below it.
std::vector<std::string> GvfsMountPoints(std::string_view mountInfoText);

// The name the desktop shows for one gvfs entry, such as "docs on nas" for
// "smb-share:server=nas,share=docs". An entry of an unknown form keeps its name.
std::string GvfsDisplayName(std::string_view entry);

// One volume per share or device directory in the gvfs directory `gvfsDir`;
// empty when it cannot be read.
std::vector<Volume> ListGvfsVolumes(const std::string& gvfsDir);

// The mounted volumes of this machine, with the desktop's gvfs mounts, sorted
// by mount point.
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
