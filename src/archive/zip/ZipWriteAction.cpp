#include "archive/zip/ZipWriteAction.h"

#include "archive/zip/Crc32.h"
#include "archive/zip/ZipBytes.h"
#include "archive/zip/ZipCrypto.h"
#include "archive/zip/ZipDeflater.h"
#include "archive/zip/ZipDosTime.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipOldArchive.h"
#include "archive/zip/ZipRecords.h"
#include "archive/zip/ZipSfxConfig.h"
#include "archive/zip/ZipSplitSet.h"
#include "platform/FileAttributes.h"
#include "platform/PrivateTemp.h"
#include "platform/ReplacementFile.h"
#include "platform/Volumes.h"
#include "platform/Wildcard.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace km::zip {

namespace {

enum ZipErrorCode : int {
    ErrorCantCreate = 1,
    ErrorInvalidArchive = 2,
    ErrorInternal = 5,
    ErrorNothingToDo = 12,
    ErrorArchiveNotFound = 13,
    ErrorDiskFull = 14,
    ErrorWriteProtected = 15,
    ErrorInvalidCombination = 16,
    ErrorTooManyFiles = 17,
    ErrorNotRemovable = 27,
    ErrorNotModified = 50,
};
enum ZipWarningCode : int {
    WarningCantOpen = 2,
    WarningCantDelete = 3,
};

constexpr uint32_t kMax32 = 0xffffffffu;
// The smallest part of a split set, as Info-ZIP's zip takes it.
constexpr uint64_t kMinPart = 64 * 1024;
constexpr uint32_t kSavedAttributeBits = AttrReadOnly | AttrHidden | AttrSystem | AttrArchive;

bool isFatal(int code) {
    return code == 4 || code == 5 || code == ErrorDiskFull || code == ErrorInvalidCombination ||
           code == kAbortCode;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string joinPath(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

uint32_t dayToDos(const ZipDay& d) {
    return static_cast<uint32_t>(((d.year - 1980) << 9) | (d.month << 5) | d.day) << 16;
}

std::vector<std::string> splitBars(std::string_view text) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at <= text.size()) {
        size_t bar = text.find('|', at);
        if (bar == std::string_view::npos)
            bar = text.size();
        if (bar > at)
            out.emplace_back(text.substr(at, bar - at));
        at = bar + 1;
    }
    return out;
}

} // namespace

ZipWriteAction::ZipWriteAction(const ZipEngineOptions& options, ZipRecordChannel& channel,
                               const bool& abortRequested)
    : options_(options), channel_(channel), abortRequested_(abortRequested),
      overwrite_(options.overwrite) {}

int64_t ZipWriteAction::Run() {
    run();
    if (temp_.fd() >= 0 || !temp_.path().empty())
        temp_.Discard();
    // Entries compressed into a temporary archive that was thrown away were not processed.
    if (stop_ && !replaced_ && !options_.view)
        return 0;
    // In memory mode processed_ counts the bytes written.
    return processed_;
}

bool ZipWriteAction::send(int type, const std::string& fields) {
    if (stop_)
        return false;
    const uint16_t answer = channel_.Send(type, fields);
    if (answer == kAnswerAbort || abortRequested_) {
        error(kAbortCode);
        return false;
    }
    return true;
}

void ZipWriteAction::error(int code, std::string_view name, bool endsAction) {
    if (stop_)
        return;
    lastError_ = code;
    channel_.Send(RecordError, FormatProblem(archive_, name, code));
    if (endsAction || isFatal(code))
        stop_ = true;
}

void ZipWriteAction::warn(int code, std::string_view name) {
    if (stop_)
        return;
    lastWarning_ = code;
    send(RecordWarning, FormatProblem(archive_, name, code));
}

bool ZipWriteAction::out(const void* data, size_t length) {
    if (stop_)
        return false;
    if (!temp_.Write(data, length)) {
        error(ErrorDiskFull);
        return false;
    }
    return true;
}

void ZipWriteAction::run() {
    const ZipEngineOptions& o = options_;
    if (o.fromMemory && o.toMemory && o.password.empty()) {
        runMemory();
        return;
    }
    if (o.fromMemory || o.toMemory) {
        // Memory goes only to memory, unencrypted: the one form the reader takes back.
        error(ErrorInvalidCombination);
        return;
    }
    resolveArchiveName();
    if (o.span) {
        // Parts as files are a split set; a set of removable disks is not written here.
        if (o.deleteEntries || o.freshen || o.update || o.view || o.buildSfx ||
            (o.spanCreateImages && (o.spanFirstSize < kMinPart || o.spanOtherSize < kMinPart))) {
            error(ErrorInvalidCombination);
            return;
        }
        // Disks, here: a removable volume, and the next medium asked for when one is full.
        if (!o.spanCreateImages && !IsOnRemovableVolume(directoryOf(archive_))) {
            error(ErrorNotRemovable);
            return;
        }
    }
    if (o.deleteEntries && (o.compressionLevel == 0 || o.move || !o.password.empty())) {
        error(ErrorInvalidCombination);
        return;
    }
    if (!buildPatterns())
        return;
    readOldArchive();
    if (stop_)
        return;
    if (o.displayComment && o.include.empty() && o.includeListFile.empty()) {
        send(RecordComment, FormatComment(archive_, oldComment_.size(), oldComment_));
        return;
    }
    if ((o.deleteEntries || o.freshen || o.view) && !archiveExisted_) {
        error(ErrorArchiveNotFound);
        return;
    }
    if (o.deleteEntries || o.view) {
        markEntries();
        if (stop_)
            return;
        const bool any = std::any_of(entries_.begin(), entries_.end(),
                                     [](const OldEntry& e) { return e.marked; });
        if (o.view) {
            if (!any) {
                error(ErrorNothingToDo);
                return;
            }
            for (const OldEntry& e : entries_) {
                if (!e.marked)
                    continue;
                if (!send(RecordView, FormatView(ViewFieldsOf(e.entry, archive_))))
                    return;
                ++processed_;
            }
            return;
        }
        if (!any) {
            error(ErrorNothingToDo);
            return;
        }
    } else {
        findFiles();
        if (stop_)
            return;
        if (o.update || o.freshen) {
            for (OldEntry& e : entries_)
                e.marked = e.marked && e.newer;
        }
        const bool any = std::any_of(entries_.begin(), entries_.end(),
                                     [](const OldEntry& e) { return e.marked; });
        if (!any && newFiles_.empty()) {
            if (o.update || o.freshen)
                return;
            const bool commentChange = archiveExisted_ && (!o.comment.empty() || o.deleteComment);
            if (!commentChange) {
                error(archiveExisted_ ? ErrorNothingToDo : ErrorArchiveNotFound);
                return;
            }
        }
    }
    if (!checkWritable())
        return;
    writeArchive();
    if (stop_)
        return;
    replaceArchive();
    if (stop_)
        return;
    finishSources();
}

