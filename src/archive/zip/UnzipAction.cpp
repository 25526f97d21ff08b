#include "archive/zip/UnzipAction.h"

#include "archive/zip/Crc32.h"
#include "archive/zip/EndRecordFinder.h"
#include "archive/zip/Explode.h"
#include "archive/zip/InflateStream.h"
#include "archive/zip/Unshrink.h"
#include "archive/zip/ZipBytes.h"
#include "archive/zip/ZipCrypto.h"
#include "archive/zip/ZipDosTime.h"
#include "archive/zip/ZipErrorTexts.h"
#include "archive/zip/ZipNameCharset.h"
#include "archive/zip/ZipOutputName.h"
#include "archive/zip/ZipRecords.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <sys/stat.h>

namespace km::zip {

namespace {

constexpr uint64_t kSpannedSearchWindow = 70000;
constexpr size_t kMemoryHeaderSize = 14;
constexpr size_t kWindowSize = 32 * 1024;
// Version 4.5 is what ZIP64 entries ask for, and ZIP64 is read here.
constexpr unsigned kMaxVersionNeeded = 45;

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// The name as given when it exists; otherwise, when its last component has no dot and does
// not start with '-', with ".ZIP" (or ".zip", on case-sensitive file systems) appended.
std::string resolveArchiveName(const std::string& name) {
    const size_t slash = name.rfind('/');
    const std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    if (exists(name) || last.find('.') != std::string::npos || (!last.empty() && last[0] == '-'))
        return name;
    if (!exists(name + ".ZIP") && exists(name + ".zip"))
        return name + ".zip";
    return name + ".ZIP";
}

class VolumeSource : public ZipByteSource {
public:
    VolumeSource(ZipVolumeSet& volumes, uint64_t size, uint64_t& counter)
        : volumes_(volumes), left_(size), counter_(counter) {}
    size_t Read(uint8_t* dst, size_t max) override {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(max, left_));
        if (want == 0 || status_ != VolumeStatus::Ok)
            return 0;
        size_t got = 0;
        status_ = volumes_.Read(dst, want, &got);
        left_ -= got;
        counter_ += got;
        return got;
    }
    VolumeStatus status() const { return status_; }

private:
    ZipVolumeSet& volumes_;
    uint64_t left_;
    uint64_t& counter_;
    VolumeStatus status_ = VolumeStatus::Ok;
};

class MemorySource : public ZipByteSource {
public:
    MemorySource(const uint8_t* data, uint64_t size, uint64_t& counter)
        : data_(data), left_(size), counter_(counter) {}
    size_t Read(uint8_t* dst, size_t max) override {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(max, left_));
        std::memcpy(dst, data_, n);
        data_ += n;
        left_ -= n;
        counter_ += n;
        return n;
    }

private:
    const uint8_t* data_;
    uint64_t left_;
    uint64_t& counter_;
};

// Decrypts what another source delivers.
class DecryptingSource : public ZipByteSource {
public:
    DecryptingSource(ZipByteSource& in, ZipCrypto& crypto) : in_(in), crypto_(crypto) {}
    size_t Read(uint8_t* dst, size_t max) override {
        const size_t n = in_.Read(dst, max);
        crypto_.Decrypt(dst, n);
        return n;
    }

private:
    ZipByteSource& in_;
    ZipCrypto& crypto_;
};

// Collects the decoded bytes in the 32 KiB window; each flush checksums them, hands them to
// the file, the memory buffer or nowhere (testing) and sends a progress record.
class EntrySink : public ZipByteSink {
public:
    enum class Failure { None, Write, Stop };

    EntrySink(UnzipAction& action, int type, std::string_view name, uint64_t size)
        : action_(action), type_(type), name_(name), size_(size) {
        window_.reserve(kWindowSize);
    }
    void toFile(ExtractFile* file) { file_ = file; }
    // A link's target text: small, kept whole.
    void toText(std::string* text) { text_ = text; }
    void toMemory(uint8_t* buffer, size_t length, uint64_t* written) {
        memory_ = buffer;
        memoryLength_ = length;
        memoryWritten_ = written;
    }

