#pragma once
#include "platform/Volumes.h"

#include <string>
#include <vector>

namespace km {

// "[-" + mount point + "-]" + the description for the volume's type.
std::string DriveItemText(const Volume& v);
// "<total> total, <free> available", padded to 120 characters.
std::string DriveInfoText(const DiskSpace& space);

} // namespace km