void ZipWriteAction::runMemory() {
    archive_ = "-";
    const ZipEngineOptions& o = options_;
    const uint8_t* in = o.input;
    const size_t length = in ? o.inputLength : 0;
    if (length >= kMax32) {
        error(ErrorInvalidCombination);
        return;
    }
    const bool deflate = o.compressionLevel != 0;
    std::vector<uint8_t> data;
    ZipDeflater deflater;
    if (deflate) {
        if (!deflater.Start(o.compressionLevel) || !deflater.Feed(in, length, true, data)) {
            error(4);
            return;
        }
    } else if (length > 0) {
        data.assign(in, in + length);
    }
    uint8_t header[14];
    header[0] = static_cast<uint8_t>(!deflate                  ? 0
                                     : o.compressionLevel == 1 ? 4
                                     : o.compressionLevel == 3 ? 2
                                                               : 0);
    header[1] = deflate ? 8 : 0;
    PutLe32(header + 2, Crc32Update(0, in, length));
    PutLe32(header + 6, static_cast<uint32_t>(data.size()));
    PutLe32(header + 10, static_cast<uint32_t>(length));
    if (!o.output || o.outputLength < sizeof header + data.size()) {
        error(ErrorDiskFull);
        return;
    }
    std::memcpy(o.output, header, sizeof header);
    if (!data.empty())
        std::memcpy(o.output + sizeof header, data.data(), data.size());
    ProgressFields pf;
    pf.archive = archive_;
    pf.name = "-";
    pf.size = length;
    pf.done = data.size();
    pf.percent = ProgressPercent(data.size(), length);
    pf.count = 1;
    pf.index = 1;
    pf.totalBytes = length;
    pf.totalDone = length;
    if (send(RecordAdded, FormatProgress(pf)))
        processed_ = static_cast<int64_t>(sizeof header + data.size());
}

void ZipWriteAction::resolveArchiveName() {
    archive_ = options_.archiveName;
    if (baseName(archive_).find('.') != std::string::npos)
        return;
    // A self-extractor is a program here, and programs have no extension.
    if (options_.buildSfx)
        return;
    const std::string upper = ".ZIP";
    const std::string lower = ".zip";
    struct stat st;
    // Names are case-sensitive here: an existing small-letter archive is the one meant.
    if (::stat((archive_ + upper).c_str(), &st) != 0 &&
        ::stat((archive_ + lower).c_str(), &st) == 0)
        archive_ += lower;
    else
        archive_ += upper;
}

bool ZipWriteAction::buildPatterns() {
    bool recurse = options_.recurse;
    auto add = [&](const std::string& piece) {
        if (piece == "+")
            recurse = true;
        else if (piece == "-")
            recurse = false;
        else
            include_.push_back({piece, recurse});
    };
    for (const std::string& p : splitBars(options_.include))
        add(p);
    if (!options_.includeListFile.empty()) {
        ZipPatternList lines;
        lines.AddListFile(options_.includeListFile);
        for (const std::string& p : lines.patterns())
            add(p);
    }
    if (include_.empty())
        include_.push_back({"*.*", recurse});
    exclude_.AddBarSeparated(options_.exclude);
    if (!options_.excludeListFile.empty())
        exclude_.AddListFile(options_.excludeListFile);
    return true;
}

