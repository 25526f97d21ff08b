#pragma once
// One line of a compared file and the section a run of lines forms.
#include <cstddef>
#include <cstdint>

namespace km {

inline constexpr size_t kNoLine = static_cast<size_t>(-1);

struct CompareLine {
    size_t offset = 0;   // of its text in the file's bytes
    uint32_t length = 0; // 1 … LineFile::kMaxLineBytes, end-of-line bytes included
    uint32_t hash = 0;   // valid once `hashed`
    bool hashed = false;
    size_t partner = kNoLine; // the matched line of the other file
};

enum SectionState : int {
    StateSame = 1,
    StateLeftOnly = 7,
    StateRightOnly = 8,
    StateMovedLeft = 9,
    StateMovedRight = 10,
    StateOutput = 99, // composition has shown it already
};

inline constexpr size_t kNoSection = static_cast<size_t>(-1);

// A run of consecutive lines of one file; `link` and `counterpart` index the
// other file's section list.
struct CompareSection {
    size_t first = 0;
    size_t last = 0; // inclusive
    int state = StateSame;
    size_t link = kNoSection;        // a same section's twin
    size_t counterpart = kNoSection; // an unmatched section's opposite number
    size_t lineCount() const { return last - first + 1; }
};

} // namespace km
