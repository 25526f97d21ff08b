#pragma once
// Comparing the files of two directories by name and modification time: each
// side gets those files selected that the other side lacks or has older.
// Names compare without regard to case, split at their first '.'; times to
// the minute of local time, so a difference of seconds is none.
#include "platform/FileTime.h"

#include <string>
#include <vector>

namespace km {

struct CompareFile {
    std::string name;
    FileTime lastWrite = 0;
};

struct DirectoryDifference {
    std::vector<std::string> left;  // files to select in the left panel
    std::vector<std::string> right; // and in the right one
};

// The files (not directories) of `dir`; hidden and system ones only when the
// panels' filters show them. An unreadable directory has none.
std::vector<CompareFile> ReadCompareFiles(const std::string& dir, bool showHidden, bool showSystem);

DirectoryDifference CompareDirectoryFiles(std::vector<CompareFile> left, std::vector<CompareFile> right);

} // namespace km