void ZipWriteAction::readOldArchive() {
    struct stat st;
    if (::stat(archive_.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        error(ErrorCantCreate);
        return;
    }
    archiveExisted_ = true;
    archiveDev_ = st.st_dev;
    archiveIno_ = st.st_ino;
    archiveMode_ = st.st_mode & 07777;
    archiveTime_ = st.st_mtime;
    ReadPathAttributes(archive_, archiveAttributes_);
    if (old_.Open(archive_) != VolumeStatus::Ok) {
        error(ErrorWriteProtected);
        return;
    }
    if (old_.Size() == 0)
        return;
    ZipOldArchive old;
    if (!ReadZipOldArchive(old_, &old)) {
        error(ErrorInvalidArchive);
        return;
    }
    oldComment_ = std::move(old.comment);
    prefixLength_ = old.prefixLength;
    for (ZipOldEntry& o : old.entries) {
        OldEntry e;
        e.entry = std::move(o.entry);
        e.central = std::move(o.central);
        e.start = o.start;
        e.length = o.length;
        entryByName_.emplace(e.entry.name, entries_.size());
        entries_.push_back(std::move(e));
    }
}

void ZipWriteAction::markEntries() {
    ZipPatternList include;
    for (const Pattern& p : include_)
        include.AddBarSeparated(p.text);
    for (OldEntry& e : entries_)
        e.marked = ZipNameSelected(include, exclude_, e.entry.name, true);
}

void ZipWriteAction::findFiles() {
    std::string cwd;
    {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer))
            cwd = buffer;
    }
    for (const Pattern& p : include_) {
        std::string path = p.text;
        if (path.empty() || path[0] != '/')
            path = joinPath(cwd.empty() ? "/" : cwd, path);
        const size_t slash = path.rfind('/');
        const std::string namePattern = path.substr(slash + 1);
        const std::string dir = slash == 0 ? "/" : path.substr(0, slash);
        // Without recursion, a line that names an existing file means that file
        // alone, whatever wildcard characters or letter case its name has.
        struct stat exact;
        if (!p.recurse && ::lstat(path.c_str(), &exact) == 0 &&
            (S_ISREG(exact.st_mode) || S_ISLNK(exact.st_mode))) {
            addFile(path, exact, ReadAttributes(path.c_str(), namePattern, exact));
            continue;
        }
        if (!send(RecordSearching, namePattern + "|" + dir))
            return;
        struct stat top;
        openDirectories_.clear();
        if (::stat(dir.c_str(), &top) == 0)
            openDirectories_.emplace_back(top.st_dev, top.st_ino);
        searchDirectory(dir, namePattern, p.recurse, true);
        if (stop_)
            return;
    }
}

void ZipWriteAction::searchDirectory(const std::string& dir, const std::string& namePattern,
                                     bool recurse, bool isBase) {
    (void)isBase;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return;
    std::vector<std::string> names;
    while (dirent* de = ::readdir(d)) {
        const std::string name = de->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    const bool directoryEntries = options_.includeDirectoryEntries && options_.saveStructure != 0;
    for (const std::string& name : names) {
        if (stop_)
            return;
        const std::string path = joinPath(dir, name);
        struct stat st;
        // Links are stored as links (never followed), as Unix zip tools do with -y.
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        const uint32_t attributes = ReadAttributes(path.c_str(), name, st);
        if (S_ISDIR(st.st_mode)) {
            // A hidden directory hides its contents too, as a dot directory does here.
            if (!recurse || ((attributes & AttrHidden) && options_.includeHidden == 0))
                continue;
            // A link back up the tree would otherwise be followed forever.
            const auto id = std::make_pair(st.st_dev, st.st_ino);
            if (std::find(openDirectories_.begin(), openDirectories_.end(), id) !=
                openDirectories_.end())
                continue;
            openDirectories_.push_back(id);
            const size_t before = newFiles_.size();
            const size_t takenBefore = zippedSources_.size();
            searchDirectory(path, namePattern, true, false);
            openDirectories_.pop_back();
            const bool gotFiles =
                newFiles_.size() != before || zippedSources_.size() != takenBefore;
            if (directoryEntries && (gotFiles || options_.includeEmptyDirectoryEntries)) {
                SourceFile f;
                f.path = path;
                f.name = storedName(path) + "/";
                f.mtime = st.st_mtime;
                f.attributes = attributes;
                f.mode = st.st_mode;
                f.directory = true;
                // The directory's entry goes in front of its contents.
                const size_t insertAt = before;
                const size_t sizeNow = newFiles_.size();
                takeFile(f);
                if (newFiles_.size() > sizeNow)
                    std::rotate(newFiles_.begin() + static_cast<long>(insertAt),
                                newFiles_.end() - 1, newFiles_.end());
            }
            continue;
        }
        if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || !WildcardMatch(namePattern, name))
            continue;
        addFile(path, st, attributes);
    }
}

void ZipWriteAction::addFile(const std::string& path, const struct stat& st, uint32_t attributes) {
    const std::string stored = storedName(path);
    if (!keepFile(path, stored, st, attributes))
        return;
    SourceFile f;
    f.path = path;
    f.name = stored;
    f.mtime = st.st_mtime;
    f.size = static_cast<uint64_t>(st.st_size);
    f.attributes = attributes;
    f.mode = st.st_mode;
    if (S_ISLNK(st.st_mode)) {
        std::string text(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), text.data(), text.size());
        if (n <= 0) {
            warn(WarningCantOpen, path);
            return;
        }
        text.resize(static_cast<size_t>(n));
        f.isLink = true;
        f.size = text.size();
        f.linkText = std::move(text);
    }
    takeFile(f);
}

bool ZipWriteAction::keepFile(const std::string& path, const std::string& name,
                              const struct stat& st, uint32_t attributes) {
    auto pass = [&](int filter, uint32_t bit) {
        const bool has = (attributes & bit) != 0;
        return filter == 1 || (filter == 0 && !has) || (filter == 255 && has);
    };
    if (!pass(options_.includeReadOnly, AttrReadOnly) ||
        !pass(options_.includeHidden, AttrHidden) || !pass(options_.includeSystem, AttrSystem) ||
        !pass(options_.includeArchive, AttrArchive))
        return false;
    const uint32_t dos = UnixToDosLocal(st.st_mtime);
    if (options_.includeFilesNewer.year != 0 && dos < dayToDos(options_.includeFilesNewer))
        return false;
    if (options_.includeFilesOlder.year != 0 && dos >= dayToDos(options_.includeFilesOlder))
        return false;
    // The archive itself, told by its identity rather than by its name.
    if (archiveExisted_ && st.st_dev == archiveDev_ && st.st_ino == archiveIno_)
        return false;
    const std::string fileDir = directoryOf(path);
    const std::string fileName = baseName(path);
    for (const std::string& p : exclude_.patterns()) {
        const size_t slash = p.rfind('/');
        if (slash == std::string::npos) {
            if (WildcardMatch(p, fileName))
                return false;
            continue;
        }
        if (!WildcardMatch(p.substr(slash + 1), fileName))
            continue;
        const std::string dirPart = p.substr(0, slash);
        if (dirPart.empty() || ZipWildcardMatch(dirPart, fileDir) ||
            (dirPart[0] != '/' && ZipWildcardMatch("*/" + dirPart, fileDir)) ||
            ZipPatternMatches(p, name, true))
            return false;
    }
    return true;
}

