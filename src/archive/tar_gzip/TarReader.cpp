#include "archive/tar_gzip/TarReader.h"

#include "archive/tar_gzip/GzipStream.h"
#include "archive/tar_gzip/TarExtractor.h"
#include "archive/tar_gzip/TarParser.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>

namespace km {

namespace {

using tar::GzipStatus;
using tar::TarStatus;

constexpr size_t kReadSize = 256 * 1024;

// Hands decompressed bytes to the TAR parser. After the end marker the member is still
// decoded to its trailer, so damage there is found; a stop or a bad header ends it at once.
class ParserFeed : public tar::ByteConsumer {
public:
    explicit ParserFeed(tar::TarParser& parser) : parser_(parser) {}
    bool Consume(const uint8_t* data, size_t size) override {
        const TarStatus s = parser_.Feed(data, size);
        return s == TarStatus::More || s == TarStatus::Ended;
    }

private:
    tar::TarParser& parser_;
};

// Next piece of input: its size, 0 at the end, -1 on a read error.
using ReadPiece = std::function<ssize_t(const uint8_t*& data)>;

int RunPass(const ReadPiece& read, bool gzip, tar::TarEntryHandler& handler) {
    tar::TarParser parser(handler);
    tar::GzipStream inflater;
    ParserFeed feed(parser);
    GzipStatus gz = GzipStatus::More;
    for (;;) {
        const uint8_t* data = nullptr;
        const ssize_t n = read(data);
        if (n < 0)
            return kTarInvalidArchive;
        if (n == 0)
            break;
        const size_t size = static_cast<size_t>(n);
        if (gzip) {
            gz = inflater.Feed(data, size, feed);
            if (gz != GzipStatus::More)
                break;
        } else if (parser.Feed(data, size) != TarStatus::More) {
            break;
        }
    }
    if (gzip && gz == GzipStatus::More)
        gz = inflater.Finish();
    if (gz == GzipStatus::NoMemory)
        return kTarNotEnoughMemory;
    if (gz == GzipStatus::Invalid && parser.status() == TarStatus::More)
        return kTarInvalidArchive;
    switch (parser.Finish()) {
    case TarStatus::Ended:
        return gz == GzipStatus::Invalid ? kTarInvalidArchive : kTarOk;
    case TarStatus::Stopped:
        return kTarOk;
    default:
        return kTarInvalidArchive;
    }
}

class Lister : public tar::TarEntryHandler {
public:
    explicit Lister(ArchiveSink& sink) : sink_(sink) {}
    tar::TarAction Begin(const tar::TarEntry& entry) override {
        sink_.AddEntry(entry.name, TarListedTime(entry.mtime), entry.size);
        return tar::TarAction::Skip;
    }
    bool Data(const uint8_t*, size_t) override { return true; }
    bool End() override { return true; }

private:
    ArchiveSink& sink_;
};

int Extract(const ReadPiece& read, bool gzip, const ArchiveExtractOptions& options,
            ArchiveSink& sink, TarReport* report) {
    TarReport local;
    TarReport& out = report ? *report : local;
    const size_t before = out.problems.size();
    tar::TarExtractor extractor(options, sink, out);
    if (!extractor.OpenTarget())
        return kTarCannotOpenOutput;
    const int rc = RunPass(read, gzip, extractor);
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

ReadPiece MemoryInput(const uint8_t* data, size_t size, size_t pieceSize) {
    size_t at = 0;
    const size_t piece = std::max<size_t>(pieceSize, 1);
    return [=](const uint8_t*& out) mutable -> ssize_t {
        const size_t n = std::min(piece, size - at);
        out = data + at;
        at += n;
        return static_cast<ssize_t>(n);
    };
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

int ListTarArchive(const std::string& path, bool gzip, ArchiveSink& sink) {
    FileInput input(path);
    if (!input.ok())
        return kTarInvalidArchive;
    Lister lister(sink);
    return RunPass(std::ref(input), gzip, lister);
}

int ExtractTarArchive(const std::string& path, bool gzip, const ArchiveExtractOptions& options,
                      ArchiveSink& sink, TarReport* report) {
    FileInput input(path);
    if (!input.ok()) {
        if (report)
            report->problems.push_back({kTarInvalidArchive, path});
        return kTarInvalidArchive;
    }
    return Extract(std::ref(input), gzip, options, sink, report);
}

int ListTarMemory(const uint8_t* data, size_t size, bool gzip, ArchiveSink& sink,
                  size_t pieceSize) {
    Lister lister(sink);
    return RunPass(MemoryInput(data, size, pieceSize), gzip, lister);
}

int ScanTarMemory(const uint8_t* data, size_t size, bool gzip, tar::TarEntryHandler& handler,
                  size_t pieceSize) {
    return RunPass(MemoryInput(data, size, pieceSize), gzip, handler);
}

int ExtractTarMemory(const uint8_t* data, size_t size, bool gzip,
                     const ArchiveExtractOptions& options, ArchiveSink& sink, TarReport* report,
                     size_t pieceSize) {
    return Extract(MemoryInput(data, size, pieceSize), gzip, options, sink, report);
}

} // namespace km