    bool Write(const uint8_t* data, size_t length) override {
        if (window_.empty() && length >= kWindowSize)
            return process(data, length);
        while (length > 0) {
            const size_t n = std::min(length, kWindowSize - window_.size());
            window_.insert(window_.end(), data, data + n);
            data += n;
            length -= n;
            if (window_.size() == kWindowSize && !Flush())
                return false;
        }
        return true;
    }
    bool Flush() {
        if (window_.empty())
            return true;
        const bool ok = process(window_.data(), window_.size());
        window_.clear();
        return ok;
    }
    uint32_t crc() const { return crc_; }
    uint64_t written() const { return written_; }
    Failure failure() const { return failure_; }
    bool textTooLong() const { return textTooLong_; }

private:
    bool process(const uint8_t* data, size_t length) {
        crc_ = Crc32Update(crc_, data, length);
        written_ += length;
        if (file_ && file_->Write(data, length) != 0) {
            failure_ = Failure::Write;
            return false;
        }
        if (text_) {
            if (text_->size() + length < PATH_MAX)
                text_->append(reinterpret_cast<const char*>(data), length);
            else
                textTooLong_ = true;
        }
        if (memory_ && *memoryWritten_ < memoryLength_) {
            // What does not fit is dropped.
            const size_t n =
                static_cast<size_t>(std::min<uint64_t>(length, memoryLength_ - *memoryWritten_));
            std::memcpy(memory_ + *memoryWritten_, data, n);
            *memoryWritten_ += n;
        }
        if (!action_.SendProgress(type_, name_, size_, written_,
                                  ProgressPercent(written_, size_))) {
            failure_ = Failure::Stop;
            return false;
        }
        return true;
    }

    UnzipAction& action_;
    int type_;
    std::string_view name_;
    uint64_t size_;
    std::vector<uint8_t> window_;
    uint32_t crc_ = 0;
    uint64_t written_ = 0;
    ExtractFile* file_ = nullptr;
    std::string* text_ = nullptr;
    bool textTooLong_ = false;
    uint8_t* memory_ = nullptr;
    size_t memoryLength_ = 0;
    uint64_t* memoryWritten_ = nullptr;
    Failure failure_ = Failure::None;
};

int warningForMethod(uint16_t method, DecodeStatus st) {
    switch (method) {
    case 0:
        return UnzipWarningInvalidEntry;
    case 1:
        return UnzipWarningShrinkFailed;
    case 6:
        return st == DecodeStatus::Truncated ? UnzipWarningImplodeIncomplete
                                             : UnzipWarningImplodeFailed;
    default:
        return UnzipWarningInflateFailed;
    }
}

} // namespace

UnzipAction::UnzipAction(const UnzipOptions& options, ZipRecordChannel& channel,
                         const bool& abortRequested)
    : options_(options), channel_(channel), abortRequested_(abortRequested),
      overwrite_(options.overwrite) {}

UnzipAction::~UnzipAction() = default;

bool UnzipAction::send(int type, const std::string& fields) {
    if (stop_)
        return false;
    const uint16_t answer = channel_.Send(type, fields);
    if (answer == kAnswerAbort || abortRequested_) {
        error(kAbortCode);
        return false;
    }
    return true;
}

void UnzipAction::error(int code, std::string_view name) {
    // The first error ends the action; nothing after it is reported.
    if (stop_)
        return;
    lastError_ = code;
    // The answer to an error record is ignored, and it never raises a second one.
    channel_.Send(RecordError, FormatProblem(archive_, name, code));
    stop_ = true;
}

bool UnzipAction::warn(int code, std::string_view name) {
    if (stop_)
        return false;
    lastWarning_ = code;
    return send(RecordWarning, FormatProblem(archive_, name, code));
}

