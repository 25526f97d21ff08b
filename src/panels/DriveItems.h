#pragma once
#include "platform/Volumes.h"

#include <string>
#include <vector>

namespace km {

// "[-" + mount point + "-]" + the description for the volume's type.
std::string DriveItemText(const Volume& v);
// "<total> total, <free> available", padded to 120 characters.
std::string DriveInfoText(const DiskSpace& space);
// The same in whole units for a narrow line: "1,863 GB total, 1,150 GB available".
std::string DriveInfoShortText(const DiskSpace& space);

} // namespace km