std::string ZipWriteAction::storedName(const std::string& path) const {
    if (options_.saveStructure == 0)
        return baseName(path);
    const std::string& base = options_.saveRelativeTo;
    if (options_.saveStructure == 1 && !base.empty() && path.size() > base.size() &&
        path.compare(0, base.size(), base) == 0)
        return path.substr(base.size());
    size_t skip = 0;
    while (skip < path.size() && path[skip] == '/')
        ++skip;
    return path.substr(skip);
}

void ZipWriteAction::takeFile(SourceFile file) {
    // By name in a hash: a big tree against a big archive would otherwise
    // compare every file with every entry.
    if (const auto it = entryByName_.find(file.name); it != entryByName_.end()) {
        OldEntry& e = entries_[it->second];
        if (e.marked)
            return;
        const uint32_t entryTime = static_cast<uint32_t>(e.entry.dosDate) << 16 | e.entry.dosTime;
        e.marked = true;
        e.newer = entryTime < UnixToDosLocal(file.mtime);
        e.file = std::move(file);
        return;
    }
    if (options_.freshen || !newNames_.insert(file.name).second)
        return;
    newFiles_.push_back(std::move(file));
}

bool ZipWriteAction::checkWritable() {
    if (archiveExisted_) {
        const int fd = ::open(archive_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            error(ErrorWriteProtected);
            return false;
        }
        ::close(fd);
        return true;
    }
    const int fd = ::open(archive_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error(ErrorCantCreate);
        return false;
    }
    ::close(fd);
    ::unlink(archive_.c_str());
    return true;
}

void ZipWriteAction::writeArchive() {
    // Beside the archive, so that the final rename stays on one file system; for a set
    // on removable media in the private directory, since the media change under it.
    const bool media = options_.span && !options_.spanCreateImages;
    if (!temp_.Create(media ? PrivateTempDir() : directoryOf(archive_))) {
        error(ErrorCantCreate);
        return;
    }
    if (options_.buildSfx) {
        if (!writeSfxStub())
            return;
    } else if (prefixLength_ > 0) {
        // The prefix goes along as it is (a self-extractor or other leading bytes).
        std::vector<uint8_t> buffer(64 * 1024);
        uint64_t at = 0;
        while (at < prefixLength_) {
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(buffer.size(), prefixLength_ - at));
            if (!old_.ReadAt(at, buffer.data(), n)) {
                error(ErrorInvalidArchive);
                return;
            }
            if (!out(buffer.data(), n))
                return;
            at += n;
        }
    }
    for (const OldEntry& e : entries_) {
        if (e.marked && !options_.deleteEntries) {
            ++count_;
            totalBytes_ += e.file.size;
        }
    }
    for (const SourceFile& f : newFiles_) {
        ++count_;
        totalBytes_ += f.size;
    }
    for (const OldEntry& e : entries_) {
        if (stop_)
            return;
        if (e.marked && options_.deleteEntries) {
            if (!send(RecordDeleting, e.entry.name) || !send(RecordDeleted, e.entry.name))
                return;
            ++processed_;
            continue;
        }
        if (e.marked && askReplace(e) && compressFile(e.file))
            continue;
        if (stop_)
            return;
        copyOldEntry(e);
    }
    for (const SourceFile& f : newFiles_) {
        if (stop_)
            return;
        compressFile(f);
    }
    if (stop_)
        return;
    writeCentralDirectory();
    if (stop_)
        return;
    if (!temp_.Flush()) {
        error(ErrorDiskFull);
        return;
    }
    // The replacement keeps the old archive's permissions; a new one gets the usual ones,
    // a self-extractor with its program in front those of a program.
    mode_t mode = archiveMode_;
    if (!archiveExisted_ || sfxStubWritten_) {
        mode = (sfxStubWritten_ ? 0777 : 0666) & ~ProcessUmask();
    }
    ::fchmod(temp_.fd(), mode);
    if (!temp_.Close())
        error(ErrorInvalidArchive);
}

bool ZipWriteAction::askReplace(const OldEntry& e) {
    if (options_.update || options_.freshen || overwrite_ == 11)
        return true;
    if (overwrite_ == 12)
        return false;
    const uint32_t fileTime = UnixToDosLocal(e.file.mtime);
    const std::string entryDate = QueryDateText(e.entry.dosDate, e.entry.dosTime);
    const std::string fileDate =
        QueryDateText(static_cast<uint16_t>(fileTime >> 16), static_cast<uint16_t>(fileTime));
    int answer = 2;
    if (channel_.HasReceiver()) {
        const uint16_t a =
            channel_.Send(RecordOverwriteQuery,
                          FormatOverwriteQuery(archive_, e.entry.name, e.entry.uncompressedSize,
                                               entryDate, e.file.size, fileDate));
        if (a == kAnswerAbort || abortRequested_) {
            error(kAbortCode);
            return false;
        }
        answer = a;
    } else if (ZipEngineHost* host = channel_.host()) {
        const std::string text = OverwriteQuestionText(
            "A file with this name already exists within the archive " + archive_ +
                ". Do you wish to overwrite it?",
            e.entry.name, e.entry.uncompressedSize, entryDate, e.file.path, e.file.size, fileDate);
        answer = host->AskOverwrite(text);
        channel_.ProcessMessages();
    }
    return ApplyOverwriteAnswer(answer, overwrite_);
}

