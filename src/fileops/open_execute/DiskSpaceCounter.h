#pragma once
// Totals of a directory tree for "Calculate disk space".
#include <cstdint>
#include <functional>
#include <string>

namespace km {

struct DiskSpaceTotals {
    uint64_t directories = 0;
    uint64_t files = 0;
    uint64_t bytes = 0; // apparent sizes
};

// Counts everything below `dirPath` (not the directory itself), hidden
// entries included. `dirPath` itself may be a link to the directory; below
// it symbolic links are counted as themselves and never followed, so a link to a directory adds one file and cannot loop; a file
// with several hard links in the tree is counted once. Unreadable
// subdirectories count as directories without contents. `pump` runs before
// each entry; when it returns true counting stops and the result is false.
bool CountDiskSpace(const std::string& dirPath, DiskSpaceTotals& totals,
                    const std::function<bool()>& pump);

} // namespace km
