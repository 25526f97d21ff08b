// Runs the libarchive bridge over arbitrary bytes in memory: format naming, the listing pass
// and the RAR 5 header walk. A failed listing always says why, in one line, and a name is
// only given for bytes the listing also opens.
#include "archive/other/OtherArchiveReader.h"
#include "archive/other/Rar5Encryption.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct QuietSink : km::ArchiveSink {
    void AddEntry(const std::string& name, km::FileTime, uint64_t) override {
        if (name.empty())
            std::abort();
    }
    bool IsWanted(const std::string&) override { return true; }
    bool ConfirmOverwrite(const std::string&, uint64_t, km::FileTime) override { return true; }
    void ShowEntry(const std::string&) override {}
    bool Progress(uint64_t) override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto name = km::OtherArchiveFormatName(data, size);
    if (name && name->empty())
        std::abort();
    // An archive named at the start is found at offset 0; one found further in lies within.
    const auto offset = km::OtherArchiveOffset(data, size);
    if ((name && size <= 64 * 1024 && offset != size_t{0}) || (offset && *offset >= std::max<size_t>(size, 1)))
        std::abort();

    QuietSink sink;
    std::string message;
    const bool listed = km::ListOtherArchiveMemory(data, size, sink, message);
    if ((!listed && message.empty()) || message.find('\n') != std::string::npos)
        std::abort();
    if (name && message == "Invalid archive")
        std::abort(); // named, yet not opened

    km::ScanRar5Encryption([&](uint64_t offset, uint8_t* out, size_t n) -> size_t {
        if (offset >= size)
            return 0;
        const size_t got = std::min<size_t>(n, size - static_cast<size_t>(offset));
        std::memcpy(out, data + offset, got);
        return got;
    });
    return 0;
}
