#pragma once
// Extraction mode of the TAR reader: decides per entry, creates directories and writes files
// through a temporary file in the destination directory, renamed into place when complete.
#include "archive/ArchiveSink.h"
#include "archive/tar_gzip/TarParser.h"
#include "archive/tar_gzip/TarReader.h"

#include <string>
#include <vector>

namespace km::tar {

class TarExtractor : public TarEntryHandler {
public:
    TarExtractor(const ArchiveExtractOptions& options, ArchiveSink& sink, TarReport& report);
    ~TarExtractor() override;
    TarExtractor(const TarExtractor&) = delete;
    TarExtractor& operator=(const TarExtractor&) = delete;

    // Opens the target directory; false (and a problem) when it cannot be opened.
    bool OpenTarget();

    TarAction Begin(const TarEntry& entry) override;
    bool Data(const uint8_t* data, size_t size) override;
    bool End() override;

    // Drops a file still being written (the archive ended inside it, or the pass stopped).
    void Abandon();

    bool cancelled() const { return cancelled_; }

private:
    // The directory `components[0..count)` below the target, opened without following
    // symbolic links, created level by level when `create`. -1 on failure.
    int OpenDirectory(const std::vector<std::string>& components, size_t count, bool create);
    std::string FullPath(const std::string& relative) const;
    void Problem(int code, const std::string& name);
    bool CheckCancel();

    const ArchiveExtractOptions& options_;
    ArchiveSink& sink_;
    TarReport& report_;
    int rootFd_ = -1;
    uint64_t bytesDone_ = 0;
    bool cancelled_ = false;

    // The file being written.
    int parentFd_ = -1;
    int outFd_ = -1;
    std::string tempName_;
    std::string leafName_;
    std::string outputPath_;
    int64_t mtime_ = 0;
    bool writeFailed_ = false;
};

} // namespace km::tar
