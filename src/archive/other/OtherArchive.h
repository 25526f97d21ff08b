#pragma once
// One libarchive reader with this bridge's formats over a source: the steps of a pass with
// libarchive's return codes sorted into four outcomes, and its problems as one line each.
#include "archive/other/PassphrasePrompt.h"
#include "archive/other/Rar5Encryption.h"
#include "archive/other/Utf8Names.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct archive;
struct archive_entry;

namespace km {

class OtherSource;

enum class OtherStep {
    Ok,      // an entry's header, or a block of its data
    Damaged, // a block with a warning (7-Zip's CRC check failed): its bytes are not to be kept
    End,     // no more entries, or no more data of this one
    Failed,  // this entry is lost; the archive may go on (ARCHIVE_FAILED)
    Fatal,   // nothing more can be read (ARCHIVE_FATAL, or retries used up)
};

class OtherArchive {
public:
    OtherArchive(const OtherSource& source, PassphrasePrompt& prompt);
    ~OtherArchive();
    OtherArchive(const OtherArchive&) = delete;
    OtherArchive& operator=(const OtherArchive&) = delete;

    // False when libarchive recognises none of the formats (or cannot read the file).
    bool Open();

    OtherStep NextHeader();
    // The entry of the last Ok header.
    struct archive_entry* Entry() const {
        return entry_;
    }
    // The next block of the entry's data at `offset` (blocks never overlap; a gap is a hole).
    // A header's warning is minor (a name in another character set); a block's is not.
    OtherStep ReadBlock(const void*& data, size_t& size, int64_t& offset);

    // Whether the current entry is encrypted, also where libarchive does not say so (RAR 5).
    bool EntryEncrypted();

    // The user's name of the format ("7-Zip"); found with single-format readers when no
    // header could be read.
    std::string Label();
    // libarchive's reason for the last Failed or Fatal step, on one line.
    const std::string& Reason() const { return reason_; }
    // The line for a failed header: empty when the password prompt was cancelled.
    std::string HeaderProblem();

private:
    OtherStep settle(int result);
    bool headersEncrypted();
    bool isRar5() const;
    const Rar5Encryption& rar5();
    std::string identify();

    Utf8Names utf8_; // before any reader exists, after the last is gone
    const OtherSource& source_;
    PassphrasePrompt& prompt_;
    struct archive* reader_ = nullptr;
    struct archive_entry* entry_ = nullptr;
    bool fatal_ = false;
    unsigned failuresInRow_ = 0;
    bool sawHeader_ = false;
    std::string firstEntry_;
    std::string reason_;
    std::optional<std::string> label_;
    std::unique_ptr<Rar5Encryption> rar5_;
};

} // namespace km
