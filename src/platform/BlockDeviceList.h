#pragma once
// The block devices of this machine, read with lsblk (and blkid for the file
// systems lsblk could not tell).
#include "platform/BlockDevices.h"

#include <functional>
#include <string>
#include <vector>

namespace km {

// Called while the tools run; false gives up (a disk that does not answer
// holds lsblk). Returns the devices in lsblk's order; empty, with `error`
// set to what went wrong, when lsblk could not be run or said nothing usable.
std::vector<BlockDevice> ReadBlockDevices(const std::function<bool()>& keepGoing,
                                          std::string& error);

} // namespace km