bool UnzipAction::SendProgress(int type, std::string_view name, uint64_t size, uint64_t done,
                               unsigned percent) {
    ProgressFields f;
    f.archive = archive_;
    f.name = name;
    f.size = size;
    f.done = done;
    f.percent = percent;
    f.count = table_.size();
    f.index = currentIndex_;
    f.totalBytes = totalStored_;
    f.totalDone = storedRead_;
    return send(type, FormatProgress(f));
}

int64_t UnzipAction::Run() {
    include_.AddBarSeparated(options_.include);
    if (!options_.includeListFile.empty())
        include_.AddListFile(options_.includeListFile);
    exclude_.AddBarSeparated(options_.exclude);
    if (!options_.excludeListFile.empty())
        exclude_.AddListFile(options_.excludeListFile);
    if (!options_.includeNamesFile.empty()) {
        namesOnly_ = true;
        std::ifstream in(options_.includeNamesFile, std::ios::binary);
        for (std::string line; std::getline(in, line);)
            names_.insert(std::move(line));
    }
    try {
        if (!options_.image && (options_.fromMemory || options_.archiveName == "-"))
            runMemory();
        else
            runArchive();
    } catch (const std::bad_alloc&) {
        error(UnzipErrorOutOfMemory);
    }
    target_.reset();
    volumes_.reset();
    if (options_.toMemory) {
        if (options_.output && memoryWritten_ < options_.outputLength)
            options_.output[memoryWritten_] = 0;
        return static_cast<int64_t>(memoryWritten_);
    }
    return static_cast<int64_t>(done_);
}

void UnzipAction::sendView(const ZipEntry& e) {
    if (send(RecordView, FormatView(ViewFieldsOf(e, archive_))))
        ++done_;
}

void UnzipAction::runMemory() {
    archive_ = "-";
    const uint8_t* in = options_.input;
    const size_t length = in ? options_.inputLength : 0;
    if (length < kMemoryHeaderSize) {
        error(UnzipErrorUnexpectedEnd);
        return;
    }
    ZipEntry e;
    e.flags = in[0];
    e.method = in[1];
    e.crc = Le32(in + 2);
    e.compressedSize = Le32(in + 6);
    e.uncompressedSize = Le32(in + 10);
    e.versionNeeded = e.method == 0 ? 10 : 20;
    if (e.compressedSize > length - kMemoryHeaderSize) {
        error(UnzipErrorUnexpectedEnd);
        return;
    }
    table_.push_back({e, 0});
    totalStored_ = e.compressedSize;
    if (options_.view) {
        sendView(e);
        return;
    }
    if (e.method != 0 && e.method != 1 && e.method != 6 && e.method != 8) {
        warn(UnzipWarningUnknownMethod);
        return;
    }
    MemorySource source(in + kMemoryHeaderSize, e.compressedSize, storedRead_);
    // Nothing in memory input records the time the header check would need for an entry
    // whose sizes followed its data; the CRC still catches a wrong password.
    extractData(e, 0, source, e.compressedSize, !e.hasDataDescriptor());
    if (!stop_ && done_ == 0 && !didSomething_ && lastError_ == 0)
        error(UnzipErrorNothingToDo);
}

bool UnzipAction::handleVolumeStatus(VolumeStatus st) {
    switch (st) {
    case VolumeStatus::Ok:
        return true;
    case VolumeStatus::Aborted:
        error(kAbortCode);
        return false;
    case VolumeStatus::Unavailable:
        error(UnzipErrorMultiVolume);
        return false;
    default:
        error(UnzipErrorUnexpectedEnd);
        return false;
    }
}

