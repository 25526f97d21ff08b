#pragma once
// Extraction mode of the TAR reader: decides per entry and hands files, directories and
// links to the extraction layer (files renamed into place only when complete, modes without
// set-uid, links as links, hard links only to what was extracted below the target).
#include "archive/ArchiveSink.h"
#include "archive/extract/ExtractTarget.h"
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
    bool Hole(uint64_t length) override;
    bool End() override;

    // Drops a file still being written (the archive ended inside it, or the pass stopped).
    void Abandon();

    bool cancelled() const { return cancelled_; }

private:
    // False to leave this entry out: an existing directory at `parts` (a problem), or,
    // with `ask`, an existing file the user wants kept.
    bool mayWrite(const ExtractPath& parts, uint64_t size, int64_t mtime, bool ask);
    // Counts written bytes and asks whether to go on; false when cancelled.
    bool Advance(uint64_t bytes);
    void Problem(int code, const std::string& name);
    bool CheckCancel();

    const ArchiveExtractOptions& options_;
    ArchiveSink& sink_;
    TarReport& report_;
    ExtractTarget target_;
    uint64_t bytesDone_ = 0;
    bool cancelled_ = false;

    // The file being written.
    ExtractFile file_;
    bool writing_ = false;
    std::string outputPath_;
    ExtractPath parts_;
    EntryAttributes attributes_;
    int64_t listedTime_ = -1;
    uint64_t fileBytes_ = 0;
    bool askAtEnd_ = false; // the length is known only at the end: so is the question
};

} // namespace km::tar
