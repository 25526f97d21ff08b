// Runs the TAR and GZIP readers over arbitrary bytes, all in memory: the listing in whole and
// in uneven pieces, and a pass that receives every file's data and throws it away. Each file
// must deliver exactly its size, its output name must stay below the target, and neither the
// cutting of the input nor receiving the data may change the verdict.
#include "archive/tar_gzip/TarOutputName.h"
#include "archive/tar_gzip/TarParser.h"
#include "archive/tar_gzip/TarReader.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <cstdlib>
#include <string>

namespace {

struct QuietSink : km::ArchiveSink {
    void AddEntry(const std::string&, km::FileTime, uint64_t) override {}
    bool IsWanted(const std::string&) override { return true; }
    bool ConfirmOverwrite(const std::string&, uint64_t, km::FileTime) override { return true; }
    void ShowEntry(const std::string&) override {}
    bool Progress(uint64_t) override { return false; }
};

void CheckOutputName(const std::string& stored, bool keepPath) {
    for (const std::string& part : km::tar::OutputComponents(stored, keepPath)) {
        if (part.empty() || part == "." || part == ".." ||
            part.find_first_of("/\\") != std::string::npos)
            std::abort();
    }
}

class DiscardingHandler : public km::tar::TarEntryHandler {
public:
    km::tar::TarAction Begin(const km::tar::TarEntry& entry) override {
        if (receiving_)
            std::abort(); // a new entry before the last one's data ended
        CheckOutputName(entry.name, true);
        CheckOutputName(entry.name, false);
        if (!entry.IsFile())
            return km::tar::TarAction::Skip;
        receiving_ = true;
        sizeKnown_ = entry.sizeKnown;
        expected_ = entry.size;
        received_ = 0;
        return km::tar::TarAction::Receive;
    }
    bool Data(const uint8_t*, size_t size) override {
        if (!receiving_)
            std::abort();
        received_ += size;
        return true;
    }
    // Counted, not filled: a hostile map may claim holes of exabytes.
    bool Hole(uint64_t length) override {
        if (!receiving_ || __builtin_add_overflow(received_, length, &received_))
            std::abort();
        return true;
    }
    bool End() override {
        if (!receiving_ || (sizeKnown_ && received_ != expected_))
            std::abort();
        receiving_ = false;
        return true;
    }

private:
    bool receiving_ = false;
    bool sizeKnown_ = true;
    uint64_t expected_ = 0;
    uint64_t received_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietSink sink;
    using km::tar::Compression;
    // Plain, and whatever compression the bytes start with (gzip when none).
    Compression packed = km::tar::CompressionOf(
        std::string_view(reinterpret_cast<const char*>(data), std::min<size_t>(size, 8)));
    if (packed == Compression::None)
        packed = Compression::Gzip;
    for (Compression c : {Compression::None, packed}) {
        int whole = km::ListTarMemory(data, size, c, sink);
        // How the input is cut must not change the verdict, nor must receiving the data. A
        // compressed pass costs its whole decoding, and the stream target cuts streams already.
        if (c == Compression::None && km::ListTarMemory(data, size, c, sink, 1 + size % 613) != whole)
            std::abort();
        if (whole == km::kTarDamaged) // the listing keeps its rows; the verdict is the same
            whole = km::kTarInvalidArchive;
        DiscardingHandler handler;
        if (km::ScanTarMemory(data, size, c, handler, 1 + size % 997) != whole)
            std::abort();
    }
    return 0;
}
