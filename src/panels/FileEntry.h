#pragma once
#include "platform/FileTime.h"

#include <cstdint>
#include <string>

namespace km {

enum EntryKind : int { KindParent = 0, KindDirectory = 1, KindFile = 2 };

// One row of a panel.
// Small on purpose: a panel may hold a million of them.
struct FileEntry {
    std::string name; // raw bytes; ".." for the parent entry
    std::string nameKey; // collation key of `name`, made when the row is read
    uint64_t size = 0;
    FileTime lastWrite = 0;
    uint32_t attributes = 0;
    uint8_t kind = KindFile;
    bool selected = false;
};

} // namespace km
