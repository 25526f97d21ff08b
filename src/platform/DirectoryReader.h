#pragma once
#include "platform/FileTime.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace km {

struct DirEntryInfo {
    std::string name; // raw bytes
    bool isDirectory = false;
    uint64_t size = 0;
    FileTime lastWrite = 0;
    uint32_t attributes = 0;
};

struct DirReadResult {
    int error = 0;         // errno of the failure, 0 on success
    std::string errorText; // the platform's text for it
};

// Reads every entry of `dirPath` except "." and "..". Symbolic links are
// described by their targets; a dangling link is listed as a file.
DirReadResult ReadDirectoryEntries(const std::string& dirPath, std::vector<DirEntryInfo>& out);
// The same, handing each entry to `sink` as it is read; reading stops early
// (with no error) when `sink` returns false.
DirReadResult ReadDirectoryEntries(const std::string& dirPath,
                                   const std::function<bool(DirEntryInfo&&)>& sink);

// The same for a panel, where the time to the first rows and to the last
// counts: names are read in blocks on the calling thread and described
// (stat, attributes) on several threads at once. `sink` gets the entries of
// each block as they are ready, from those threads, so it may be called
// concurrently; reading stops when it returns false.
DirReadResult ReadDirectoryBlocks(const std::string& dirPath,
                                  const std::function<bool(std::vector<DirEntryInfo>&)>& sink);

// The platform's text for an errno value.
std::string ErrorText(int err);

} // namespace km