bool UnzipAction::openArchive(std::string* path) {
    ZipEngineHost* host = channel_.host();
    auto prompt = [this, host](uint32_t disk) {
        if (channel_.HasReceiver()) {
            if (disk == 0 && lastDiskAsked_)
                return true;
            lastDiskAsked_ = lastDiskAsked_ || disk == 0;
            return send(RecordDiskRequest, FormatDiskRequest(archive_, disk));
        }
        if (!host)
            return false;
        char text[160];
        if (disk == 0)
            std::snprintf(text, sizeof text,
                          "Please insert the LAST disk of this multi-disk "
                          "archive, then click OK to continue");
        else
            std::snprintf(text, sizeof text, "Please insert disk #%u, then click OK to continue",
                          static_cast<unsigned>(disk));
        return host->AskDisk("Disk change", text);
    };
    auto labelCheck = [host](const std::string& p, uint32_t disk) {
        std::string label;
        if (!host || !host->VolumeLabel(p, &label))
            return true;
        char number[16];
        std::snprintf(number, sizeof number, "%03u", static_cast<unsigned>(disk));
        return label.find(number) != std::string::npos;
    };
    volumes_ = std::make_unique<ZipVolumeSet>(prompt, labelCheck);
    if (options_.image) {
        *path = "-";
        archive_ = *path;
        return volumes_->OpenImage(options_.image, options_.imageLength) == VolumeStatus::Ok;
    }
    *path = resolveArchiveName(options_.archiveName);
    archive_ = *path;
    switch (volumes_->OpenFirst(*path)) {
    case VolumeStatus::Ok:
        return true;
    case VolumeStatus::NotFound:
    case VolumeStatus::IsDirectory:
        error(UnzipErrorArchiveNotFound);
        return false;
    default:
        error(UnzipErrorCantOpenArchive);
        return false;
    }
}

void UnzipAction::runArchive() {
    std::string path;
    if (!openArchive(&path))
        return;
    ZipRandomAccess& vol = volumes_->volume();
    uint8_t head[4];
    const bool spanned = vol.ReadAt(0, head, 4) && Le32(head) == kSpanningSig;
    EndRecord end;
    EndSearchResult found = FindEndRecord(vol, spanned ? kSpannedSearchWindow : 0, &end);
    if (found == EndSearchResult::NotFound && spanned) {
        const VolumeStatus st = volumes_->OpenLastDisk();
        if (st == VolumeStatus::Aborted) {
            error(kAbortCode);
            return;
        }
        if (st != VolumeStatus::Ok) {
            error(st == VolumeStatus::CantOpen ? UnzipErrorCantOpenArchive
                                               : UnzipErrorArchiveNotFound);
            return;
        }
        found = FindEndRecord(volumes_->volume(), 0, &end);
    }
    if (found == EndSearchResult::ReadError) {
        error(UnzipErrorUnexpectedEnd);
        return;
    }
    if (found == EndSearchResult::NotFound) {
        error(UnzipErrorInvalidArchive);
        return;
    }
    ZipRandomAccess& last = volumes_->volume();
    ApplyZip64EndRecord(last, &end);
    if (end.thisDisk != 0) {
        volumes_->SetMultiDisk(end.thisDisk);
        extraBytes_ = 0;
    } else {
        const uint64_t endPos = end.zip64 ? end.zip64Position : end.position;
        uint64_t dirEnd;
        if (!__builtin_add_overflow(end.centralOffset, end.centralSize, &dirEnd) &&
            dirEnd <= endPos)
            extraBytes_ = endPos - dirEnd;
    }

    // The comment: at most 1024 bytes are kept.
    const uint64_t commentAt = end.position + 22;
    const uint64_t available = last.Size() - std::min(last.Size(), commentAt);
    std::string comment(
        static_cast<size_t>(std::min<uint64_t>({end.commentLength, available, 1024})), '\0');
    if (!comment.empty() &&
        !last.ReadAt(commentAt, reinterpret_cast<uint8_t*>(comment.data()), comment.size())) {
        error(UnzipErrorUnexpectedEnd);
        return;
    }
    if (available < end.commentLength && !warn(UnzipWarningShortComment))
        return;
    if (!send(RecordComment, FormatComment(archive_, end.commentLength, comment)))
        return;
    if (options_.displayComment && channel_.host())
        channel_.host()->ShowMessage("Comment in " + archive_, comment);

    if (end.totalEntries != 0 &&
        !readCentralDirectory(end.centralDisk, end.centralOffset, end.totalEntries))
        return;
    // The end record (or its ZIP64 form) must follow the directory.
    const EndCheck endCheck = end.totalEntries != 0 ? checkEndSignature() : EndCheck::Ok;
    if (stop_)
        return;
    if (options_.view) {
        if (endCheck == EndCheck::Short)
            error(UnzipErrorUnexpectedEnd);
        else if (endCheck == EndCheck::Mismatch)
            warn(UnzipWarningDamagedArchive);
        return;
    }
    if (!options_.test && !options_.toMemory)
        target_ = std::make_unique<ExtractTarget>(options_.extractTo);
    for (const Selected& s : table_) {
        if (stop_)
            return;
        extractEntry(s);
    }
    if (stop_)
        return;
    if (endCheck == EndCheck::Short) {
        error(UnzipErrorUnexpectedEnd);
        return;
    }
    if (endCheck == EndCheck::Mismatch && !warn(UnzipWarningDamagedArchive))
        return;
    if (done_ == 0 && !didSomething_ && lastError_ == 0)
        error(UnzipErrorNothingToDo);
}

