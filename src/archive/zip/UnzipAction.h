#pragma once
// One run of the UnzipEngine: find the end record, read the central directory, select
// entries and list, test or extract them, reporting through the records.
#include "archive/extract/ExtractTarget.h"
#include "archive/zip/CentralDirectory.h"
#include "archive/zip/UnzipOptions.h"
#include "archive/zip/ZipCallbacks.h"
#include "archive/zip/ZipPatterns.h"
#include "archive/zip/ZipStreams.h"
#include "archive/zip/ZipVolumeSet.h"

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

namespace km::zip {

class UnzipAction {
public:
    // abortRequested may be set by the callback (UnzipEngine_Abort) while a record is out.
    UnzipAction(const UnzipOptions& options, ZipRecordChannel& channel, const bool& abortRequested);
    ~UnzipAction();

    int64_t Run();
    int lastError() const { return lastError_; }
    int lastWarning() const { return lastWarning_; }

    // Used by the entry sink: sends a progress record; false when the action must stop.
    bool SendProgress(int type, std::string_view name, uint64_t size, uint64_t done,
                      unsigned percent);

private:
    struct Selected {
        ZipEntry entry;
        uint64_t index = 0;
    };
    enum class EndCheck { Ok, Mismatch, Short };

    void runMemory();
    void runArchive();
    bool openArchive(std::string* path);
    bool readCentralDirectory(uint32_t disk, uint64_t offset, uint64_t count);
    EndCheck checkEndSignature();
    void extractEntry(const Selected& s);
    void extractData(const ZipEntry& entry, uint64_t index, ZipByteSource& raw, uint64_t rawSize,
                     bool headerCheckPossible);
    bool mayReplace(const ZipEntry& entry, const std::string& outputName, const ExistingEntry& f);
    void sendView(const ZipEntry& entry);
    bool handleVolumeStatus(VolumeStatus st);

    // Records. Each returns false when the action has to stop (abort, fatal error).
    bool send(int type, const std::string& fields);
    void error(int code, std::string_view name = {});
    bool warn(int code, std::string_view name = {});

    const UnzipOptions& options_;
    ZipRecordChannel& channel_;
    const bool& abortRequested_;
    int overwrite_;
    std::string archive_;
    ZipPatternList include_;
    ZipPatternList exclude_;
    // With a names file: the only names extracted, looked up in constant time.
    std::unordered_set<std::string> names_;
    bool namesOnly_ = false;
    std::unique_ptr<ZipVolumeSet> volumes_;
    std::unique_ptr<ExtractTarget> target_;
    std::vector<Selected> table_;
    uint64_t extraBytes_ = 0;
    uint64_t totalStored_ = 0;
    uint64_t storedRead_ = 0;
    uint64_t done_ = 0;
    uint64_t memoryWritten_ = 0;
    bool didSomething_ = false;
    bool stop_ = false;
    bool lastDiskAsked_ = false;
    int lastError_ = 0;
    int lastWarning_ = 0;
    // Progress context of the entry being decoded.
    uint64_t currentIndex_ = 0;
    std::string localExtra_; // extra field of the current entry's local header
};

} // namespace km::zip
