#pragma once
#include "platform/FileTime.h"

#include <cstdint>
#include <string>

namespace km {

enum EntryKind : int { KindParent = 0, KindDirectory = 1, KindFile = 2 };

// One row of a panel.
struct FileEntry {
    int kind = KindFile;
    std::string name; // raw bytes; ".." for the parent entry
    uint64_t size = 0;
    FileTime lastWrite = 0;
    uint32_t attributes = 0;
    bool selected = false;
    std::string nameKey; // collation key of `name`, made when the row is read
};

} // namespace km
