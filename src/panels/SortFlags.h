#pragma once

namespace km {

enum SortFlag : int {
    SortDescending = 0x01,
    SortByDate = 0x10,
    SortBySize = 0x20,
    SortByExtension = 0x40,
    SortByName = 0x80,
    SortKeyMask = 0xF0,
};

// Header column that shows the arrow for a set of flags: 0 name/extension, 1 size, 2 date.
inline int SortColumnOfFlags(int flags) {
    if (flags & SortBySize)
        return 1;
    if (flags & SortByDate)
        return 2;
    return 0;
}

} // namespace km