void ZipWriteAction::copyOldEntry(const OldEntry& e) {
    const uint64_t offset = temp_.offset();
    std::vector<uint8_t> buffer(64 * 1024);
    uint64_t done = 0;
    while (done < e.length) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), e.length - done));
        if (!old_.ReadAt(e.start + done, buffer.data(), n)) {
            error(ErrorInvalidArchive);
            return;
        }
        if (!out(buffer.data(), n))
            return;
        done += n;
    }
    Written w;
    w.entry = e.entry;
    w.entry.localHeaderOffset = offset;
    w.entry.diskStart = 0;
    const auto* c = reinterpret_cast<const uint8_t*>(e.central.data());
    const size_t nameLength = Le16(c + 28), extraLength = Le16(c + 30);
    w.name = e.central.substr(kCentralHeaderSize, nameLength);
    w.extra = WithoutZip64Extra(
        std::string_view(e.central).substr(kCentralHeaderSize + nameLength, extraLength));
    w.comment = e.central.substr(kCentralHeaderSize + nameLength + extraLength);
    written_.push_back(std::move(w));
}

bool ZipWriteAction::compressFile(const SourceFile& file) {
    int fd = -1;
    uint64_t size = file.size;
    if (!file.directory && !file.isLink) {
        fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            size = static_cast<uint64_t>(st.st_size);
        if (fd < 0) {
            if (fd >= 0)
                ::close(fd);
            warn(WarningCantOpen, file.path);
            return false;
        }
    }
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0)
                ::close(fd);
        }
    } closer{fd};

    const int level = options_.compressionLevel;
    bool deflate = !file.directory && !file.isLink && level != 0;
    if (deflate && level != 3) {
        const std::string name = baseName(file.path);
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot + 1 < name.size()) {
            const std::string& store =
                options_.store.empty() ? std::string(kDefaultStoreList) : options_.store;
            if (store.find("|" + name.substr(dot + 1) + "|") != std::string::npos)
                deflate = false;
        }
    }
    const bool encrypt = !options_.password.empty() && !file.directory;
    uint16_t flags = 8;
    if (encrypt)
        flags |= 1;
    if (deflate && level == 1)
        flags |= 4;
    if (deflate && level == 3)
        flags |= 2;
    // Names beyond ASCII are the UTF-8 they are here, and say so.
    if (std::any_of(file.name.begin(), file.name.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        flags |= kUtf8NameFlag;
    const uint32_t dos = UnixToDosLocal(file.mtime);
    const uint16_t method = deflate ? 8 : 0;
    // A file that may reach 4 GiB, even after deflate's worst growth and the encryption
    // header, gets a ZIP64 block in its local header for the sizes.
    const bool zip64 = size + size / 128 + (1u << 20) >= kMax32;
    const uint16_t needed = zip64 ? 45 : deflate ? 20 : 10;

    const uint64_t headerOffset = temp_.offset();
    uint8_t header[kLocalHeaderSize] = {};
    PutLe32(header, kLocalHeaderSig);
    PutLe16(header + 4, needed);
    PutLe16(header + 6, flags);
    PutLe16(header + 8, method);
    PutLe16(header + 10, static_cast<uint16_t>(dos));
    PutLe16(header + 12, static_cast<uint16_t>(dos >> 16));
    PutLe16(header + 26, static_cast<uint16_t>(file.name.size()));
    uint8_t zip64Block[20] = {};
    if (zip64) {
        PutLe32(header + 18, kMax32);
        PutLe32(header + 22, kMax32);
        PutLe16(zip64Block, 0x0001);
        PutLe16(zip64Block + 2, 16);
    }
    // The UTC time beside the DOS one, so that another time zone restores the same moment.
    const std::string timestamp = ExtendedTimestampBlock(file.mtime);
    PutLe16(header + 28, static_cast<uint16_t>((zip64 ? sizeof zip64Block : 0) + timestamp.size()));
    if (!out(header, sizeof header) || !out(file.name.data(), file.name.size()) ||
        (zip64 && !out(zip64Block, sizeof zip64Block)) ||
        !out(timestamp.data(), timestamp.size()))
        return false;
    const uint64_t dataOffset = temp_.offset();

    ZipCrypto crypto;
    if (encrypt) {
        crypto.Init(options_.password);
        std::random_device random;
        uint8_t head[ZipCrypto::kHeaderSize];
        for (size_t i = 0; i + 1 < sizeof head; ++i)
            head[i] = static_cast<uint8_t>(random());
        // Bit 3 is set, so the check byte is the time's high byte, not the CRC's.
        head[sizeof head - 1] = static_cast<uint8_t>(dos >> 8);
        for (uint8_t& b : head)
            b = crypto.EncryptByte(b);
        if (!out(head, sizeof head))
            return false;
    }

    ZipDeflater deflater;
    if (deflate && !deflater.Start(level)) {
        error(4);
        return false;
    }
    std::vector<uint8_t> in(deflate ? 32 * 1024 : 16 * 1024);
    std::vector<uint8_t> packed;
    uint32_t crc = 0;
    uint64_t read = 0;
    auto emit = [&](std::vector<uint8_t>& data) {
        if (encrypt) {
            for (uint8_t& b : data)
                b = crypto.EncryptByte(b);
        }
        const bool ok = data.empty() || out(data.data(), data.size());
        data.clear();
        return ok;
    };
    auto dropEntry = [&] {
        if (!temp_.TruncateTo(headerOffset))
            error(ErrorDiskFull);
    };
    size_t linkDone = 0;
    auto readSome = [&]() -> ssize_t {
        if (!file.isLink)
            return ::read(fd, in.data(), in.size());
        const size_t n = std::min(in.size(), file.linkText.size() - linkDone);
        std::memcpy(in.data(), file.linkText.data() + linkDone, n);
        linkDone += n;
        return static_cast<ssize_t>(n);
    };
    while (!file.directory) {
        ssize_t n = readSome();
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            // Not fatal: the entry is dropped (the old one stays) and the others go on.
            error(ErrorInvalidArchive, file.path, false);
            dropEntry();
            return false;
        }
        if (n == 0)
            break;
        crc = Crc32Update(crc, in.data(), static_cast<size_t>(n));
        read += static_cast<uint64_t>(n);
        if (read >= kMax32 && !zip64) { // grew past 4 GiB while being read
            warn(WarningCantOpen, file.path);
            dropEntry();
            return false;
        }
        if (deflate) {
            if (!deflater.Feed(in.data(), static_cast<size_t>(n), false, packed)) {
                error(ErrorInternal, file.path);
                return false;
            }
        } else {
            packed.assign(in.begin(), in.begin() + n);
        }
        if (!emit(packed))
            return false;
        ProgressFields pf;
        pf.archive = archive_;
        pf.name = file.name;
        pf.size = size;
        pf.done = std::min(read, size);
        pf.percent = ProgressPercent(pf.done, size);
        pf.count = count_;
        pf.index = index_;
        pf.totalBytes = totalBytes_;
        pf.totalDone = totalDone_ + pf.done;
        if (!send(RecordCompressing, FormatProgress(pf)))
            return false;
    }
    if (deflate) {
        if (!deflater.Feed(nullptr, 0, true, packed)) {
            error(ErrorInternal, file.path);
            return false;
        }
        if (!emit(packed))
            return false;
    }
    const uint64_t stored = temp_.offset() - dataOffset;
    if (stored >= kMax32 && !zip64) {
        warn(WarningCantOpen, file.path);
        dropEntry();
        return false;
    }
    // The sizes are known now: the header is completed in place. Encrypted entries keep
    // bit 3 (their check byte is the time) and so need the descriptor as well.
    if (!encrypt)
        flags = static_cast<uint16_t>(flags & ~8);
    PutLe16(header + 6, flags);
    PutLe32(header + 14, crc);
    if (zip64) {
        PutLe64(zip64Block + 4, read);
        PutLe64(zip64Block + 12, stored);
    } else {
        PutLe32(header + 18, static_cast<uint32_t>(stored));
        PutLe32(header + 22, static_cast<uint32_t>(read));
    }
    if (!temp_.RewriteAt(headerOffset, header, sizeof header) ||
        (zip64 && !temp_.RewriteAt(headerOffset + sizeof header + file.name.size(), zip64Block,
                                   sizeof zip64Block))) {
        error(ErrorDiskFull);
        return false;
    }
    if (encrypt) {
        // With a ZIP64 local block the descriptor's sizes are eight bytes each.
        uint8_t descriptor[24];
        PutLe32(descriptor, kSpanningSig);
        PutLe32(descriptor + 4, crc);
        size_t length = 16;
        if (zip64) {
            PutLe64(descriptor + 8, stored);
            PutLe64(descriptor + 16, read);
            length = 24;
        } else {
            PutLe32(descriptor + 8, static_cast<uint32_t>(stored));
            PutLe32(descriptor + 12, static_cast<uint32_t>(read));
        }
        if (!out(descriptor, length))
            return false;
    }

    Written w;
    w.entry.versionMadeBy = kHostUnix << 8 | 20;
    w.entry.versionNeeded = needed;
    w.entry.flags = flags;
    w.entry.method = method;
    w.entry.dosTime = static_cast<uint16_t>(dos);
    w.entry.dosDate = static_cast<uint16_t>(dos >> 16);
    w.entry.crc = crc;
    w.entry.compressedSize = stored;
    w.entry.uncompressedSize = read;
    w.entry.internalAttributes = deflate && deflater.isText() ? 1 : 0;
    // The low byte keeps the DOS attributes, the high half the Unix mode.
    w.entry.externalAttributes =
        (file.mode & 0xffffu) << 16 |
        (file.attributes & static_cast<uint32_t>(options_.saveAttributes) & kSavedAttributeBits);
    w.entry.localHeaderOffset = headerOffset;
    w.entry.name = file.name;
    w.name = file.name;
    w.extra = timestamp;
    written_.push_back(std::move(w));
    zippedSources_.push_back(file.directory ? file.path + "/" : file.path);
    ++processed_;
    ++index_;
    totalDone_ += size;

    ProgressFields pf;
    pf.archive = archive_;
    pf.name = file.name;
    pf.size = read;
    pf.done = stored;
    pf.percent = ProgressPercent(stored, read);
    pf.count = count_;
    pf.index = index_;
    pf.totalBytes = totalBytes_;
    pf.totalDone = totalDone_;
    send(RecordAdded, FormatProgress(pf));
    return true;
}

