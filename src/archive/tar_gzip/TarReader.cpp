#include "archive/tar_gzip/TarReader.h"

#include "archive/tar_gzip/GzipStream.h"
#include "archive/tar_gzip/TarExtractor.h"
#include "archive/tar_gzip/TarOutputName.h"
#include "archive/tar_gzip/TarParser.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

namespace {

using tar::StreamStatus;
using tar::TarStatus;

constexpr size_t kReadSize = 256 * 1024;

// Next piece of input: its size, 0 at the end, -1 on a read error.
using ReadPiece = std::function<ssize_t(const uint8_t*& data)>;

struct PassInput {
    ReadPiece read;
    tar::Compression compression = tar::Compression::None;
    tar::TarEntry single; // the row a compressed file that holds no tarball becomes
};

// Takes the decompressed bytes and tells by their first block what they are: a tarball
// for the parser, or one file handed to the handler whole. After the tarball's end marker
// the stream is still decoded to its end, so damage there is found; a stop or a bad header
// ends it at once.
class StreamSplitter : public tar::ByteConsumer {
public:
    StreamSplitter(tar::TarParser& parser, tar::TarEntryHandler& handler, tar::TarEntry single)
        : parser_(parser), handler_(handler), single_(std::move(single)) {}

    bool Consume(const uint8_t* data, size_t size) override {
        if (mode_ == Mode::Deciding) {
            const size_t take = std::min(size, tar::kTarBlockSize - head_.size());
            head_.insert(head_.end(), data, data + take);
            if (head_.size() < tar::kTarBlockSize)
                return true;
            if (!Decide())
                return false;
            data += take;
            size -= take;
        }
        return size == 0 || Forward(data, size);
    }

    // The stream ended well; false when the handler stopped.
    bool EndOfStream() {
        if (mode_ == Mode::Deciding && !Decide())
            return false;
        if (mode_ == Mode::Single && receiving_) {
            receiving_ = false;
            return handler_.End();
        }
        return true;
    }

    bool single() const { return mode_ == Mode::Single; }

private:
    enum class Mode { Deciding, Tar, Single };

    bool Decide() {
        const bool tarball = head_.size() == tar::kTarBlockSize &&
                             (tar::TarChecksumMatches(head_.data()) || tar::IsZeroBlock(head_.data()));
        mode_ = tarball ? Mode::Tar : Mode::Single;
        if (mode_ == Mode::Single) {
            const tar::TarAction action = handler_.Begin(single_);
            if (action == tar::TarAction::Stop)
                return false;
            receiving_ = action == tar::TarAction::Receive;
        }
        std::vector<uint8_t> head;
        head.swap(head_);
        return head.empty() || Forward(head.data(), head.size());
    }

    bool Forward(const uint8_t* data, size_t size) {
        if (mode_ == Mode::Tar) {
            const TarStatus s = parser_.Feed(data, size);
            return s == TarStatus::More || s == TarStatus::Ended;
        }
        return !receiving_ || handler_.Data(data, size);
    }