UnzipAction::EndCheck UnzipAction::checkEndSignature() {
    uint8_t sig[4];
    size_t got = 0;
    if (volumes_->Read(sig, 4, &got) != VolumeStatus::Ok || got < 4)
        return EndCheck::Short;
    const uint32_t s = Le32(sig);
    return (s == kEndRecordSig || s == kZip64EndRecordSig || s == kDigitalSignatureSig)
               ? EndCheck::Ok
               : EndCheck::Mismatch;
}

bool UnzipAction::readCentralDirectory(uint32_t disk, uint64_t offset, uint64_t count) {
    uint8_t fixed[kCentralHeaderSize];
    size_t got = 0;
    auto seekAndCheck = [&](uint64_t at) {
        const VolumeStatus st = volumes_->Seek(disk, at);
        if (st == VolumeStatus::Aborted || st == VolumeStatus::Unavailable)
            return handleVolumeStatus(st);
        return volumes_->Read(fixed, 4, &got) == VolumeStatus::Ok && got == 4 &&
               Le32(fixed) == kCentralHeaderSig;
    };
    uint64_t at;
    const bool withExtra = !__builtin_add_overflow(offset, extraBytes_, &at);
    if (!(withExtra && seekAndCheck(at))) {
        if (stop_)
            return false;
        extraBytes_ = 0;
        if (!seekAndCheck(offset)) {
            if (!stop_)
                error(UnzipErrorInvalidCentralDirectory);
            return false;
        }
    }
    std::string raw;
    for (uint64_t i = 0; i < count; ++i) {
        if (i != 0) {
            const VolumeStatus st = volumes_->Read(fixed, 4, &got);
            if (!handleVolumeStatus(st))
                return false;
            if (got < 4) {
                error(UnzipErrorUnexpectedEnd);
                return false;
            }
            if (Le32(fixed) != kCentralHeaderSig) {
                error(UnzipErrorInvalidCentralDirectory);
                return false;
            }
        }
        VolumeStatus st = volumes_->Read(fixed + 4, kCentralHeaderSize - 4, &got);
        if (!handleVolumeStatus(st))
            return false;
        if (got < kCentralHeaderSize - 4) {
            error(UnzipErrorUnexpectedEnd);
            return false;
        }
        Selected s;
        CentralLengths lengths;
        if (!ParseCentralHeader(fixed, &s.entry, &lengths)) {
            error(UnzipErrorInvalidCentralDirectory);
            return false;
        }
        raw.resize(lengths.name);
        s.entry.extra.resize(lengths.extra);
        size_t gotName = 0;
        size_t gotExtra = 0;
        if (!handleVolumeStatus(
                volumes_->Read(reinterpret_cast<uint8_t*>(raw.data()), raw.size(), &gotName)) ||
            !handleVolumeStatus(volumes_->Read(reinterpret_cast<uint8_t*>(s.entry.extra.data()),
                                               s.entry.extra.size(), &gotExtra)) ||
            !handleVolumeStatus(volumes_->Skip(lengths.comment)))
            return false;
        if (gotName < raw.size() || gotExtra < s.entry.extra.size()) {
            error(UnzipErrorUnexpectedEnd);
            return false;
        }
        ApplyZip64Extra(s.entry.extra, &s.entry);
        std::string unicode;
        s.entry.name =
            NormaliseStoredName(UnicodePathName(s.entry.extra, raw, &unicode)
                                    ? unicode
                                    : DecodeEntryName(raw, s.entry.flags, s.entry.versionMadeBy),
                                s.entry.versionMadeBy);
        if (namesOnly_
                ? names_.count(s.entry.name) == 0
                : !ZipNameSelected(include_, exclude_, s.entry.name, options_.restoreStructure))
            continue;
        if (options_.view) {
            sendView(s.entry);
            if (stop_)
                return false;
            continue;
        }
        const ZipEntry& e = s.entry;
        if ((e.versionNeeded & 0xff) > kMaxVersionNeeded || (e.flags & 0x40) != 0) {
            if (!warn(UnzipWarningNeedNewerVersion, e.name))
                return false;
            continue;
        }
        if (e.method != 0 && e.method != 1 && e.method != 6 && e.method != 8) {
            if (!warn(UnzipWarningUnknownMethod, e.name))
                return false;
            continue;
        }
        s.index = table_.size();
        totalStored_ += e.compressedSize;
        table_.push_back(std::move(s));
    }
    return true;
}

