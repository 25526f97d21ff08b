#pragma once
// The extraction pass of the libarchive bridge: decides per entry and hands files,
// directories and links to the extraction layer, as the TAR reader does.
#include "archive/ArchiveSink.h"
#include "archive/extract/ExtractTarget.h"

#include <set>
#include <string>

struct archive_entry;

namespace km {

class OtherArchive;
class PassphrasePrompt;
class SparseOutput;

class OtherExtractor {
public:
    OtherExtractor(OtherArchive& archive, PassphrasePrompt& prompt,
                   const ArchiveExtractOptions& options, ArchiveSink& sink);
    OtherExtractor(const OtherExtractor&) = delete;
    OtherExtractor& operator=(const OtherExtractor&) = delete;

    // The whole pass over an opened archive. True when every wanted entry was written or
    // the user cancelled; otherwise false with the first problem's line.
    bool Run(std::string& message);

private:
    enum class Flow { Next, Stop };
    enum class Data { Done, Undecryptable, WriteFailed, Failed, Fatal, Cancelled };

    Flow entry();
    Flow directory(struct archive_entry* e, const std::string& name);
    Flow link(struct archive_entry* e, const ExtractPath& parts, bool hard);
    Flow file(struct archive_entry* e, const ExtractPath& parts, const std::string& name);
    Data copy(SparseOutput& out, bool encrypted);
    Flow afterDataProblem(Data result, const std::string& name);
    void relink(struct archive_entry* e, const ExtractPath& parts);
    bool mayWrite(const ExtractPath& parts, struct archive_entry* e);
    void problem(const std::string& line);
    void outputProblem(int stringId, const std::string& path);
    bool checkCancel();

    OtherArchive& archive_;
    PassphrasePrompt& prompt_;
    const ArchiveExtractOptions& options_;
    ArchiveSink& sink_;
    ExtractTarget target_;
    uint64_t bytesDone_ = 0;
    bool cancelled_ = false;
    std::string firstProblem_;
    std::string outputPath_;
    std::set<std::string> written_; // files this pass wrote, as joined output components
};

} // namespace km
