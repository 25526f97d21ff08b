#pragma once
// Error and warning codes of both engines, their string-table texts, and the message-box
// text the program builds from an error (22) or warning (23) record.
#include <string>
#include <string_view>

namespace km::zip {

constexpr int kZipEngineDigit = 0;
constexpr int kUnzipEngineDigit = 1;
constexpr int kAbortCode = 255;

enum UnzipErrorCode : int {
    UnzipErrorInvalidArchive = 2,
    UnzipErrorInvalidCentralDirectory = 3,
    UnzipErrorOutOfMemory = 4,
    UnzipErrorArchiveNotFound = 9,
    UnzipErrorCantOpenArchive = 10,
    UnzipErrorNothingToDo = 11,
    UnzipErrorDiskFull = 50,
    UnzipErrorUnexpectedEnd = 51,
    UnzipErrorMultiVolume = 101,
};

enum UnzipWarningCode : int {
    UnzipWarningImplodeFailed = 1,
    UnzipWarningImplodeIncomplete = 2,
    UnzipWarningShrinkFailed = 3,
    UnzipWarningDamagedArchive = 4,
    UnzipWarningCantOpenOutput = 9,
    UnzipWarningInvalidFilename = 10,
    UnzipWarningUnknownMethod = 11,
    UnzipWarningEncryptedNoPassword = 12,
    UnzipWarningInconsistentLocalHeader = 13,
    UnzipWarningWrongPassword = 14,
    UnzipWarningBadCrc = 15,
    UnzipWarningInvalidEntry = 19,
    UnzipWarningInflateFailed = 21,
    UnzipWarningNeedNewerVersion = 24,
    UnzipWarningShortComment = 100,
};

// Resource id of the heading: 15000 zip error, 15256 zip problem, 15512 unzip error,
// 15768 unzip problem. The code's own text has id heading + code.
int ZipHeadingId(int engine, bool warning);

// The string-table text of an id (the program's one table), or empty when it has none.
std::string_view ZipResourceText(int id);

// Text of a code ("" for codes without one, such as unzip warning 2).
std::string_view ZipCodeText(int engine, bool warning, int code);

// Heading, then " " + name when the name is not empty, then ": " + the code's text when the
// code is not 0. Empty for 255 (the user aborted; nothing is shown).
std::string ZipMessageBoxText(int engine, bool warning, std::string_view name, int code);

} // namespace km::zip
