#pragma once
// The options of one UnzipEngine action with their defaults.
#include <cstddef>
#include <cstdint>
#include <string>

namespace km::zip {

struct UnzipOptions {
    std::string archiveName;
    std::string include;
    std::string includeListFile;
    std::string includeNamesFile; // exact stored names, one per line, instead of patterns
    std::string exclude;
    std::string excludeListFile;
    std::string extractTo; // ends in '/' unless empty (the current directory)
    std::string password;
    bool restoreStructure = false;
    int restoreAttributes = 32;
    int overwrite = 10;
    bool freshen = false;
    bool update = false;
    bool test = false;
    bool view = false;
    bool displayComment = false;
    const uint8_t* input = nullptr;
    size_t inputLength = 0;
    bool fromMemory = false;
    const uint8_t* image = nullptr; // a whole archive in memory, read instead of a file
    size_t imageLength = 0;
    uint8_t* output = nullptr;
    size_t outputLength = 0;
    bool toMemory = false;
};

} // namespace km::zip
