#pragma once
// Handing a block device to the desktop's disk utility for the actions this
// program leaves to it: formatting and copying a disk.
#include "platform/BlockDevices.h"

#include <string>
#include <string_view>
#include <vector>

namespace km {

enum class DiskAction { Format, Copy };

// The argument vector that opens the installed disk utility on `device` for
// `action`: GNOME Disks with its "Format Volume" dialog for the device, or on
// the device for a copy (its "Create Disk Image"); else KDE Partition Manager
// on the disk that holds the device. `windowId` (an X11 window, may be empty)
// makes GNOME Disks' dialog belong to our window. Empty when neither is there.
std::vector<std::string> DiskUtilityCommand(DiskAction action, const BlockDevice& device,
                                            const std::string& windowId);

// What the user is told when DiskUtilityCommand finds neither utility.
std::string_view NoDiskUtilityText();

} // namespace km
