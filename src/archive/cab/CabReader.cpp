#include "archive/cab/CabReader.h"

#include "archive/cab/Fdi.h"
#include "archive/extract/ExtractTarget.h"

#include "platform/NameMatch.h"
#include "resources/StringTable.h"
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km::cab {

namespace {

// One output file between its COPY_FILE and CLOSE_FILE_INFO notifications.
// A file the decompressor writes into through its descriptor; the extraction layer
// renames it into place at its close notification, or discards it.
struct PendingFile {
    int fd = -1;
    std::unique_ptr<ExtractFile> file;
    std::string finalPath;
    bool closed = false;
};

struct Pass {
    bool listing = true;
    ArchiveSink* sink = nullptr;
    const ArchiveExtractOptions* options = nullptr;
    FdiContext* context = nullptr;
    std::string messages;
    uint64_t bytesDone = 0;
    bool cancelled = false;
    bool firstWritten = false;
    int failedFiles = 0;
    std::vector<PendingFile> pending;
    std::unique_ptr<ExtractTarget> target;

    PendingFile* find(FdiHandle hf) {
        for (auto& p : pending) {
            if (p.fd == hf && !p.closed)
                return &p;
        }
        return nullptr;
    }
};

constexpr int kCannotOpenOutput = 4198; // "Cannot open output file"
constexpr int kWriteError = 4200;       // "Error writing output file"

// The write and close functions have no caller data; one pass runs at a time per thread.
thread_local Pass* activePass = nullptr;

void* Allocate(size_t size) {
    return std::malloc(size);
}
void Release(void* memory) {
    std::free(memory);
}
FdiHandle OpenFile(const char* name, int flags, int mode) {
    return ::open(name, flags | O_CLOEXEC, mode);
}
unsigned ReadFile(FdiHandle hf, void* buffer, unsigned count) {
    const ssize_t n = ::read(static_cast<int>(hf), buffer, count);
    return n < 0 ? static_cast<unsigned>(-1) : static_cast<unsigned>(n);
}
long SeekFile(FdiHandle hf, long distance, int origin) {
    return static_cast<long>(::lseek(static_cast<int>(hf), distance, origin));
}

int CloseFile(FdiHandle hf) {
    if (activePass) {
        if (PendingFile* p = activePass->find(hf)) {
            // Closed without its close notification: never renamed into place.
            p->closed = true;
            p->file->Discard();
            return 0;
        }
    }
    return ::close(static_cast<int>(hf));
}

// Lets the window breathe before each block; a cancel request writes nothing, which makes
// the decompressor stop with a write failure.
unsigned WriteFile(FdiHandle hf, const void* buffer, unsigned count) {
    if (activePass && activePass->sink->Progress(activePass->bytesDone)) {
        activePass->cancelled = true;
        return 0;
    }
    const char* p = static_cast<const char*>(buffer);
    unsigned done = 0;
    while (done < count) {
        const ssize_t n = ::write(static_cast<int>(hf), p + done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<unsigned>(n);
    }
    if (activePass)
        activePass->bytesDone += done;
    return done;
}

std::string ErrorMessage(const char* call, int code) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s() failed: code %d [%s]", call, code, FdiErrorText(code));
    return buf;
}

void AddMessage(Pass& pass, const std::string& message) {
    if (!pass.messages.empty())
        pass.messages += '\n';
    pass.messages += message;
}

// A wanted file that cannot be written: its line for the user; -1, the answer that ends
// the copy when the output cannot even be opened.
intptr_t FileProblem(Pass& pass, int text, const std::string& path) {
    ++pass.failedFiles;
    AddMessage(pass, std::string(LoadString(text)) + " " + path);
    return -1;
}

intptr_t NextCabinet(Pass& pass, FdiNotification& n) {
    const std::string built = std::string(n.psz3 ? n.psz3 : "") + n.psz1;
    const FdiHandle hf = OpenFile(MatchPathIgnoringCase(built).c_str(), O_RDONLY, 0);
    if (hf != -1) {
        FdiCabinetInfo info;
        const bool isCabinet = FDIIsCabinet(pass.context, hf, &info);
        ::close(static_cast<int>(hf));
        if (isCabinet)
            return 0;
    }
    std::string upper = built;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    AddMessage(pass, "Unable to locate next CAB file " + upper +
                         " or this CAB file is invalid. Extraction aborted.");
    return -1;
}

intptr_t CopyFile(Pass& pass, FdiNotification& n) {
    ArchiveSink& sink = *pass.sink;
    if (pass.listing) {
        sink.AddEntry(n.psz1, CabDosTimeToFileTime(n.date, n.time), n.cb);
        return 0;
    }
    if (pass.cancelled || sink.Progress(pass.bytesDone)) {
        pass.cancelled = true;
        return 0;
    }
    if ((pass.options->stopAfterFirst && pass.firstWritten) || !sink.IsWanted(n.psz1))
        return 0;

    const std::string relative = CabSafeRelativeName(n.psz1);
    if (relative.empty()) {
        FileProblem(pass, kCannotOpenOutput, n.psz1);
        return 0;
    }
    ExtractPath parts;
    for (size_t at = 0; at <= relative.size();) {
        const size_t slash = std::min(relative.find('/', at), relative.size());
        parts.push_back(relative.substr(at, slash - at));
        at = slash + 1;
    }
    // Without restored paths a stored directory must already be there: it is not made.
    const std::string outputPath = pass.target->Describe(parts);
    if (!pass.options->restorePaths && parts.size() > 1 &&
        !pass.target->Lookup(ExtractPath(parts.begin(), parts.end() - 1)).isDirectory)
        return FileProblem(pass, kCannotOpenOutput, outputPath);
    const ExistingEntry existing = pass.target->Lookup(parts);
    if (existing.isDirectory)
        return FileProblem(pass, kCannotOpenOutput, outputPath);
    if (existing.exists &&
        !sink.ConfirmOverwrite(outputPath, n.cb, CabDosTimeToFileTime(n.date, n.time))) {
        if (sink.Progress(pass.bytesDone))
            pass.cancelled = true;
        return 0;
    }
    sink.ShowEntry(n.psz1);

    auto file = std::make_unique<ExtractFile>();
    const int fd = pass.target->OpenFile(parts, file.get()) == 0 ? file->Descriptor() : -1;
    if (fd < 0)
        return FileProblem(pass, kCannotOpenOutput, outputPath);
    pass.pending.push_back(PendingFile{fd, std::move(file), outputPath, false});
    return fd;
}

intptr_t CloseFileInfo(Pass& pass, FdiNotification& n) {
    PendingFile* p = pass.find(n.hf);
    if (!p) {
        ::close(static_cast<int>(n.hf));
        return 1;
    }
    EntryAttributes a;
    a.mtime = UnixSecondsFromFileTime(CabDosTimeToFileTime(n.date, n.time));
    p->closed = true;
    if (p->file->Commit(a) != 0)
        FileProblem(pass, kWriteError, p->finalPath);
    else
        pass.firstWritten = true;
    return 1;
}

intptr_t Notify(FdiNotificationType type, FdiNotification* n) {
    Pass& pass = *static_cast<Pass*>(n->pv);
    switch (type) {
    case fdintCOPY_FILE:
        return CopyFile(pass, *n);
    case fdintCLOSE_FILE_INFO:
        return pass.listing ? 1 : CloseFileInfo(pass, *n);
    case fdintNEXT_CABINET:
        return NextCabinet(pass, *n);
    default:
        return 0;
    }
}

// Steps shared by both passes up to the copy; false with the message when one fails.
bool Prepare(Pass& pass, const std::string& path, Erf& erf, std::string& error) {
    pass.context = FDICreate(Allocate, Release, OpenFile, ReadFile, WriteFile, CloseFile, SeekFile,
                             kFdiCpu80386, &erf);
    if (!pass.context) {
        error = ErrorMessage("FDICreate", erf.erfOper);
        return false;
    }
    const FdiHandle hf = OpenFile(path.c_str(), O_RDONLY, 0);
    if (hf == -1) {
        FDIDestroy(pass.context);
        pass.context = nullptr;
        error = "Unable to open '" + path + "' for input";
        return false;
    }
    FdiCabinetInfo info;
    const bool isCabinet = FDIIsCabinet(pass.context, hf, &info);
    ::close(static_cast<int>(hf));
    if (!isCabinet) {
        FDIDestroy(pass.context);
        pass.context = nullptr;
        error = "Invalid archive";
        return false;
    }
    return true;
}

bool RunCopy(Pass& pass, const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    Pass* previous = activePass;
    activePass = &pass;
    const bool ok = FDICopy(pass.context, name.c_str(), dir.c_str(), 0, Notify, nullptr, &pass);
    activePass = previous;
    return ok;
}

} // namespace

FileTime CabDosTimeToFileTime(uint16_t date, uint16_t time) {
    std::tm tm{};
    tm.tm_year = ((date >> 9) & 0x7f) + 80;
    tm.tm_mon = ((date >> 5) & 0x0f) - 1;
    tm.tm_mday = date & 0x1f;
    tm.tm_hour = (time >> 11) & 0x1f;
    tm.tm_min = (time >> 5) & 0x3f;
    tm.tm_sec = (time & 0x1f) * 2;
    tm.tm_isdst = -1;
    const time_t t = std::mktime(&tm);
    return FileTimeFromUnix(static_cast<int64_t>(t), 0);
}

std::string CabSafeRelativeName(const std::string& stored) {
    std::string out;
    size_t start = 0;
    bool first = true;
    while (start <= stored.size()) {
        size_t end = stored.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = stored.size();
        const std::string part = stored.substr(start, end - start);
        const bool drive = first && part.size() == 2 && part[1] == ':' &&
                           std::isalpha(static_cast<unsigned char>(part[0]));
        first = false;
        if (!part.empty() && part != "." && part != ".." && !drive) {
            if (!out.empty())
                out += '/';
            out += part;
        }
        start = end + 1;
    }
    return out;
}

int ListCabinet(const std::string& path, ArchiveSink& sink, std::string& error) {
    error.clear();
    Pass pass;
    pass.listing = true;
    pass.sink = &sink;
    Erf erf;
    if (!Prepare(pass, path, erf, error))
        return kCabFailed;
    const bool copied = RunCopy(pass, path);
    if (!copied)
        AddMessage(pass, ErrorMessage("FDICopy", erf.erfOper));
    const bool destroyed = FDIDestroy(pass.context);
    if (!destroyed)
        AddMessage(pass, ErrorMessage("FDIDestroy", erf.erfOper));
    error = pass.messages;
    return copied && destroyed ? kCabOk : kCabFailed;
}

int ExtractCabinet(const std::string& path, const ArchiveExtractOptions& options, ArchiveSink& sink,
                   std::string& error) {
    error.clear();
    Pass pass;
    pass.listing = false;
    pass.sink = &sink;
    pass.options = &options;
    pass.target = std::make_unique<ExtractTarget>(options.targetDir);
    Erf erf;
    if (!Prepare(pass, path, erf, error))
        return kCabFailed;
    const bool copied = RunCopy(pass, path);
    const int code = erf.erfOper;
    FDIDestroy(pass.context);
    // Whatever did not arrive whole is removed; the targets it was meant for stay as they were.
    for (auto& p : pass.pending)
        p.file->Discard(); // nothing once committed; otherwise the temporary file goes
    if (pass.cancelled)
        return kCabCancelled;
    // What stopped the copy, said once: the file it stopped at, or the missing cabinet,
    // or else the decompressor's reason with the file being written.
    if (!copied && pass.messages.empty()) {
        const PendingFile* open = nullptr;
        for (const auto& p : pass.pending)
            open = p.closed ? open : &p;
        AddMessage(pass, std::string(FdiErrorText(code)) + (open ? " " + open->finalPath : ""));
    }
    error = pass.messages;
    return copied && pass.failedFiles == 0 ? kCabOk : kCabIncomplete;
}

} // namespace km::cab