    tar::TarParser& parser_;
    tar::TarEntryHandler& handler_;
    tar::TarEntry single_;
    Mode mode_ = Mode::Deciding;
    std::vector<uint8_t> head_;
    bool receiving_ = false;
};

int ParserResult(tar::TarParser& parser, StreamStatus stream) {
    if (stream == StreamStatus::NoMemory)
        return kTarNotEnoughMemory;
    if (stream == StreamStatus::Invalid && parser.status() == TarStatus::More)
        return kTarInvalidArchive;
    switch (parser.Finish()) {
    case TarStatus::Ended:
        return stream == StreamStatus::Invalid ? kTarInvalidArchive : kTarOk;
    case TarStatus::Stopped:
        return kTarOk;
    default:
        return kTarInvalidArchive;
    }
}

int RunPass(const PassInput& input, tar::TarEntryHandler& handler) {
    tar::TarParser parser(handler);
    const std::unique_ptr<tar::Decompressor> decoder =
        input.compression == tar::Compression::None ? nullptr
                                                    : tar::MakeDecompressor(input.compression);
    StreamSplitter splitter(parser, handler, input.single);
    StreamStatus stream = StreamStatus::More;
    for (;;) {
        const uint8_t* data = nullptr;
        const ssize_t n = input.read(data);
        if (n < 0)
            return kTarInvalidArchive;
        if (n == 0)
            break;
        const size_t size = static_cast<size_t>(n);
        if (decoder) {
            stream = decoder->Feed(data, size, splitter);
            if (stream != StreamStatus::More)
                break;
        } else if (parser.Feed(data, size) != TarStatus::More) {
            break;
        }
    }
    if (!decoder)
        return ParserResult(parser, StreamStatus::Ended);
    if (stream == StreamStatus::More)
        stream = decoder->Finish(splitter);
    if (stream == StreamStatus::Ended && !splitter.EndOfStream() && splitter.single())
        return kTarOk; // the handler stopped at the lone file
    if (!splitter.single())
        return ParserResult(parser, stream);
    switch (stream) {
    case StreamStatus::Ended:
    case StreamStatus::Stopped:
        return kTarOk;
    case StreamStatus::NoMemory:
        return kTarNotEnoughMemory;
    default:
        return kTarInvalidArchive; // the lone file is cut short or damaged: not written
    }
}

class Lister : public tar::TarEntryHandler {
public:
    explicit Lister(ArchiveSink& sink) : sink_(sink) {}
    tar::TarAction Begin(const tar::TarEntry& entry) override {
        if (!entry.sizeKnown) { // counted through to its end
            pending_ = entry;
            pending_.size = 0;
            return tar::TarAction::Receive;
        }
        sink_.AddEntry(entry.name, TarListedTime(entry.mtime), entry.size);
        ++rows_;
        return tar::TarAction::Skip;
    }
    bool Data(const uint8_t*, size_t size) override {
        pending_.size += size;
        return true;
    }
    bool End() override {
        sink_.AddEntry(pending_.name, TarListedTime(pending_.mtime), pending_.size);
        ++rows_;
        return true;
    }
    // A damaged archive that still gave rows is listed as far as it goes.
    int Verdict(int rc) const { return rc == kTarInvalidArchive && rows_ > 0 ? kTarDamaged : rc; }

private:
    ArchiveSink& sink_;
    tar::TarEntry pending_;
    size_t rows_ = 0;
};

int Extract(const PassInput& input, const ArchiveExtractOptions& options, ArchiveSink& sink,
            TarReport* report) {
    TarReport local;
    TarReport& out = report ? *report : local;
    const size_t before = out.problems.size();
    tar::TarExtractor extractor(options, sink, out);
    if (!extractor.OpenTarget())
        return kTarCannotOpenOutput;
    const int rc = RunPass(input, extractor);
    extractor.Abandon();
    if (rc != kTarOk) {
        out.problems.push_back({rc, std::string()});
        return rc;
    }
    if (out.problems.size() > before)
        return out.problems[before].code;
    return extractor.cancelled() ? kTarCancelled : kTarOk;
}

class FileInput {
public:
    explicit FileInput(const std::string& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), buffer_(kReadSize) {}
    ~FileInput() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileInput(const FileInput&) = delete;
    FileInput& operator=(const FileInput&) = delete;
    bool ok() const { return fd_ >= 0; }
    int64_t mtime() const {
        struct stat st;
        return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
    }
    ssize_t operator()(const uint8_t*& data) {
        for (;;) {
            const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
            if (n < 0 && errno == EINTR)
                continue;
            data = buffer_.data();
            return n;
        }
    }

private:
    int fd_;
    std::vector<uint8_t> buffer_;
};

tar::TarEntry LoneFile(std::string name, int64_t mtime) {
    tar::TarEntry entry;
    entry.name = std::move(name);
    entry.sizeKnown = false;
    entry.mtime = mtime;
    return entry;
}

PassInput FileSource(FileInput& input, const std::string& path, tar::Compression compression) {
    return {std::ref(input), compression, LoneFile(tar::DecompressedName(path), input.mtime())};
}

PassInput MemorySource(const uint8_t* data, size_t size, tar::Compression compression,
                       size_t pieceSize) {
    size_t at = 0;
    const size_t piece = std::max<size_t>(pieceSize, 1);
    ReadPiece read = [=](const uint8_t*& out) mutable -> ssize_t {
        const size_t n = std::min(piece, size - at);
        out = data + at;
        at += n;
        return static_cast<ssize_t>(n);
    };
    return {std::move(read), compression, LoneFile("data", -1)};
}

} // namespace

FileTime TarListedTime(int64_t unixSeconds) {
    std::tm t{};
    const time_t when = static_cast<time_t>(unixSeconds);
    const bool known = unixSeconds >= 0 && localtime_r(&when, &t) != nullptr;
    // The DOS date range; the seconds are dropped as in every archive listing.
    if (!known || t.tm_year < 80) {
        t = std::tm{};
        t.tm_year = 80;
        t.tm_mday = 1;
        t.tm_isdst = -1;
    } else if (t.tm_year > 207) {
        t = std::tm{};
        t.tm_year = 207;
        t.tm_mon = 11;
        t.tm_mday = 31;
        t.tm_hour = 23;
        t.tm_min = 59;
        t.tm_isdst = -1;
    }
    t.tm_sec = 0;
    const time_t back = std::mktime(&t);
    return FileTimeFromUnix(back == static_cast<time_t>(-1) ? 0 : back, 0);
}

int ListTarArchive(const std::string& path, tar::Compression compression, ArchiveSink& sink) {
    FileInput input(path);
    if (!input.ok())
        return kTarInvalidArchive;
    Lister lister(sink);
    return lister.Verdict(RunPass(FileSource(input, path, compression), lister));
}

int ExtractTarArchive(const std::string& path, tar::Compression compression,
                      const ArchiveExtractOptions& options, ArchiveSink& sink, TarReport* report) {
    FileInput input(path);
    if (!input.ok()) {
        if (report)
            report->problems.push_back({kTarInvalidArchive, path});
        return kTarInvalidArchive;
    }
    return Extract(FileSource(input, path, compression), options, sink, report);
}

int ListTarMemory(const uint8_t* data, size_t size, tar::Compression compression,
                  ArchiveSink& sink, size_t pieceSize) {
    Lister lister(sink);
    return lister.Verdict(RunPass(MemorySource(data, size, compression, pieceSize), lister));
}

int ScanTarMemory(const uint8_t* data, size_t size, tar::Compression compression,
                  tar::TarEntryHandler& handler, size_t pieceSize) {
    return RunPass(MemorySource(data, size, compression, pieceSize), handler);
}

int ExtractTarMemory(const uint8_t* data, size_t size, tar::Compression compression,
                     const ArchiveExtractOptions& options, ArchiveSink& sink, TarReport* report,
                     size_t pieceSize) {
    return Extract(MemorySource(data, size, compression, pieceSize), options, sink, report);
}

} // namespace km
