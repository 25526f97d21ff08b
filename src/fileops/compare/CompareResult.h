#pragma once
// The results of the line compare engine; nothing else leaves it.
namespace km {

enum CompareResult : int {
    CompareOk = 0,
    // A file could not be opened or read, or is not a regular file: the
    // comparison shows nothing and says nothing.
    CompareCannotOpen = 1,
    // The memory for the comparison could not be obtained.
    CompareNoMemory = 2,
};

} // namespace km
