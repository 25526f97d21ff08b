#include "archive/tar_gzip/TarExtractor.h"

#include "archive/tar_gzip/TarOutputName.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km::tar {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool WriteAllBytes(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TarExtractor::TarExtractor(const ArchiveExtractOptions& options, ArchiveSink& sink,
                           TarReport& report)
    : options_(options), sink_(sink), report_(report) {}

TarExtractor::~TarExtractor() {
    Abandon();
    CloseFd(rootFd_);
}

bool TarExtractor::OpenTarget() {
    rootFd_ = ::open(options_.targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd_ < 0)
        Problem(kTarCannotOpenOutput, options_.targetDir);
    return rootFd_ >= 0;
}

std::string TarExtractor::FullPath(const std::string& relative) const {
    std::string out = options_.targetDir;
    if (out.empty() || out.back() != '/')
        out += '/';
    return out + relative;
}

void TarExtractor::Problem(int code, const std::string& name) {
    report_.problems.push_back({code, name});
}

bool TarExtractor::CheckCancel() {
    if (!cancelled_ && sink_.Progress(bytesDone_))
        cancelled_ = true;
    return cancelled_;
}

int TarExtractor::OpenDirectory(const std::vector<std::string>& components, size_t count,
                                bool create) {
    int fd = ::dup(rootFd_);
    for (size_t i = 0; i < count && fd >= 0; ++i) {
        const char* name = components[i].c_str();
        if (create)
            ::mkdirat(fd, name, 0777);
        // O_NOFOLLOW: a symbolic link planted in the target must not redirect the output.
        const int next = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    return fd;
}

TarAction TarExtractor::Begin(const TarEntry& entry) {
    if (CheckCancel())
        return TarAction::Stop;

    if (entry.IsDirectory()) {
        if (options_.restorePaths) {
            const auto parts = OutputComponents(entry.name, true);
            if (!parts.empty()) {
                const int fd = OpenDirectory(parts, parts.size(), true);
                if (fd < 0)
                    Problem(kTarCannotOpenOutput, FullPath(JoinComponents(parts)));
                else
                    ::close(fd);
            }
        }
        return TarAction::Skip;
    }
    if (!entry.IsFile() || !sink_.IsWanted(entry.name))
        return TarAction::Skip;

    const auto parts = OutputComponents(entry.name, options_.restorePaths);
    if (parts.empty()) {
        Problem(kTarCannotOpenOutput, FullPath(entry.name));
        return TarAction::Skip;
    }
    const std::string relative = JoinComponents(parts);
    outputPath_ = FullPath(relative);
    leafName_ = parts.back();
    mtime_ = UnixSecondsFromFileTime(TarListedTime(entry.mtime));

    parentFd_ = OpenDirectory(parts, parts.size() - 1, true);
    if (parentFd_ < 0) {
        Problem(kTarCannotOpenOutput, outputPath_);
        return TarAction::Skip;
    }
    struct stat existing {};
    if (::fstatat(parentFd_, leafName_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            Problem(kTarCannotOpenOutput, outputPath_);
            CloseFd(parentFd_);
            return TarAction::Skip;
        }
        if (!sink_.ConfirmOverwrite(outputPath_, entry.size, TarListedTime(entry.mtime))) {
            CloseFd(parentFd_);
            // The answer may have been Cancel.
            return CheckCancel() ? TarAction::Stop : TarAction::Skip;
        }
    }

    for (unsigned attempt = 0; attempt < 100 && outFd_ < 0; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".km-tar-%d-%u", static_cast<int>(::getpid()),
                      attempt);
        tempName_ = suffix;
        outFd_ =
            ::openat(parentFd_, tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (outFd_ < 0 && errno != EEXIST)
            break;
    }
    if (outFd_ < 0) {
        Problem(kTarCannotOpenOutput, outputPath_);
        CloseFd(parentFd_);
        return TarAction::Skip;
    }
    writeFailed_ = false;
    sink_.ShowEntry(relative);
    return TarAction::Receive;
}

bool TarExtractor::Data(const uint8_t* data, size_t size) {
    if (outFd_ >= 0 && !writeFailed_ && !WriteAllBytes(outFd_, data, size)) {
        // The old file stays; the rest of this entry is read past.
        writeFailed_ = true;
        Problem(kTarWriteError, outputPath_);
        Abandon();
    }
    bytesDone_ += size;
    if (sink_.Progress(bytesDone_)) {
        cancelled_ = true;
        Abandon();
        return false;
    }
    return true;
}

bool TarExtractor::End() {
    if (outFd_ < 0)
        return true;
    const struct timespec times[2] = {{mtime_, 0}, {mtime_, 0}};
    ::futimens(outFd_, times);
    const bool closed = ::close(outFd_) == 0;
    outFd_ = -1;
    if (!closed) {
        Problem(kTarWriteError, outputPath_);
        Abandon();
        return true;
    }
    if (::renameat(parentFd_, tempName_.c_str(), parentFd_, leafName_.c_str()) != 0) {
        Problem(kTarCannotOpenOutput, outputPath_);
        Abandon();
        return true;
    }
    tempName_.clear();
    CloseFd(parentFd_);
    return !options_.stopAfterFirst;
}

void TarExtractor::Abandon() {
    CloseFd(outFd_);
    if (parentFd_ >= 0 && !tempName_.empty())
        ::unlinkat(parentFd_, tempName_.c_str(), 0);
    tempName_.clear();
    CloseFd(parentFd_);
}

} // namespace km::tar
