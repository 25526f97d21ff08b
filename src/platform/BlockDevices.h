#pragma once
// The machine's block devices (disks, partitions, loop devices, optical
// drives), mounted or not, as lsblk reports them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace km {

struct BlockDevice {
    std::string name;   // "sdb1"
    std::string path;   // "/dev/sdb1"
    std::string type;   // lsblk's: disk, part, loop, rom, crypt, lvm, raid1 …
    std::string parent; // the path of the device that holds this one; empty for a disk
    std::string fsType, label, uuid, model;
    uint64_t size = 0;
    std::optional<uint64_t> fsUsed, fsAvail; // known while mounted
    std::vector<std::string> mountPoints;
    bool readOnly = false;
    bool removable = false; // the medium can be taken out (a floppy, a card reader)
    bool hotplug = false;   // the device can be plugged in and out (a USB stick)

    bool isOptical() const { return type == "rom" || fsType == "iso9660" || fsType == "udf"; }
    bool isRemovable() const { return removable || hotplug; }
    // The whole disk a partition is on (itself for a disk), as partition tools want it.
    const std::string& disk() const { return parent.empty() ? path : parent; }
};

// The columns ParseLsblkJson reads, for `lsblk --json --bytes --output`.
inline constexpr char kLsblkColumns[] =
    "NAME,PATH,TYPE,FSTYPE,LABEL,UUID,SIZE,FSUSED,FSAVAIL,MOUNTPOINTS,RO,RM,HOTPLUG,MODEL,PKNAME";
// The same for util-linux before 2.37, which has MOUNTPOINT only.
inline constexpr char kLsblkColumnsOld[] =
    "NAME,PATH,TYPE,FSTYPE,LABEL,UUID,SIZE,FSUSED,FSAVAIL,MOUNTPOINT,RO,RM,HOTPLUG,MODEL,PKNAME";

// Reads `lsblk --json --bytes` output: devices nested as "children" (the
// default) or flat (--list), MOUNTPOINTS arrays or a MOUNTPOINT string, flags
// as JSON booleans or as "0"/"1" and sizes as numbers or strings (older
// versions quote every value). Devices come in document order, each before its
// children. A device without a usable path (one under /dev/, no NUL, no "..")
// is left out with its children; a field of the wrong type counts as absent.
// False when the text is not such a document.
bool ParseLsblkJson(std::string_view text, std::vector<BlockDevice>& out);

struct BlkidEntry {
    std::string device; // DEVNAME
    std::string type, label, uuid;
};

// Reads `blkid --output export` text: blocks of NAME=value lines, one block a
// device, a backslash quoting the next character. Blocks without a DEVNAME
// are left out.
std::vector<BlkidEntry> ParseBlkidExport(std::string_view text);

// Fills in the file system, label and UUID that lsblk could not tell (it reads
// them from udev, which a container may lack) from what blkid found.
void MergeBlkid(std::vector<BlockDevice>& devices, const std::vector<BlkidEntry>& found);

} // namespace km
