#include "archive/cab/CabReader.h"

#include "archive/cab/Fdi.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km::cab {

namespace {

// One output file between its COPY_FILE and CLOSE_FILE_INFO notifications.
struct PendingFile {
    int fd = -1;
    std::string tempPath;
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

    PendingFile* find(FdiHandle hf) {
        for (auto& p : pending) {
            if (p.fd == hf && !p.closed)
                return &p;
        }
        return nullptr;
    }
};

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
        if (PendingFile* p = activePass->find(hf))
            p->closed = true;
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

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectories(const std::string& base, const std::string& relativeDir) {
    std::string path = base;
    size_t start = 0;
    while (start < relativeDir.size()) {
        size_t slash = relativeDir.find('/', start);
        if (slash == std::string::npos)
            slash = relativeDir.size();
        path += '/';
        path.append(relativeDir, start, slash - start);
        if (::mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && IsDirectory(path)))
            return false;
        start = slash + 1;
    }
    return true;
}

mode_t CreationMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(022);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

intptr_t NextCabinet(Pass& pass, FdiNotification& n) {
    const std::string built = std::string(n.psz3 ? n.psz3 : "") + n.psz1;
    const FdiHandle hf = OpenFile(built.c_str(), O_RDONLY, 0);
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
        ++pass.failedFiles;
        return 0;
    }
    const std::string& target = pass.options->targetDir;
    std::string base = target;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const size_t slash = relative.rfind('/');
    const std::string dirPart = slash == std::string::npos ? "" : relative.substr(0, slash);
    if (!dirPart.empty() && pass.options->restorePaths && !MakeDirectories(base, dirPart))
        return -1;
    const std::string outputPath = (base == "/" ? "" : base) + "/" + relative;
    const std::string outputDir = outputPath.substr(0, outputPath.rfind('/'));

    struct stat st {};
    if (::lstat(outputPath.c_str(), &st) == 0) {
        if (!sink.ConfirmOverwrite(outputPath, n.cb, CabDosTimeToFileTime(n.date, n.time))) {
            if (sink.Progress(pass.bytesDone))
                pass.cancelled = true;
            return 0;
        }
    }
    sink.ShowEntry(n.psz1);

    std::string temp = (outputDir.empty() ? std::string() : outputDir) + "/.km-cab-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    ::fchmod(fd, CreationMode());
    pass.pending.push_back(PendingFile{fd, temp, outputPath, false});
    return fd;
}

intptr_t CloseFileInfo(Pass& pass, FdiNotification& n) {
    PendingFile* p = pass.find(n.hf);
    if (!p) {
        ::close(static_cast<int>(n.hf));
        return 1;
    }
    const int64_t seconds = UnixSecondsFromFileTime(CabDosTimeToFileTime(n.date, n.time));
    const struct timespec times[2] = {{static_cast<time_t>(seconds), 0},
                                      {static_cast<time_t>(seconds), 0}};
    ::futimens(p->fd, times);
    const bool closedOk = ::close(p->fd) == 0;
    p->closed = true;
    if (!closedOk || ::rename(p->tempPath.c_str(), p->finalPath.c_str()) != 0) {
        ::unlink(p->tempPath.c_str());
        ++pass.failedFiles;
    } else {
        pass.firstWritten = true;
    }
    p->tempPath.clear();
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
    Erf erf;
    if (!Prepare(pass, path, erf, error))
        return kCabFailed;
    const bool copied = RunCopy(pass, path);
    const int code = erf.erfOper;
    FDIDestroy(pass.context);
    // Whatever did not arrive whole is removed; the targets it was meant for stay as they were.
    for (auto& p : pass.pending) {
        if (!p.closed)
            ::close(p.fd);
        if (!p.tempPath.empty())
            ::unlink(p.tempPath.c_str());
    }
    if (pass.cancelled)
        return kCabCancelled;
    if (!copied) {
        AddMessage(pass, ErrorMessage("FDICopy", code));
        error = pass.messages;
        return kCabIncomplete;
    }
    if (pass.failedFiles > 0) {
        AddMessage(pass, ErrorMessage("FDICopy", FDIERROR_TARGET_FILE));
        error = pass.messages;
        return kCabIncomplete;
    }
    return kCabOk;
}

} // namespace km::cab
