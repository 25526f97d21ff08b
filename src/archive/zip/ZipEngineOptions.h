#pragma once
// The options of one ZipEngine action with their defaults, and the engine's global state
// that the writer's action uses.
#include "archive/zip/ZipCallbacks.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace km::zip {

struct ZipDay {
    int year = 0; // 0: not set
    int month = 0;
    int day = 0;
};

struct ZipEngineOptions {
    std::string archiveName;
    std::string include;
    std::string includeListFile;
    std::string exclude;
    std::string excludeListFile;
    bool recurse = false;
    int saveStructure = 2;
    std::string saveRelativeTo;
    bool includeDirectoryEntries = false;
    bool includeEmptyDirectoryEntries = false;
    int includeArchive = 1;
    int includeReadOnly = 1;
    int includeHidden = 0;
    int includeSystem = 0;
    ZipDay includeFilesNewer;
    ZipDay includeFilesOlder;
    int compressionLevel = 2;
    std::string store; // empty: the default store list
    std::string password;
    std::string comment;
    bool deleteComment = false;
    bool displayComment = false;
    bool update = false;
    bool freshen = false;
    bool deleteEntries = false;
    bool move = false;
    bool view = false;
    int overwrite = 10;
    int saveAttributes = 1;
    int clearAttributes = 0;
    int setArchiveDate = 1;
    bool useLfn = true;
    std::string tempDirectory;
    bool span = false;
    bool spanCreateImages = false;
    uint64_t spanFirstSize = 0;
    uint64_t spanOtherSize = 0;
    bool buildSfx = false;
    std::string sfxProgram;
    std::string sfxParameters;
    bool sfxAutoPasswordPrompt = false;
    std::string sfxExtractTo;
    bool sfxRestoreStructure = false;
    const uint8_t* input = nullptr;
    size_t inputLength = 0;
    bool fromMemory = false;
    uint8_t* output = nullptr;
    size_t outputLength = 0;
    bool toMemory = false;
};

constexpr const char* kDefaultStoreList = "|ARC|ARJ|LZH|Z|ZIP|ZOO|";

struct ZipEngineState {
    ZipEngineOptions options;
    ZipRecordChannel channel{0};
    int lastError = 0;
    int lastWarning = 0;
    bool abortRequested = false;
    // Kept inverted and never reset: 0 (the start) chooses the "AZBACK# %03i" label.
    int keepCompatible = 0;
};

ZipEngineState& ZipEngineGlobal();

// The spanned-disk volume label format KeepCompatible chooses.
const char* ZipSpanLabelFormat();

} // namespace km::zip
