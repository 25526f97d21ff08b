#include "archive/zip/ZipEngine.h"

#include "archive/zip/ZipConfigurationFile.h"
#include "archive/zip/ZipEngineOptions.h"
#include "archive/zip/ZipOptionSetters.h"
#include "archive/zip/ZipWriteAction.h"

#include <cstdio>

namespace km {

namespace zip {

ZipEngineState& ZipEngineGlobal() {
    static ZipEngineState s;
    return s;
}

const char* ZipSpanLabelFormat() {
    return ZipEngineGlobal().keepCompatible == 0 ? "AZBACK# %03i" : "PKBACK# %03i";
}

} // namespace zip

namespace {

zip::ZipEngineOptions& options() {
    return zip::ZipEngineGlobal().options;
}

int setFilter(int& option, int value) {
    if (value == 0 || value == 1 || value == 255)
        option = value;
    return option;
}

int setDay(zip::ZipDay& option, const char* text) {
    short year = 0;
    short month = 0;
    short day = 0;
    char sep1 = 0;
    char sep2 = 0;
    if (!text || std::sscanf(text, "%4hd%c%2hd%c%2hd", &year, &sep1, &month, &sep2, &day) != 5)
        return 0;
    // Only the ranges are checked, so 30 February is taken.
    if (year < 1900 || year > 2100 || month < 1 || month > 12 || day < 1 || day > 31)
        return 0;
    option = {year, month, day};
    return 1;
}

} // namespace

int64_t ZipEngine_Run() {
    static bool running = false;
    zip::ZipEngineState& s = zip::ZipEngineGlobal();
    if (running)
        return 0;
    s.lastError = 0;
    s.lastWarning = 0;
    s.abortRequested = false;
    if (s.options.archiveName.empty() && !s.options.toMemory) {
        ZipEngine_Initialise();
        return 0;
    }
    running = true;
    int64_t result;
    {
        zip::ZipWriteAction action(s.options, s.channel, s.abortRequested);
        result = action.Run();
        s.lastError = action.lastError();
        s.lastWarning = action.lastWarning();
    }
    running = false;
    ZipEngine_Initialise();
    return result;
}

void ZipEngine_Initialise() {
    options() = zip::ZipEngineOptions();
}

int ZipEngine_ArchiveName(const char* path) {
    return zip::SetTextOption(options().archiveName, path);
}
int ZipEngine_Include(const char* patterns) {
    return zip::SetTextOption(options().include, patterns);
}
int ZipEngine_IncludeListFile(const char* path) {
    return zip::SetListFileOption(options().includeListFile, path);
}
int ZipEngine_Exclude(const char* patterns) {
    return zip::SetTextOption(options().exclude, patterns);
}
int ZipEngine_ExcludeListFile(const char* path) {
    return zip::SetListFileOption(options().excludeListFile, path);
}
int ZipEngine_SaveRelativeTo(const char* directory) {
    return zip::SetDirectoryOption(options().saveRelativeTo, directory);
}
int ZipEngine_IncludeFilesNewer(const char* date) {
    return setDay(options().includeFilesNewer, date);
}
int ZipEngine_IncludeFilesOlder(const char* date) {
    return setDay(options().includeFilesOlder, date);
}
int ZipEngine_Store(const char* extensions) {
    return zip::SetTextOption(options().store, extensions);
}
int ZipEngine_Encrypt(const char* password) {
    return zip::SetTextOption(options().password, password);
}
int ZipEngine_Comment(const char* text) {
    return zip::SetTextOption(options().comment, text);
}
int ZipEngine_SetTempDrive(const char* directory) {
    return zip::SetDirectoryOption(options().tempDirectory, directory);
}
int ZipEngine_SFXAutoExecute(const char* program, const char* parameters) {
    zip::SetTextOption(options().sfxProgram, program);
    return zip::SetTextOption(options().sfxParameters, parameters);
}
int ZipEngine_SFXExtractTo(const char* directory) {
    return zip::SetTextOption(options().sfxExtractTo, directory);
}

int ZipEngine_Recurse(int flag) {
    return zip::SetFlagOption(options().recurse, flag);
}
int ZipEngine_SaveStructure(int mode) {
    zip::ZipEngineOptions& o = options();
    if (mode == 0) {
        o.includeDirectoryEntries = false;
        o.includeEmptyDirectoryEntries = false;
    }
    return zip::SetRangeOption(o.saveStructure, mode, 0, 2);
}
int ZipEngine_IncludeDirectoryEntries(int flag) {
    return zip::SetFlagOption(options().includeDirectoryEntries, flag);
}
int ZipEngine_IncludeEmptyDirectoryEntries(int flag) {
    return zip::SetFlagOption(options().includeEmptyDirectoryEntries, flag);
}
int ZipEngine_IncludeArchive(int filter) {
    return setFilter(options().includeArchive, filter);
}
int ZipEngine_IncludeReadOnly(int filter) {
    return setFilter(options().includeReadOnly, filter);
}
int ZipEngine_IncludeHidden(int filter) {
    return setFilter(options().includeHidden, filter);
}
int ZipEngine_IncludeSystem(int filter) {
    return setFilter(options().includeSystem, filter);
}
int ZipEngine_SetCompressionLevel(int level) {
    return zip::SetRangeOption(options().compressionLevel, level, 0, 3);
}
int ZipEngine_DeleteComment(int flag) {
    return zip::SetFlagOption(options().deleteComment, flag);
}
int ZipEngine_DisplayComment(int flag) {
    return zip::SetFlagOption(options().displayComment, flag);
}
int ZipEngine_Update(int flag) {
    return zip::SetFlagOption(options().update, flag);
}
int ZipEngine_Freshen(int flag) {
    return zip::SetFlagOption(options().freshen, flag);
}
int ZipEngine_Delete(int flag) {
    return zip::SetFlagOption(options().deleteEntries, flag);
}
int ZipEngine_Move(int flag) {
    return zip::SetFlagOption(options().move, flag);
}
int ZipEngine_View(int flag) {
    return zip::SetFlagOption(options().view, flag);
}
int ZipEngine_Overwrite(int mode) {
    return zip::SetRangeOption(options().overwrite, mode, 10, 12);
}
int ZipEngine_SaveAttributes(int bits) {
    return zip::SetRangeOption(options().saveAttributes, bits, 0, 39);
}
int ZipEngine_ClearAttributes(int bits) {
    return zip::SetRangeOption(options().clearAttributes, bits, 0, 39);
}
int ZipEngine_SetArchiveDate(int mode) {
    return zip::SetRangeOption(options().setArchiveDate, mode, 0, 3);
}
int ZipEngine_UseLFN(int flag) {
    return zip::SetFlagOption(options().useLfn, flag);
}
int ZipEngine_KeepCompatible(int flag) {
    int& kept = zip::ZipEngineGlobal().keepCompatible;
    kept = flag != 0 ? 0 : 1;
    return kept;
}
int ZipEngine_Span(int flag) {
    return zip::SetFlagOption(options().span, flag);
}
int ZipEngine_SpanCreateImages(int flag) {
    return zip::SetFlagOption(options().spanCreateImages, flag);
}
int ZipEngine_SpanSizes(uint64_t first, uint64_t other) {
    options().spanFirstSize = first;
    options().spanOtherSize = other;
    return 1;
}
int ZipEngine_BuildSFX(int flag) {
    return zip::SetFlagOption(options().buildSfx, flag);
}
int ZipEngine_SFXAutoPasswordPrompt(int flag) {
    return zip::SetFlagOption(options().sfxAutoPasswordPrompt, flag);
}
int ZipEngine_SFXRestoreStructure(int flag) {
    return zip::SetFlagOption(options().sfxRestoreStructure, flag);
}
int ZipEngine_Abort(int flag) {
    return zip::SetFlagOption(zip::ZipEngineGlobal().abortRequested, flag);
}

int ZipEngine_SFXStub() {
    if (zip::ZipEngineHost* host = zip::ZipEngineGlobal().channel.host())
        host->ShowMessage("Not yet implemented",
                          "This function will be implemented in a future version of the library");
    return 0;
}

int ZipEngine_AppendTo() {
    return 0;
}

int ZipEngine_FromMemory(const void* buffer, size_t length) {
    zip::ZipEngineOptions& o = options();
    o.input = static_cast<const uint8_t*>(buffer);
    o.inputLength = length;
    o.fromMemory = true;
    return 1;
}

int ZipEngine_ToMemory(void* buffer, size_t length) {
    zip::ZipEngineOptions& o = options();
    o.output = static_cast<uint8_t*>(buffer);
    o.outputLength = length;
    o.toMemory = true;
    o.archiveName = "-";
    return 1;
}

void ZipEngine_InstallCallback(zip::ZipCallback callback) {
    zip::ZipEngineGlobal().channel.InstallCallback(callback);
}
void ZipEngine_InstallCallbackEx(zip::ZipCallbackEx callback, uintptr_t user) {
    zip::ZipEngineGlobal().channel.InstallCallbackEx(callback, user);
}
void ZipEngine_SetWindowHandle(zip::ZipRecordWindow* window) {
    zip::ZipEngineGlobal().channel.SetWindow(window);
}
void ZipEngine_SetParentWindowHandle(zip::ZipEngineHost* host) {
    zip::ZipEngineGlobal().channel.SetHost(host);
}

int ZipEngine_GetLastError() {
    return zip::ZipEngineGlobal().lastError;
}
int ZipEngine_GetLastWarning() {
    return zip::ZipEngineGlobal().lastWarning;
}
void ZipEngine_GetVersion(int16_t* major, int16_t* minor) {
    if (major)
        *major = 0;
    if (minor)
        *minor = 7;
}

int ZipEngine_SaveConfiguration(const char* path) {
    if (!path)
        return 0;
    const zip::ZipEngineOptions& o = options();
    zip::ZipConfigurationFile f("ZipEngine");
    f.Text("ArchiveName", o.archiveName);
    if (o.buildSfx)
        f.Number("BuildSFX", 1);
    if (o.clearAttributes != 0)
        f.Number("ClearAttributes", o.clearAttributes);
    f.Number("Delete", o.deleteEntries);
    f.Number("DeleteComment", o.deleteComment);
    f.Number("DisplayComment", o.displayComment);
    f.Text("Encrypt", o.password);
    f.Text("Exclude", o.exclude);
    f.Text("ExcludeListFile", o.excludeListFile);
    f.Number("Freshen", o.freshen);
    f.Text("Include", o.include);
    f.Text("IncludeListFile", o.includeListFile);
    f.Number("IncludeArchive", o.includeArchive);
    f.Number("IncludeHidden", o.includeHidden);
    f.Number("IncludeReadOnly", o.includeReadOnly);
    f.Number("IncludeSystem", o.includeSystem);
    f.Number("Move", o.move);
    f.Number("Overwrite", o.overwrite);
    f.Number("Recurse", o.recurse);
    f.Number("SaveAttributes", o.saveAttributes);
    f.Text("SaveRelativeTo", o.saveRelativeTo);
    f.Number("SaveStructure", o.saveStructure);
    f.Number("SetArchiveDate", o.setArchiveDate);
    f.Number("SetCompressionLevel", o.compressionLevel);
    f.Text("SetTempDrive", o.tempDirectory);
    f.Number("Span", o.span);
    f.Text("Store", o.store);
    f.Number("Update", o.update);
    f.Number("UseLFN", o.useLfn);
    f.Number("View", o.view);
    return f.Save(path) ? 1 : 0;
}

} // namespace km
