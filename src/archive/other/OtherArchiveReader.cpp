#include "archive/other/OtherArchiveReader.h"

#include "archive/other/OtherArchive.h"
#include "archive/other/OtherEntry.h"
#include "archive/other/OtherExtractor.h"
#include "archive/other/OtherSource.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

namespace km {

namespace {

constexpr int kNotEnoughMemory = 4177;
constexpr int kInvalidArchive = 15002;

bool listPass(const OtherSource& source, ArchiveSink& sink, std::string& message,
              const OtherPasswordFn& askPassword) {
    PassphrasePrompt prompt(askPassword);
    OtherArchive archive(source, prompt);
    message.clear();
    if (!archive.Open()) {
        message = LoadString(kInvalidArchive);
        return false;
    }
    size_t rows = 0;
    for (;;) {
        const OtherStep step = archive.NextHeader();
        if (step == OtherStep::End)
            return rows > 0 || message.empty();
        if (step != OtherStep::Ok) {
            // The first problem is the one shown; rows read before it stay.
            if (message.empty())
                message = archive.HeaderProblem();
            if (step == OtherStep::Fatal)
                return rows > 0;
            continue;
        }
        const std::string name = ListedName(archive.Entry());
        if (name.empty()) {
            if (message.empty())
                message = archive.Label() + ": " + kNamelessEntry;
            continue;
        }
        sink.AddEntry(name, ListedTime(archive.Entry()), ListedSize(archive.Entry()));
        ++rows;
    }
}

bool extractPass(const OtherSource& source, const ArchiveExtractOptions& options, ArchiveSink& sink,
                 std::string& message, const OtherPasswordFn& askPassword) {
    PassphrasePrompt prompt(askPassword);
    OtherArchive archive(source, prompt);
    if (!archive.Open()) {
        message = LoadString(kInvalidArchive);
        return false;
    }
    OtherExtractor extractor(archive, prompt, options, sink);
    return extractor.Run(message);
}

// No exception leaves this library: the callers are plain C++ with result codes.
template <typename Pass> bool guarded(std::string& message, Pass pass) {
    try {
        return pass();
    } catch (const std::bad_alloc&) {
        message = LoadString(kNotEnoughMemory);
    } catch (const std::exception& e) {
        message = e.what();
    }
    return false;
}

// The first bytes a self-extractor's archive is looked for in.
constexpr size_t kStubSearch = 1024 * 1024;
constexpr size_t kFirstBytes = 64 * 1024;

// Where the archive starts in the file at `path`; 0 when it is not found further in (the
// pass then says what libarchive makes of the file).
// The first 7-Zip or RAR signature after the first byte that starts an archive.
std::optional<size_t> ArchiveBehindStub(const uint8_t* data, size_t size) {
    static const std::string_view kSignatures[] = {
        {"7z\xBC\xAF\x27\x1C", 6}, {"Rar!\x1A\x07\x00", 7}, {"Rar!\x1A\x07\x01\x00", 8}};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::optional<size_t> best;
    for (const std::string_view sig : kSignatures) {
        for (size_t at = bytes.find(sig, 1); at < std::min(kStubSearch, best.value_or(kStubSearch));
             at = bytes.find(sig, at + 1)) {
            if (OtherArchiveFormatName(data + at, size - at)) {
                best = at;
                break;
            }
        }
    }
    return best;
}

uint64_t ArchiveStartOf(const std::string& path) {
    const OtherSource whole(path);
    // Most archives start at the start: the first bytes tell, the megabyte is read only
    // when they do not.
    std::vector<uint8_t> head(kFirstBytes);
    head.resize(whole.ReadAt(0, head.data(), head.size()));
    if (OtherArchiveFormatName(head.data(), head.size()))
        return 0;
    if (head.size() == kFirstBytes) { // more of the file to search
        head.resize(kStubSearch + kFirstBytes);
        head.resize(kFirstBytes + whole.ReadAt(kFirstBytes, head.data() + kFirstBytes,
                                               head.size() - kFirstBytes));
    }
    return ArchiveBehindStub(head.data(), head.size()).value_or(0);
}

} // namespace

bool ListOtherArchive(const std::string& path, ArchiveSink& sink, std::string& message,
                      const OtherPasswordFn& askPassword) {
    return guarded(message, [&] {
        const OtherSource source(path, ArchiveStartOf(path));
        return listPass(source, sink, message, askPassword);
    });
}

bool ExtractOtherArchive(const std::string& path, const ArchiveExtractOptions& options,
                         ArchiveSink& sink, std::string& message,
                         const OtherPasswordFn& askPassword) {
    return guarded(message, [&] {
        const OtherSource source(path, ArchiveStartOf(path));
        return extractPass(source, options, sink, message, askPassword);
    });
}

bool ListOtherArchiveMemory(const uint8_t* data, size_t size, ArchiveSink& sink,
                            std::string& message) {
    return guarded(message, [&] {
        const OtherSource source(data, size);
        return listPass(source, sink, message, {});
    });
}

std::optional<std::string> OtherArchiveFormatName(const uint8_t* data, size_t size) {
    std::string ignored;
    std::optional<std::string> name;
    guarded(ignored, [&] {
        const OtherSource source(data, size);
        PassphrasePrompt prompt({});
        OtherArchive archive(source, prompt);
        if (!archive.Open())
            return false;
        archive.NextHeader(); // libarchive names the format once it tried a header
        name = archive.Label();
        return true;
    });
    return name;
}

std::optional<size_t> OtherArchiveOffset(const uint8_t* data, size_t size) {
    if (OtherArchiveFormatName(data, std::min(size, kFirstBytes)))
        return 0;
    return ArchiveBehindStub(data, size);
}

} // namespace km