std::string ZipWriteAction::archiveComment() const {
    std::string comment = options_.comment;
    if (comment.empty() && !options_.deleteComment) {
        comment = oldComment_;
        // An old self-extractor's block is not the user's comment.
        SfxConfig old;
        size_t blockBytes = 0;
        if (DecodeSfxConfig(comment, &old, &blockBytes))
            comment.resize(comment.size() - blockBytes);
    }
    std::string block;
    if (options_.buildSfx) {
        SfxConfig c;
        c.restoreStructure = options_.sfxRestoreStructure;
        c.askPassword = options_.sfxAutoPasswordPrompt;
        c.extractTo = options_.sfxExtractTo;
        c.program = options_.sfxParameters.empty()
                        ? options_.sfxProgram
                        : options_.sfxProgram + " " + options_.sfxParameters;
        block = EncodeSfxConfig(c);
    }
    // The block ends the comment, where the program looks for it.
    if (comment.size() + block.size() > 0xffff)
        comment.resize(0xffff - block.size());
    return comment + block;
}

std::string ZipWriteAction::endRecords(uint64_t count, uint64_t countHere, uint64_t size,
                                       uint64_t start, uint32_t centralDisk, uint32_t thisDisk,
                                       uint64_t at) const {
    const std::string comment = archiveComment();
    std::string out;
    // Past 65,534 entries or 4 GiB the values go into the ZIP64 end record and its
    // locator, and the old record holds saturated fields.
    const bool zip64 = count >= 0xffff || size >= kMax32 || start >= kMax32 || thisDisk >= 0xffff;
    if (zip64) {
        uint8_t record[56] = {};
        PutLe32(record, kZip64EndRecordSig);
        PutLe64(record + 4, sizeof record - 12);
        PutLe16(record + 12, kHostUnix << 8 | 45);
        PutLe16(record + 14, 45);
        PutLe32(record + 16, thisDisk);
        PutLe32(record + 20, centralDisk);
        PutLe64(record + 24, countHere);
        PutLe64(record + 32, count);
        PutLe64(record + 40, size);
        PutLe64(record + 48, start);
        uint8_t locator[20] = {};
        PutLe32(locator, kZip64LocatorSig);
        PutLe32(locator + 4, thisDisk);
        PutLe64(locator + 8, at);
        PutLe32(locator + 16, thisDisk + 1);
        out.append(reinterpret_cast<const char*>(record), sizeof record);
        out.append(reinterpret_cast<const char*>(locator), sizeof locator);
    }
    uint8_t end[22] = {};
    PutLe32(end, kEndRecordSig);
    PutLe16(end + 4, static_cast<uint16_t>(std::min<uint32_t>(thisDisk, 0xffff)));
    PutLe16(end + 6, static_cast<uint16_t>(std::min<uint32_t>(centralDisk, 0xffff)));
    PutLe16(end + 8, static_cast<uint16_t>(std::min<uint64_t>(countHere, 0xffff)));
    PutLe16(end + 10, static_cast<uint16_t>(std::min<uint64_t>(count, 0xffff)));
    PutLe32(end + 12, static_cast<uint32_t>(std::min<uint64_t>(size, kMax32)));
    PutLe32(end + 16, static_cast<uint32_t>(std::min<uint64_t>(start, kMax32)));
    PutLe16(end + 20, static_cast<uint16_t>(comment.size()));
    out.append(reinterpret_cast<const char*>(end), sizeof end);
    out.append(comment);
    return out;
}

