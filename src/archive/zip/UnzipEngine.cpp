#include "archive/zip/UnzipEngine.h"

#include "archive/zip/UnzipAction.h"
#include "archive/zip/UnzipOptions.h"
#include "archive/zip/ZipConfigurationFile.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipOptionSetters.h"

namespace km {

namespace {

struct UnzipEngineState {
    zip::UnzipOptions options;
    zip::ZipRecordChannel channel{zip::kUnzipEngineDigit};
    int lastError = 0;
    int lastWarning = 0;
    bool abortRequested = false;
    bool running = false;
};

UnzipEngineState& state() {
    static UnzipEngineState s;
    return s;
}

} // namespace

int64_t UnzipEngine_Run() {
    UnzipEngineState& s = state();
    if (s.running)
        return -1;
    s.lastError = 0;
    s.lastWarning = 0;
    s.abortRequested = false;
    if (s.options.archiveName.empty() && !s.options.fromMemory && !s.options.image) {
        UnzipEngine_Initialise();
        return -1;
    }
    s.running = true;
    int64_t result;
    {
        zip::UnzipAction action(s.options, s.channel, s.abortRequested);
        result = action.Run();
        s.lastError = action.lastError();
        s.lastWarning = action.lastWarning();
    }
    s.running = false;
    UnzipEngine_Initialise();
    return result;
}

void UnzipEngine_Initialise() {
    state().options = zip::UnzipOptions();
}

int UnzipEngine_ArchiveName(const char* path) {
    return zip::SetTextOption(state().options.archiveName, path);
}

int UnzipEngine_Include(const char* patterns) {
    return zip::SetTextOption(state().options.include, patterns);
}

int UnzipEngine_IncludeListFile(const char* path) {
    return zip::SetListFileOption(state().options.includeListFile, path);
}

int UnzipEngine_IncludeNamesFile(const char* path) {
    return zip::SetListFileOption(state().options.includeNamesFile, path);
}

int UnzipEngine_Exclude(const char* patterns) {
    return zip::SetTextOption(state().options.exclude, patterns);
}

int UnzipEngine_ExcludeListFile(const char* path) {
    return zip::SetListFileOption(state().options.excludeListFile, path);
}

int UnzipEngine_ExtractTo(const char* directory) {
    return zip::SetDirectoryOption(state().options.extractTo, directory);
}

int UnzipEngine_Decrypt(const char* password) {
    return zip::SetTextOption(state().options.password, password);
}

int UnzipEngine_RestoreStructure(int flag) {
    return zip::SetFlagOption(state().options.restoreStructure, flag);
}

int UnzipEngine_RestoreAttributes(int bits) {
    return zip::SetRangeOption(state().options.restoreAttributes, bits, 0, 39);
}

int UnzipEngine_Overwrite(int mode) {
    return zip::SetRangeOption(state().options.overwrite, mode, 10, 12);
}

int UnzipEngine_Freshen(int flag) {
    return zip::SetFlagOption(state().options.freshen, flag);
}

int UnzipEngine_Update(int flag) {
    return zip::SetFlagOption(state().options.update, flag);
}

int UnzipEngine_Test(int flag) {
    return zip::SetFlagOption(state().options.test, flag);
}

int UnzipEngine_View(int flag) {
    return zip::SetFlagOption(state().options.view, flag);
}

int UnzipEngine_DisplayComment(int flag) {
    return zip::SetFlagOption(state().options.displayComment, flag);
}

int UnzipEngine_Abort(int flag) {
    return zip::SetFlagOption(state().abortRequested, flag);
}

int UnzipEngine_FromMemory(const void* buffer, size_t length) {
    zip::UnzipOptions& o = state().options;
    o.input = static_cast<const uint8_t*>(buffer);
    o.inputLength = length;
    o.fromMemory = true;
    o.archiveName = "-";
    return 1;
}

int UnzipEngine_ArchiveImage(const void* buffer, size_t length) {
    zip::UnzipOptions& o = state().options;
    o.image = static_cast<const uint8_t*>(buffer);
    o.imageLength = buffer ? length : 0;
    return 1;
}

int UnzipEngine_ToMemory(void* buffer, size_t length) {
    zip::UnzipOptions& o = state().options;
    o.output = static_cast<uint8_t*>(buffer);
    o.outputLength = length;
    o.toMemory = true;
    return 1;
}

int64_t UnzipEngine_InMemory(const void* input, size_t inputLength, void* output,
                             size_t outputLength) {
    if (state().running)
        return -1;
    UnzipEngine_Initialise();
    UnzipEngine_FromMemory(input, inputLength);
    UnzipEngine_ToMemory(output, outputLength);
    return UnzipEngine_Run();
}

void UnzipEngine_InstallCallback(zip::ZipCallback callback) {
    state().channel.InstallCallback(callback);
}

void UnzipEngine_InstallCallbackEx(zip::ZipCallbackEx callback, uintptr_t user) {
    state().channel.InstallCallbackEx(callback, user);
}

void UnzipEngine_SetWindowHandle(zip::ZipRecordWindow* window) {
    state().channel.SetWindow(window);
}

void UnzipEngine_SetParentWindowHandle(zip::ZipEngineHost* host) {
    state().channel.SetHost(host);
}

int UnzipEngine_GetLastError() {
    return state().lastError;
}

int UnzipEngine_GetLastWarning() {
    return state().lastWarning;
}

void UnzipEngine_GetVersion(int16_t* major, int16_t* minor) {
    if (major)
        *major = 0;
    if (minor)
        *minor = 7;
}

int UnzipEngine_SaveConfiguration(const char* path) {
    if (!path)
        return 0;
    const zip::UnzipOptions& o = state().options;
    zip::ZipConfigurationFile f("UnzipEngine");
    f.Text("ArchiveName", o.archiveName);
    f.Text("Decrypt", o.password);
    f.Number("DisplayComment", o.displayComment);
    f.Text("Decrypt", o.password);
    f.Text("Exclude", o.exclude);
    f.Text("ExcludeListFile", o.excludeListFile);
    f.Text("ExtractTo", o.extractTo);
    f.Number("Freshen", o.freshen);
    f.Text("Include", o.include);
    f.Text("IncludeListFile", o.includeListFile);
    f.Number("Overwrite", o.overwrite);
    f.Number("RestoreAttributes", o.restoreAttributes);
    f.Number("RestoreStructure", o.restoreStructure);
    f.Number("Test", o.test);
    f.Number("Update", o.update);
    f.Number("View", o.view);
    return f.Save(path) ? 1 : 0;
}

} // namespace km