bool UnzipAction::mayReplace(const ZipEntry& e, const std::string& outputName,
                             const ExistingEntry& f) {
    if (options_.freshen || options_.update) {
        const uint32_t entryTime = static_cast<uint32_t>(e.dosDate) << 16 | e.dosTime;
        return entryTime > UnixToDosLocal(f.mtime);
    }
    if (overwrite_ == 11)
        return true;
    if (overwrite_ == 12)
        return false;
    const uint32_t fileTime = UnixToDosLocal(f.mtime);
    const std::string existingDate =
        QueryDateText(static_cast<uint16_t>(fileTime >> 16), static_cast<uint16_t>(fileTime));
    const std::string newDate = QueryDateText(e.dosDate, e.dosTime);
    int answer;
    if (channel_.HasReceiver()) {
        const uint16_t a = channel_.Send(
            RecordOverwriteQuery, FormatOverwriteQuery(archive_, outputName, f.size, existingDate,
                                                       e.uncompressedSize, newDate));
        if (a == kAnswerAbort || abortRequested_) {
            error(kAbortCode);
            return false;
        }
        answer = a;
    } else if (ZipEngineHost* host = channel_.host()) {
        const std::string text = OverwriteQuestionText(
            "A file with this name already exists. Do you wish to overwrite it?", outputName, f.size,
            existingDate, e.name, e.uncompressedSize, newDate);
        answer = host->AskOverwrite(text);
        channel_.ProcessMessages();
    } else {
        // Nobody to ask: keep what is there.
        answer = 2;
    }
    return ApplyOverwriteAnswer(answer, overwrite_);
}