void ZipWriteAction::writeCentralDirectory() {
    centralStart_ = temp_.offset();
    for (const Written& w : written_) {
        const std::string h = BuildCentralHeader(w.entry, w.name, w.extra, w.comment);
        if (!out(h.data(), h.size()))
            return;
    }
    const uint64_t size = temp_.offset() - centralStart_;
    const std::string end =
        endRecords(written_.size(), written_.size(), size, centralStart_, 0, 0, temp_.offset());
    out(end.data(), end.size());
}

bool ZipWriteAction::askNextMedium(uint32_t number) {
    if (channel_.HasReceiver())
        return send(RecordDiskRequest, FormatDiskRequest(archive_, number));
    ZipEngineHost* host = channel_.host();
    char text[200];
    std::snprintf(text, sizeof text,
                  "Please remove the current diskette and label it as disk #%u. Insert a new "
                  "diskette and press OK",
                  static_cast<unsigned>(number - 1));
    if (host && host->AskDisk("Disk change", text))
        return true;
    error(kAbortCode);
    return false;
}

bool ZipWriteAction::copyTempTo(const std::string& path) {
    const int fd = ::open(temp_.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ReplacementFile out;
    bool ok = out.Create(path) == 0;
    std::vector<uint8_t> buffer(256 * 1024);
    for (ssize_t n; ok && (n = ::read(fd, buffer.data(), buffer.size())) != 0;)
        ok = n > 0 && out.Write(buffer.data(), static_cast<size_t>(n)) == 0;
    ::close(fd);
    // The medium is taken out next: the archive must be on it.
    return ok && out.Commit(true) == 0;
}

bool ZipWriteAction::writeSplitSet(bool media) {
    const int fd = ::open(temp_.path().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    ZipSplitSet set = media ? ZipSplitSet(archive_, [this](uint32_t n) { return askNextMedium(n); })
                            : ZipSplitSet(archive_, options_.spanFirstSize, options_.spanOtherSize);
    std::vector<uint8_t> buffer(64 * 1024);
    auto copy = [&](uint64_t from, uint64_t length) {
        while (length > 0) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length));
            if (::pread(fd, buffer.data(), n, static_cast<off_t>(from)) !=
                    static_cast<ssize_t>(n) ||
                !set.Write(buffer.data(), n))
                return false;
            from += n;
            length -= n;
        }
        return true;
    };
    uint8_t marker[4]; // the first part opens with the split-set signature
    PutLe32(marker, kSpanningSig);
    if (!set.Write(marker, sizeof marker))
        return false;
    for (size_t i = 0; i < written_.size(); ++i) {
        ZipEntry& e = written_[i].entry;
        const uint64_t start = e.localHeaderOffset;
        const uint64_t end =
            i + 1 < written_.size() ? written_[i + 1].entry.localHeaderOffset : centralStart_;
        uint8_t local[kLocalHeaderSize];
        if (::pread(fd, local, sizeof local, static_cast<off_t>(start)) != sizeof local)
            return false;
        if (!set.Keep(sizeof local + Le16(local + 26) + Le16(local + 28)))
            return false;
        e.diskStart = set.disk();
        e.localHeaderOffset = set.offset();
        if (!copy(start, end - start))
            return false;
    }
    uint32_t centralDisk = set.disk();
    uint64_t centralOffset = set.offset(), size = 0, here = 0;
    for (size_t i = 0; i < written_.size(); ++i) {
        const Written& w = written_[i];
        const std::string h = BuildCentralHeader(w.entry, w.name, w.extra, w.comment);
        const uint32_t before = set.disk();
        if (!set.Keep(h.size()))
            return false;
        if (i == 0) {
            centralDisk = set.disk();
            centralOffset = set.offset();
        }
        if (set.disk() != before)
            here = 0;
        if (!set.Write(h.data(), h.size()))
            return false;
        size += h.size();
        ++here;
    }
    // Sized first with the part as it is, then built for the part it lands in.
    const uint32_t before = set.disk();
    if (!set.Keep(endRecords(written_.size(), here, size, centralOffset, centralDisk, before,
                             set.offset())
                      .size()))
        return false;
    if (set.disk() != before)
        here = 0;
    const std::string end = endRecords(written_.size(), here, size, centralOffset, centralDisk,
                                       set.disk(), set.offset());
    return set.Write(end.data(), end.size()) && set.Commit();
}

