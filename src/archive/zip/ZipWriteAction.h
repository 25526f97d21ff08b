#pragma once
// One run of the ZipEngine: read the old archive, select what to add, replace, delete or
// list, build the new archive in a temporary file beside the old one and put it in place.
#include "archive/zip/CentralDirectory.h"
#include "archive/zip/ZipArchiveWriter.h"
#include "archive/zip/ZipCallbacks.h"
#include "archive/zip/ZipEngineOptions.h"
#include "archive/zip/ZipPatterns.h"
#include "archive/zip/ZipVolumeSet.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace km::zip {

class ZipWriteAction {
public:
    ZipWriteAction(const ZipEngineOptions& options, ZipRecordChannel& channel,
                   const bool& abortRequested);

    int64_t Run();
    int lastError() const { return lastError_; }
    int lastWarning() const { return lastWarning_; }

private:
    struct SourceFile {
        std::string path; // on disk
        std::string name; // to store, '/' separators; a directory ends in '/'
        int64_t mtime = 0;
        uint64_t size = 0;
        uint32_t attributes = 0;
        uint32_t mode = 0; // type and permission bits, kept for Unix hosts
        bool directory = false;
        bool isLink = false;
        std::string linkText; // a link is stored as itself: its target text is the data
    };
    struct OldEntry {
        ZipEntry entry;
        std::string central; // the whole central header as stored
        uint64_t start = 0;  // of the local header in the old file
        uint64_t length = 0; // local header, data and descriptor
        bool marked = false;
        bool newer = false;
        SourceFile file;
    };
    struct Pattern {
        std::string text;
        bool recurse = false;
    };
    // An entry of the new archive; its central header is built when the directory is
    // written, with ZIP64 fields where its sizes or offset need them.
    struct Written {
        ZipEntry entry;
        std::string name;  // as stored
        std::string extra; // without a ZIP64 block
        std::string comment;
    };

    void run();
    void runMemory();
    void resolveArchiveName();
    bool buildPatterns();
    void readOldArchive();
    void markEntries();
    void findFiles();
    // Takes one found file, after the filters.
    void addFile(const std::string& path, const struct stat& st, uint32_t attributes);
    void searchDirectory(const std::string& dir, const std::string& namePattern, bool recurse,
                         bool isBase);
    bool keepFile(const std::string& path, const std::string& name, const struct stat& st,
                  uint32_t attributes);
    std::string storedName(const std::string& path) const;
    void takeFile(SourceFile file);
    bool checkWritable();
    void writeArchive();
    void copyOldEntry(const OldEntry& old);
    bool compressFile(const SourceFile& file);
    bool askReplace(const OldEntry& old);
    void writeCentralDirectory();
    // The ZIP64 end record and locator when needed, then the end record and the comment.
    std::string endRecords(uint64_t count, uint64_t countHere, uint64_t size, uint64_t start,
                           uint32_t centralDisk, uint32_t thisDisk, uint64_t at) const;
    std::string archiveComment() const;
    // Rewrites the finished temporary archive as a split set in place of the archive:
    // parts of the chosen size, or on removable media, one a medium.
    bool writeSplitSet(bool media);
    bool askNextMedium(uint32_t number);
    bool copyTempTo(const std::string& path);
    static std::string findSfxStub();
    bool writeSfxStub();
    void replaceArchive();
    void finishSources();

    bool send(int type, const std::string& fields);
    // Ends the action unless `endsAction` is false (a file that could not be read).
    void error(int code, std::string_view name = {}, bool endsAction = true);
    void warn(int code, std::string_view name = {});
    bool out(const void* data, size_t length);

    const ZipEngineOptions& options_;
    ZipRecordChannel& channel_;
    const bool& abortRequested_;
    int overwrite_;
    std::string archive_;
    bool archiveExisted_ = false;
    dev_t archiveDev_ = 0;
    ino_t archiveIno_ = 0;
    mode_t archiveMode_ = 0;
    int64_t archiveTime_ = 0;
    uint32_t archiveAttributes_ = 0;
    std::vector<Pattern> include_;
    ZipPatternList exclude_;
    ZipFileVolume old_;
    std::vector<OldEntry> entries_;
    std::unordered_map<std::string, size_t> entryByName_; // the first entry of each name
    std::vector<SourceFile> newFiles_;
    std::unordered_set<std::string> newNames_;
    std::vector<std::pair<dev_t, ino_t>> openDirectories_; // the search's current chain
    std::vector<std::string> zippedSources_;
    std::vector<Written> written_;
    uint64_t prefixLength_ = 0;
    std::string oldComment_;
    ZipArchiveWriter temp_;
    uint64_t centralStart_ = 0; // in temp_
    bool sfxStubWritten_ = false;
    uint64_t count_ = 0;
    uint64_t index_ = 0;
    uint64_t totalBytes_ = 0;
    uint64_t totalDone_ = 0;
    int64_t processed_ = 0;
    bool stop_ = false;
    bool replaced_ = false;
    int lastError_ = 0;
    int lastWarning_ = 0;
};

} // namespace km::zip
