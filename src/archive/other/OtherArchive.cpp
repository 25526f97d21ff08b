#include "archive/other/OtherArchive.h"

#include "archive/other/OtherEntry.h"
#include "archive/other/OtherFormats.h"
#include "archive/other/OtherSource.h"

#include <archive.h>
#include <archive_entry.h>

namespace km {

namespace {

constexpr int kRetries = 8;
// A reader that fails header after header makes no progress; treat it as the end.
constexpr unsigned kFailuresInRow = 64;

using Reader = std::unique_ptr<struct archive, int (*)(struct archive*)>;

std::string oneLine(const char* text) {
    std::string line;
    for (const char* p = text ? text : ""; *p; ++p)
        line += static_cast<unsigned char>(*p) < 0x20 ? ' ' : *p;
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line.empty() ? "the archive is damaged or cut short" : line;
}

bool opened(int result) {
    return result == ARCHIVE_OK || result == ARCHIVE_WARN;
}

} // namespace

OtherArchive::OtherArchive(const OtherSource& source, PassphrasePrompt& prompt)
    : source_(source), prompt_(prompt) {}

OtherArchive::~OtherArchive() {
    if (reader_)
        archive_read_free(reader_);
}

bool OtherArchive::Open() {
    reader_ = archive_read_new();
    if (!reader_)
        return false;
    EnableOtherFormats(reader_);
    prompt_.Install(reader_);
    if (!opened(source_.OpenReader(reader_))) {
        fatal_ = true;
        return false;
    }
    return true;
}

OtherStep OtherArchive::settle(int result) {
    switch (result) {
    case ARCHIVE_OK:
    case ARCHIVE_WARN:
        return OtherStep::Ok;
    case ARCHIVE_EOF:
        return OtherStep::End;
    case ARCHIVE_FAILED:
        reason_ = oneLine(archive_error_string(reader_));
        return OtherStep::Failed;
    default:
        // Taken now: after a fatal result libarchive may overwrite its text.
        reason_ = oneLine(archive_error_string(reader_));
        fatal_ = true;
        return OtherStep::Fatal;
    }
}

OtherStep OtherArchive::NextHeader() {
    if (fatal_)
        return OtherStep::Fatal;
    int result = ARCHIVE_RETRY;
    for (int i = 0; i < kRetries && result == ARCHIVE_RETRY; ++i)
        result = archive_read_next_header(reader_, &entry_);
    const OtherStep step = settle(result);
    if (step == OtherStep::Failed && ++failuresInRow_ >= kFailuresInRow) {
        fatal_ = true;
        return OtherStep::Fatal;
    }
    if (step != OtherStep::Ok)
        return step;
    failuresInRow_ = 0;
    if (!sawHeader_) {
        sawHeader_ = true;
        firstEntry_ = StoredName(entry_);
    }
    prompt_.BeginEntry(ListedName(entry_));
    return step;
}

OtherStep OtherArchive::ReadBlock(const void*& data, size_t& size, int64_t& offset) {
    if (fatal_)
        return OtherStep::Fatal;
    int result = ARCHIVE_RETRY;
    la_int64_t at = 0;
    for (int i = 0; i < kRetries && result == ARCHIVE_RETRY; ++i)
        result = archive_read_data_block(reader_, &data, &size, &at);
    offset = at;
    if (result == ARCHIVE_WARN) {
        reason_ = oneLine(archive_error_string(reader_));
        return OtherStep::Damaged;
    }
    return settle(result);
}

const Rar5Encryption& OtherArchive::rar5() {
    if (!rar5_) {
        rar5_ = std::make_unique<Rar5Encryption>(
            ScanRar5Encryption([this](uint64_t offset, uint8_t* out, size_t size) {
                return source_.ReadAt(offset, out, size);
            }));
    }
    return *rar5_;
}

bool OtherArchive::isRar5() const {
    return (archive_format(reader_) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAR_V5;
}

bool OtherArchive::EntryEncrypted() {
    if (archive_entry_is_encrypted(entry_))
        return true;
    return isRar5() && rar5().files.count(StoredName(entry_)) > 0;
}

bool OtherArchive::headersEncrypted() {
    if (sawHeader_)
        return false;
    if (archive_read_has_encrypted_entries(reader_) > 0)
        return true;
    return isRar5() && rar5().headersEncrypted;
}

std::string OtherArchive::identify() {
    for (size_t i = 0; i < OtherFormatCount(); ++i) {
        Reader one(archive_read_new(), archive_read_free);
        if (!one)
            break;
        const int code = EnableOneOtherFormat(one.get(), i);
        if (opened(source_.OpenReader(one.get())))
            return OtherFormatLabel(code, HasRpmFilter(one.get()), {});
    }
    return {};
}

std::string OtherArchive::Label() {
    if (label_)
        return *label_;
    const int code = archive_format(reader_);
    std::string label =
        code != 0 ? OtherFormatLabel(code, HasRpmFilter(reader_), firstEntry_) : identify();
    if (label.empty())
        label = "Archive";
    // Before the first header a .deb cannot be told from another ar archive yet.
    if (sawHeader_ || code == 0)
        label_ = label;
    return label;
}

std::string OtherArchive::HeaderProblem() {
    if (prompt_.Cancelled())
        return {};
    const std::string label = Label();
    if (headersEncrypted()) {
        if (prompt_.Unanswered())
            return label + ": the archive's headers are encrypted and no password was given";
        if (!prompt_.Asked())
            return label + ": the archive's headers are encrypted; decrypting " + label +
                   " archives is not supported";
    }
    return label + ": " + reason_;
}

} // namespace km
