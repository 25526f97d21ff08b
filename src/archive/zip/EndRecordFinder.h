#pragma once
// Locates the end-of-central-directory record (and its ZIP64 successor) of one volume.
#include "archive/zip/ZipRandomAccess.h"

#include <cstdint>

namespace km::zip {

struct EndRecord {
    uint64_t position = 0; // of the 22-byte record in this volume
    uint32_t thisDisk = 0;
    uint32_t centralDisk = 0;
    uint64_t entriesThisDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t centralSize = 0;
    uint64_t centralOffset = 0;
    uint16_t commentLength = 0;
    bool endsAtEnd = false; // record plus comment end exactly at the end of the volume
    bool zip64 = false;
    uint64_t zip64Position = 0; // of the ZIP64 end record, when zip64
};

enum class EndSearchResult { Found, NotFound, ReadError };

// Searches backwards from the end in overlapping blocks of at most 16 KiB, within the last
// `window` bytes (0: the whole volume). The first record whose comment ends exactly at the
// end wins; when none does, the last one found (the one furthest to the front).
EndSearchResult FindEndRecord(ZipRandomAccess& in, uint64_t window, EndRecord* out);

// Decodes the 22 fixed bytes of an end record (signature included).
void ParseEndRecord(const uint8_t* p, EndRecord* out);

// When a ZIP64 locator precedes the record, reads the ZIP64 end record and takes its values
// for every field the old record left saturated. False when the locator points at nothing.
bool ApplyZip64EndRecord(ZipRandomAccess& in, EndRecord* record);

} // namespace km::zip
