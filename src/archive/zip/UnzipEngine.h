#pragma once
// The UnzipEngine: lists, tests and extracts ZIP archives. Initialise, set options one call
// at a time, install a callback, then run the action once; every option is reset to its
// default afterwards (the callback installation stays). One action at a time, on the
// caller's thread; the engine's state is global.
#include "archive/zip/ZipCallbacks.h"

#include <cstddef>
#include <cstdint>

namespace km {

// The action. Returns the number of entries extracted, tested or viewed (in memory-output
// mode the number of bytes written), -1 without an archive name (or while an action runs).
int64_t UnzipEngine_Run();
void UnzipEngine_Initialise();

// Text options return 1 when taken, 0 when refused.
int UnzipEngine_ArchiveName(const char* path); // "-" reads from memory
int UnzipEngine_Include(const char* patterns); // separated by '|'
int UnzipEngine_IncludeListFile(const char* path);
// Extracts exactly the stored names listed in `path`, one per line, compared
// literally: rows a user picked, whatever wildcard characters they hold.
int UnzipEngine_IncludeNamesFile(const char* path);
int UnzipEngine_Exclude(const char* patterns);
int UnzipEngine_ExcludeListFile(const char* path);
int UnzipEngine_ExtractTo(const char* directory);
int UnzipEngine_Decrypt(const char* password);

// Flags take any non-zero value as 1 and return the value set; numbers outside their domain
// leave the option unchanged and return its current value.
int UnzipEngine_RestoreStructure(int flag);
int UnzipEngine_RestoreAttributes(int bits); // 0..39, default 32
int UnzipEngine_Overwrite(int mode);         // 10 ask, 11 overwrite, 12 skip
int UnzipEngine_Freshen(int flag);
int UnzipEngine_Update(int flag);
int UnzipEngine_Test(int flag);
int UnzipEngine_View(int flag);
int UnzipEngine_DisplayComment(int flag);
int UnzipEngine_Abort(int flag);

// Memory input is one entry behind a 14-byte header (flags, method, CRC-32, stored size,
// uncompressed size); memory output receives the extracted data up to `length` bytes.
int UnzipEngine_FromMemory(const void* buffer, size_t length);
int UnzipEngine_ToMemory(void* buffer, size_t length);
// A whole archive held in memory, read exactly as the archive file would be (multi-disk
// archives aside); the buffer must outlive the action. Records name the archive "-".
int UnzipEngine_ArchiveImage(const void* buffer, size_t length);
int64_t UnzipEngine_InMemory(const void* input, size_t inputLength, void* output,
                             size_t outputLength);

void UnzipEngine_InstallCallback(zip::ZipCallback callback);
void UnzipEngine_InstallCallbackEx(zip::ZipCallbackEx callback, uintptr_t user);
void UnzipEngine_SetWindowHandle(zip::ZipRecordWindow* window);
void UnzipEngine_SetParentWindowHandle(zip::ZipEngineHost* host);

int UnzipEngine_GetLastError();
int UnzipEngine_GetLastWarning();
void UnzipEngine_GetVersion(int16_t* major, int16_t* minor);

// Writes the auto-configuration file; 1 when written, 0 otherwise.
int UnzipEngine_SaveConfiguration(const char* path);

} // namespace km
