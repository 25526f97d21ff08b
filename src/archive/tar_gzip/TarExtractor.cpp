#include "archive/tar_gzip/TarExtractor.h"

#include "archive/tar_gzip/TarOutputName.h"

#include <fcntl.h>
#include <unistd.h>

namespace km::tar {

TarExtractor::TarExtractor(const ArchiveExtractOptions& options, ArchiveSink& sink,
                           TarReport& report)
    : options_(options), sink_(sink), report_(report), target_(options.targetDir) {}

TarExtractor::~TarExtractor() {
    Abandon();
}

bool TarExtractor::OpenTarget() {
    const int fd = ::open(options_.targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Problem(kTarCannotOpenOutput, options_.targetDir);
        return false;
    }
    ::close(fd);
    return true;
}

void TarExtractor::Problem(int code, const std::string& name) {
    report_.problems.push_back({code, name});
}

bool TarExtractor::CheckCancel() {
    if (!cancelled_ && sink_.Progress(bytesDone_))
        cancelled_ = true;
    return cancelled_;
}

bool TarExtractor::mayWrite(const ExtractPath& parts, uint64_t size, int64_t mtime, bool ask) {
    const ExistingEntry existing = target_.Lookup(parts);
    if (!existing.exists)
        return true;
    if (existing.isDirectory) {
        Problem(kTarCannotOpenOutput, target_.Describe(parts));
        return false;
    }
    return !ask || sink_.ConfirmOverwrite(target_.Describe(parts), size, TarListedTime(mtime));
}

TarAction TarExtractor::Begin(const TarEntry& entry) {
    if (CheckCancel())
        return TarAction::Stop;

    if (entry.IsDirectory()) {
        if (options_.restorePaths) {
            const auto parts = OutputComponents(entry.name, true);
            if (!parts.empty() && !target_.CreateDirectories(parts)) {
                Problem(kTarCannotOpenOutput, target_.Describe(parts));
            } else if (!parts.empty()) {
                EntryAttributes a;
                a.mtime = entry.mtime >= 0 ? entry.mtime
                                           : UnixSecondsFromFileTime(TarListedTime(entry.mtime));
                a.mtimeNanoseconds = entry.mtimeNanoseconds;
                a.mode = entry.mode;
                target_.SetDirectoryAttributes(parts, a);
            }
        }
        return TarAction::Skip;
    }
    const bool link = entry.IsSymlink() || entry.IsHardLink();
    if (!(entry.IsFile() || link) || !sink_.IsWanted(entry.name))
        return TarAction::Skip;
    // View, edit and execute want a file to open, not a link.
    if (link && options_.stopAfterFirst)
        return TarAction::Skip;

    const ExtractPath parts = OutputComponents(entry.name, options_.restorePaths);
    if (parts.empty()) {
        Problem(kTarCannotOpenOutput, target_.Describe({entry.name}));
        return TarAction::Skip;
    }
    outputPath_ = target_.Describe(parts);
    // A lone compressed file is asked about once its length is known.
    askAtEnd_ = !entry.sizeKnown;
    if (!mayWrite(parts, entry.size, entry.mtime, !askAtEnd_))
        return CheckCancel() ? TarAction::Stop : TarAction::Skip; // the answer may have been Cancel
    sink_.ShowEntry(JoinComponents(parts));

    if (entry.IsSymlink()) {
        // Written as the link it is; no later entry is ever written through it.
        if (target_.MakeSymlink(parts, entry.linkName) != 0)
            Problem(kTarCannotOpenOutput, outputPath_);
        return TarAction::Skip;
    }
    if (entry.IsHardLink()) {
        // A second name for a file extracted before, below the target only.
        const auto existing = OutputComponents(entry.linkName, options_.restorePaths);
        if (existing.empty() || target_.MakeHardLink(parts, existing) != 0)
            Problem(kTarCannotOpenOutput, outputPath_);
        return TarAction::Skip;
    }

    if (target_.OpenFile(parts, &file_, entry.mode) != 0) {
        Problem(kTarCannotOpenOutput, outputPath_);
        return TarAction::Skip;
    }
    attributes_ = EntryAttributes{};
    // The stored time as it is; an unreadable one gives the oldest the listing shows.
    attributes_.mtime = entry.mtime >= 0 ? entry.mtime
                                         : UnixSecondsFromFileTime(TarListedTime(entry.mtime));
    attributes_.mtimeNanoseconds = entry.mtimeNanoseconds;
    attributes_.mode = entry.mode;
    parts_ = parts;
    listedTime_ = entry.mtime;
    fileBytes_ = 0;
    writing_ = true;
    return TarAction::Receive;
}

bool TarExtractor::Advance(uint64_t bytes) {
    bytesDone_ += bytes;
    fileBytes_ += bytes;
    if (sink_.Progress(bytesDone_)) {
        cancelled_ = true;
        Abandon();
        return false;
    }
    return true;
}

bool TarExtractor::Data(const uint8_t* data, size_t size) {
    if (writing_ && file_.Write(data, size) != 0) {
        // The old file stays; the rest of this entry is read past.
        Problem(kTarWriteError, outputPath_);
        Abandon();
    }
    return Advance(size);
}

bool TarExtractor::Hole(uint64_t length) {
    if (writing_ && file_.Skip(length) != 0) {
        Problem(kTarWriteError, outputPath_);
        Abandon();
    }
    return Advance(length);
}

bool TarExtractor::End() {
    if (!writing_)
        return true;
    writing_ = false;
    if (askAtEnd_ && !mayWrite(parts_, fileBytes_, listedTime_, true)) {
        file_.Discard();
        return !CheckCancel();
    }
    if (file_.Commit(attributes_) != 0) {
        Problem(kTarWriteError, outputPath_);
        return true;
    }
    return !options_.stopAfterFirst;
}

void TarExtractor::Abandon() {
    file_.Discard();
    writing_ = false;
}

} // namespace km::tar