void UnzipAction::extractEntry(const Selected& s) {
    const ZipEntry& e = s.entry;
    uint8_t fixed[kLocalHeaderSize];
    size_t got = 0;
    auto readLocal = [&](uint64_t at) {
        const VolumeStatus st = volumes_->Seek(e.diskStart, at);
        if (st == VolumeStatus::Aborted || st == VolumeStatus::Unavailable)
            return handleVolumeStatus(st);
        return volumes_->Read(fixed, sizeof fixed, &got) == VolumeStatus::Ok &&
               got == sizeof fixed && Le32(fixed) == kLocalHeaderSig;
    };
    uint64_t at;
    bool ok = !__builtin_add_overflow(e.localHeaderOffset, extraBytes_, &at) && readLocal(at);
    if (!ok && !stop_ && extraBytes_ != 0)
        ok = readLocal(e.localHeaderOffset);
    if (stop_)
        return;
    LocalHeader local;
    if (!ok || !ParseLocalHeader(fixed, &local)) {
        warn(UnzipWarningInconsistentLocalHeader, e.name);
        return;
    }
    localExtra_.assign(local.extraLength, '\0');
    size_t gotExtra = 0;
    if (!handleVolumeStatus(volumes_->Skip(local.nameLength)) ||
        !handleVolumeStatus(volumes_->Read(reinterpret_cast<uint8_t*>(localExtra_.data()),
                                           localExtra_.size(), &gotExtra)))
        return;
    localExtra_.resize(gotExtra); // a short field is only a field without its tail
    // The central directory is what was listed and selected; a local header that tells
    // another story about the data is not trusted.
    if (local.method != e.method || (local.flags & 1) != (e.flags & 1)) {
        warn(UnzipWarningInconsistentLocalHeader, e.name);
        return;
    }
    if (!volumes_->multiDisk() && e.compressedSize > volumes_->remainingInVolume()) {
        warn(UnzipWarningInvalidEntry, e.name);
        return;
    }
    VolumeSource source(*volumes_, e.compressedSize, storedRead_);
    extractData(e, s.index, source, e.compressedSize, true);
    if (!stop_ && source.status() != VolumeStatus::Ok)
        handleVolumeStatus(source.status());
}

