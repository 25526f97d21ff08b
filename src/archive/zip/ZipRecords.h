#pragma once
// Field texts of the records both engines send (everything after the six-character prefix).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace km::zip {

enum ZipRecordType : int {
    RecordSearching = 10,
    RecordComment = 11,
    RecordCompressing = 12,
    RecordAdded = 13,
    RecordExtracting = 14,
    RecordExtracted = 15,
    RecordTesting = 16,
    RecordTested = 17,
    RecordDeleting = 18,
    RecordDeleted = 19,
    RecordDiskRequest = 20,
    RecordView = 21,
    RecordError = 22,
    RecordWarning = 23,
    RecordOverwriteQuery = 24,
    RecordReplacing = 25,
    RecordReplaced = 26,
};

// Records 12 to 17 share these nine fields.
struct ProgressFields {
    std::string_view archive;
    std::string_view name;
    uint64_t size = 0;
    uint64_t done = 0;
    unsigned percent = 0;
    uint64_t count = 0;
    uint64_t index = 0;
    uint64_t totalBytes = 0;
    uint64_t totalDone = 0;
};

// done x 100 / size, 0 for an empty file.
unsigned ProgressPercent(uint64_t done, uint64_t size);

std::string FormatProgress(const ProgressFields& f);

// The central-directory facts one view record shows.
struct ViewFields {
    std::string_view archive;
    std::string_view name; // '/' separators; a directory entry ends in '/'
    uint64_t uncompressed = 0;
    uint64_t compressed = 0;
    bool encrypted = false;
    uint16_t dosDate = 0;
    uint16_t dosTime = 0;
    uint32_t externalAttributes = 0;
    uint16_t method = 0;
    uint16_t flags = 0;
    uint32_t crc = 0;
    uint16_t internalAttributes = 0;
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    std::string_view extra; // the entry's extra field as stored
};

struct ZipEntry;
// The view fields of a central directory entry, as both engines report it.
ViewFields ViewFieldsOf(const ZipEntry& e, std::string_view archive);

// Compression as percent saved: ((u - c) x 1000 + u / 2) / u per mille, +5, /10, with
// c less the 12-byte encryption header; 0 for an empty entry, negative when it grew.
int ViewPercent(uint64_t uncompressed, uint64_t compressed, bool encrypted);

// 0 stored, 10 shrunk, 20..50 reduced, 60 imploded, 70 tokenized, 80 + option bits deflated,
// 255 for anything above 8.
int ViewMethodCode(uint16_t method, uint16_t flags);

std::string FormatView(const ViewFields& f);

// Record 11: archive, the comment's stated length, then the comment cut to fit the record.
std::string FormatComment(std::string_view archive, uint64_t statedLength,
                          std::string_view comment);

// Records 22 and 23.
std::string FormatProblem(std::string_view archive, std::string_view name, int code);

// Record 20; on the unzip side disk 0 means the last disk.
std::string FormatDiskRequest(std::string_view archive, uint32_t disk);

// Record 24: the existing copy first, then the new one; dates as QueryDateText.
std::string FormatOverwriteQuery(std::string_view archive, std::string_view name,
                                 uint64_t existingSize, std::string_view existingDate,
                                 uint64_t newSize, std::string_view newDate);

// The engines' own replace question when no callback or window is there:
// `question`, then the existing file's lines and the new file's, whatever
// the lengths of the names.
std::string OverwriteQuestionText(std::string_view question, std::string_view existingName,
                                  uint64_t existingSize, std::string_view existingDate,
                                  std::string_view newName, uint64_t newSize,
                                  std::string_view newDate);

// The fields of a record's text, split at '|'; a '\\' takes the byte after it as it is.
std::vector<std::string> RecordFields(std::string_view text);

// The answer to record 24 (0 yes, 1 yes to all, 2 no, 3 no to all): true when
// the entry is to be written; "to all" answers turn `mode` into 11 or 12.
bool ApplyOverwriteAnswer(int answer, int& mode);

} // namespace km::zip
