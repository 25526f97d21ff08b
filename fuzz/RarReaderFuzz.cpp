// Runs the RAR listing and a full decode of every file (both decompressors, the ciphers and
// the CRC check) over arbitrary bytes held in memory, plus the name reduction.
#include "archive/rar/RarFormat.h"
#include "archive/rar/RarReader.h"

#include <cstdint>
#include <string>

namespace {

class NullSink : public km::ArchiveSink {
public:
    void AddEntry(const std::string& name, km::FileTime, uint64_t) override {
        (void)km::rar::RarSafeRelativeName(name);
    }
    bool IsWanted(const std::string&) override { return true; }
    bool ConfirmOverwrite(const std::string&, uint64_t, km::FileTime) override { return true; }
    void ShowEntry(const std::string&) override {}
    bool Progress(uint64_t) override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    km::rar::MemorySource source(data, size);
    NullSink sink;
    km::rar::ListRarSource(source, sink);
    std::string message;
    km::rar::TestRarSource(source, "password", message);
    return 0;
}