// The self-extractor's program: named by KM_SFX_STUB, beside the running program, in the
// build tree, or where it is installed (lib/kestrum beside the program's bin, under any
// prefix). Empty when there is none.
std::string ZipWriteAction::findSfxStub() {
    std::vector<std::string> candidates;
    if (const char* env = std::getenv("KM_SFX_STUB"))
        candidates.emplace_back(env);
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        const std::string dir = directoryOf(std::string(self, static_cast<size_t>(n)));
        candidates.push_back(dir + "/km-sfx");
        candidates.push_back(dir + "/../lib/kestrum/km-sfx");
    }
    candidates.emplace_back(KM_SFX_STUB_BUILD_PATH);
    candidates.emplace_back("/usr/lib/kestrum/km-sfx");
    for (const std::string& c : candidates) {
        struct stat st;
        if (::stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(c.c_str(), X_OK) == 0)
            return c;
    }
    return {};
}

bool ZipWriteAction::writeSfxStub() {
    const std::string stub = findSfxStub();
    if (stub.empty())
        return true; // without a program, the archive and its block are still written
    const int fd = ::open(stub.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    std::vector<uint8_t> buffer(64 * 1024);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error(ErrorInvalidArchive, stub);
            ok = false;
            break;
        }
        if (n == 0 || !out(buffer.data(), static_cast<size_t>(n))) {
            ok = n == 0;
            break;
        }
    }
    ::close(fd);
    sfxStubWritten_ = ok;
    return ok;
}

void ZipWriteAction::replaceArchive() {
    if (!send(RecordReplacing, archive_))
        return;
    // A set larger than its first part is written as parts; one that fits is a plain archive.
    const bool media = options_.span && !options_.spanCreateImages;
    const uint64_t first =
        media ? QueryDiskSpace(directoryOf(archive_)).free : options_.spanFirstSize;
    if (options_.span && temp_.offset() > first) {
        if (!writeSplitSet(media)) {
            if (!stop_)
                error(ErrorNotModified);
            return;
        }
        temp_.Discard();
    } else if (media) {
        if (!copyTempTo(archive_)) {
            error(ErrorNotModified);
            return;
        }
        temp_.Discard();
    } else if (::rename(temp_.path().c_str(), archive_.c_str()) != 0) {
        error(ErrorNotModified);
        return;
    } else {
        temp_.Forget();
    }
    replaced_ = true;
    if (archiveExisted_ && (archiveAttributes_ & (AttrHidden | AttrSystem)) != 0)
        WriteAttributes(archive_, archiveAttributes_ & kWritableAttributes);
    int64_t when = -1;
    if (options_.setArchiveDate == 0 && archiveExisted_) {
        when = archiveTime_;
    } else if (options_.setArchiveDate == 2 || options_.setArchiveDate == 3) {
        for (const Written& w : written_) {
            if (!w.entry.name.empty() && w.entry.name.back() == '/')
                continue;
            const int64_t t = DosToUnixLocal(w.entry.dosDate, w.entry.dosTime);
            if (when < 0 || (options_.setArchiveDate == 2 ? t < when : t > when))
                when = t;
        }
    }
    if (when >= 0)
        SetModificationTime(archive_, when);
    send(RecordReplaced, archive_);
}

void ZipWriteAction::finishSources() {
    if (options_.move) {
        std::vector<std::string> dirs;
        for (const std::string& path : zippedSources_) {
            if (path.back() == '/') {
                dirs.push_back(path.substr(0, path.size() - 1));
                continue;
            }
            if (::unlink(path.c_str()) != 0)
                warn(WarningCantDelete, path);
            dirs.push_back(directoryOf(path));
        }
        // Deepest first: a parent sorts before its children.
        std::sort(dirs.begin(), dirs.end(), std::greater<>());
        dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end());
        for (const std::string& d : dirs)
            ::rmdir(d.c_str());
        return;
    }
    if (options_.clearAttributes == 0)
        return;
    for (const std::string& path : zippedSources_) {
        uint32_t a = 0;
        if (ReadPathAttributes(path, a) == 0)
            WriteAttributes(path, a & ~static_cast<uint32_t>(options_.clearAttributes) &
                                      kWritableAttributes);
    }
}

} // namespace km::zip