void UnzipAction::extractData(const ZipEntry& e, uint64_t index, ZipByteSource& raw,
                              uint64_t rawSize, bool headerCheckPossible) {
    currentIndex_ = index;
    const bool toFile = !options_.test && !options_.toMemory;
    std::string outputName = e.name;
    OutputName mapped;
    if (toFile) {
        mapped = MapOutputName(e.name, options_.restoreStructure, DosNamedHost(e.versionMadeBy));
        if (mapped.kind == OutputName::Directory) {
            if (options_.restoreStructure && !mapped.components.empty()) {
                if (target_->CreateDirectories(mapped.components)) {
                    didSomething_ = true;
                    EntryAttributes a;
                    int64_t utc = 0; // a folder's central record carries its UTC time too
                    a.mtime = ExtendedMtime(e.extra, &utc) ? utc : DosToUnixLocal(e.dosDate, e.dosTime);
                    a.mode = UnixModeOf(e).permissions;
                    target_->SetDirectoryAttributes(mapped.components, a);
                } else
                    warn(UnzipWarningCantOpenOutput, options_.extractTo + mapped.joined());
            }
            return;
        }
        if (mapped.kind == OutputName::Invalid) {
            warn(UnzipWarningInvalidFilename, e.name);
            return;
        }
        outputName = options_.extractTo + mapped.joined();
        const ExistingEntry existing = target_->Lookup(mapped.components);
        if (existing.exists) {
            if (existing.isDirectory) {
                warn(UnzipWarningCantOpenOutput, outputName);
                return;
            }
            if (!mayReplace(e, outputName, existing))
                return;
        }
    } else if (!e.name.empty() && e.name.back() == '/') {
        return;
    }

    ZipCrypto crypto;
    ZipByteSource* in = &raw;
    DecryptingSource decrypting(raw, crypto);
    uint64_t dataSize = rawSize;
    if (e.encrypted()) {
        if (options_.password.empty()) {
            warn(UnzipWarningEncryptedNoPassword, outputName);
            return;
        }
        uint8_t header[ZipCrypto::kHeaderSize];
        if (rawSize < sizeof header || raw.Read(header, sizeof header) != sizeof header) {
            warn(UnzipWarningInvalidEntry, outputName);
            return;
        }
        crypto.Init(options_.password);
        const uint8_t check = e.hasDataDescriptor() ? static_cast<uint8_t>(e.dosTime >> 8)
                                                    : static_cast<uint8_t>(e.crc >> 24);
        if (!crypto.CheckHeader(header, check) && headerCheckPossible) {
            warn(UnzipWarningWrongPassword, outputName);
            return;
        }
        in = &decrypting;
        dataSize -= sizeof header;
    }
    if (e.method == 0 && dataSize != e.uncompressedSize) {
        warn(UnzipWarningInvalidEntry, outputName);
        return;
    }

    const UnixMode unix = UnixModeOf(e);
    const bool link = toFile && unix.isLink;
    ExtractFile file;
    std::string linkText;
    if (toFile && !link && target_->OpenFile(mapped.components, &file, unix.permissions) != 0) {
        warn(UnzipWarningCantOpenOutput, outputName);
        return;
    }
    const int progress = options_.test ? RecordTesting : RecordExtracting;
    EntrySink sink(*this, progress, outputName, e.uncompressedSize);
    if (link)
        sink.toText(&linkText);
    else if (toFile)
        sink.toFile(&file);
    if (options_.toMemory)
        sink.toMemory(options_.output, options_.output ? options_.outputLength : 0,
                      &memoryWritten_);
    DecodeStatus st;
    switch (e.method) {
    case 0:
        st = CopyStored(*in, sink, e.uncompressedSize);
        break;
    case 1:
        st = Unshrink(*in, sink, e.uncompressedSize);
        break;
    case 6:
        st = Explode(*in, sink, e.uncompressedSize, (e.flags & 2) != 0, (e.flags & 4) != 0);
        break;
    default:
        st = InflateRaw(*in, sink, e.uncompressedSize);
        break;
    }
    if (st == DecodeStatus::Ok && !sink.Flush())
        st = DecodeStatus::Stopped;
    if (st == DecodeStatus::Stopped) {
        if (sink.failure() == EntrySink::Failure::Write)
            error(UnzipErrorDiskFull, outputName);
        return;
    }
    if (st == DecodeStatus::OutOfMemory) {
        error(UnzipErrorOutOfMemory, outputName);
        return;
    }
    if (st != DecodeStatus::Ok) {
        warn(warningForMethod(e.method, st), outputName);
        return;
    }
    if (sink.written() != e.uncompressedSize) {
        warn(UnzipWarningInvalidEntry, outputName);
        return;
    }
    if (sink.crc() != e.crc) {
        // A file that fails its check does not replace anything.
        warn(UnzipWarningBadCrc, outputName);
        return;
    }
    if (link) {
        // Written as the link it is; no later entry is ever written through it.
        if (sink.textTooLong() || target_->MakeSymlink(mapped.components, linkText) != 0) {
            warn(UnzipWarningCantOpenOutput, outputName);
            return;
        }
    } else if (toFile) {
        const uint32_t attributes = ((e.externalAttributes & 0xff) | 0x20) &
                                    static_cast<uint32_t>(options_.restoreAttributes) & 0x27;
        EntryAttributes a;
        // The UTC time of the extended timestamp, as Info-ZIP keeps it, before the local
        // DOS time, which moves with the time zone and has two-second steps.
        int64_t utc = 0;
        a.mtime = ExtendedMtime(localExtra_, &utc) || ExtendedMtime(e.extra, &utc)
                      ? utc
                      : DosToUnixLocal(e.dosDate, e.dosTime);
        a.mode = unix.permissions;
        a.readOnly = (attributes & 1) != 0;
        a.dosBits = attributes & 0x26;
        if (file.Commit(a) != 0) {
            warn(UnzipWarningCantOpenOutput, outputName);
            return;
        }
    }
    ProgressFields f;
    f.archive = archive_;
    f.name = outputName;
    f.size = e.uncompressedSize;
    f.done = e.uncompressedSize;
    f.percent = 100;
    f.count = table_.size();
    f.index = index + 1;
    f.totalBytes = totalStored_;
    f.totalDone = storedRead_;
    ++done_;
    send(options_.test ? RecordTested : RecordExtracted, FormatProgress(f));
}

} // namespace km::zip
