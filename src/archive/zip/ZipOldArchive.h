#pragma once
// The existing archive as the ZipEngine reads it before changing it: every entry with its
// central header as stored and the bytes it occupies, the bytes in front of the first entry
// and the archive comment. Read over any volume, so it is tested and fuzzed in memory.
#include "archive/zip/CentralDirectory.h"
#include "archive/zip/ZipRandomAccess.h"

#include <cstdint>
#include <string>
#include <vector>

namespace km::zip {

struct ZipOldEntry {
    ZipEntry entry;      // the name normalised, the extra block as stored
    std::string central; // the whole central header as stored
    uint64_t start = 0;  // of the local header in the volume
    uint64_t length = 0; // local header, data and descriptor: up to the next entry
};

struct ZipOldArchive {
    std::vector<ZipOldEntry> entries; // in central-directory order
    uint64_t prefixLength = 0;        // bytes in front of the first entry (a self-extractor)
    std::string comment;
};

// False when the archive is damaged, spans disks or holds ZIP64 entries, which this engine
// does not rewrite. On success every entry lies inside the volume, in front of the central
// directory, and no two overlap.
// Requires: `in` is not empty.
bool ReadZipOldArchive(ZipRandomAccess& in, ZipOldArchive* out);

} // namespace km::zip
