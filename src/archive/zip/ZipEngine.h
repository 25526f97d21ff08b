#pragma once
// The ZipEngine's option interface: the same conventions as the UnzipEngine (Initialise,
// one call per option, callback, action; options reset after the action).
#include "archive/zip/ZipCallbacks.h"

#include <cstddef>
#include <cstdint>

namespace km {

// The action: creates, changes or lists the archive. Returns the number of entries written,
// deleted or viewed (with FromMemory and ToMemory together: the bytes written, a 14-byte
// header and the data); 0 without an archive name. Every option is reset afterwards.
int64_t ZipEngine_Run();
void ZipEngine_Initialise();

// Text options return 1 when taken, 0 when refused.
int ZipEngine_ArchiveName(const char* path); // "-" writes to memory
int ZipEngine_Include(const char* patterns); // '|' separated; "+" / "-" switch recursion
int ZipEngine_IncludeListFile(const char* path);
int ZipEngine_Exclude(const char* patterns);
int ZipEngine_ExcludeListFile(const char* path);
int ZipEngine_SaveRelativeTo(const char* directory);
int ZipEngine_IncludeFilesNewer(const char* date); // "%4hd%c%2hd%c%2hd"
int ZipEngine_IncludeFilesOlder(const char* date);
int ZipEngine_Store(const char* extensions);
int ZipEngine_Encrypt(const char* password);
int ZipEngine_Comment(const char* text);
int ZipEngine_SetTempDrive(const char* directory);
int ZipEngine_SFXAutoExecute(const char* program, const char* parameters);
int ZipEngine_SFXExtractTo(const char* directory);

// Flags take any non-zero value as 1 and return the value set; numbers outside their domain
// leave the option unchanged and return its current value.
int ZipEngine_Recurse(int flag);
int ZipEngine_SaveStructure(int mode); // 0, 1, 2
int ZipEngine_IncludeDirectoryEntries(int flag);
int ZipEngine_IncludeEmptyDirectoryEntries(int flag);
int ZipEngine_IncludeArchive(int filter); // 0, 1, 255
int ZipEngine_IncludeReadOnly(int filter);
int ZipEngine_IncludeHidden(int filter);
int ZipEngine_IncludeSystem(int filter);
int ZipEngine_SetCompressionLevel(int level); // 0..3
int ZipEngine_DeleteComment(int flag);
int ZipEngine_DisplayComment(int flag);
int ZipEngine_Update(int flag);
int ZipEngine_Freshen(int flag);
int ZipEngine_Delete(int flag);
int ZipEngine_Move(int flag);
int ZipEngine_View(int flag);
int ZipEngine_Overwrite(int mode);       // 10, 11, 12
int ZipEngine_SaveAttributes(int bits);  // 0..39
int ZipEngine_ClearAttributes(int bits); // 0..39
int ZipEngine_SetArchiveDate(int mode);  // 0..3
int ZipEngine_UseLFN(int flag);
int ZipEngine_KeepCompatible(int flag);
int ZipEngine_Span(int flag);
int ZipEngine_SpanCreateImages(int flag);
int ZipEngine_SpanSizes(uint64_t first, uint64_t other);
int ZipEngine_BuildSFX(int flag);
int ZipEngine_SFXAutoPasswordPrompt(int flag);
int ZipEngine_SFXRestoreStructure(int flag);
int ZipEngine_Abort(int flag);

// Not available: SFXStub says so in a box ("Not yet implemented"); both return 0.
int ZipEngine_SFXStub();
int ZipEngine_AppendTo();

int ZipEngine_FromMemory(const void* buffer, size_t length);
int ZipEngine_ToMemory(void* buffer, size_t length);

void ZipEngine_InstallCallback(zip::ZipCallback callback);
void ZipEngine_InstallCallbackEx(zip::ZipCallbackEx callback, uintptr_t user);
void ZipEngine_SetWindowHandle(zip::ZipRecordWindow* window);
void ZipEngine_SetParentWindowHandle(zip::ZipEngineHost* host);

int ZipEngine_GetLastError();
int ZipEngine_GetLastWarning();
void ZipEngine_GetVersion(int16_t* major, int16_t* minor);

// Writes the auto-configuration file; 1 when written, 0 otherwise.
int ZipEngine_SaveConfiguration(const char* path);

} // namespace km
