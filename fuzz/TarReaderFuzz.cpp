// Runs the TAR and GZIP readers over arbitrary bytes: the listing in whole and in uneven
// pieces, and an extraction with stored paths into a scratch directory that is emptied
// after every input.
#include "archive/tar_gzip/TarReader.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

struct QuietSink : km::ArchiveSink {
    void AddEntry(const std::string&, km::FileTime, uint64_t) override {}
    bool IsWanted(const std::string&) override { return true; }
    bool ConfirmOverwrite(const std::string&, uint64_t, km::FileTime) override { return true; }
    void ShowEntry(const std::string&) override {}
    bool Progress(uint64_t) override { return false; }
};

const std::string& scratch() {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        const std::string base =
            tmp && *tmp ? tmp : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        std::string d = base + "/km-fuzz-tar-XXXXXX";
        if (!::mkdtemp(d.data()))
            std::abort();
        static std::string cleanup = d;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(cleanup, ec);
        });
        return d;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuietSink sink;
    for (bool gzip : {false, true}) {
        km::ListTarMemory(data, size, gzip, sink);
        km::ListTarMemory(data, size, gzip, sink, 1 + size % 613);
        const std::string target = scratch() + "/out";
        std::error_code ec;
        std::filesystem::create_directory(target, ec);
        km::ArchiveExtractOptions options;
        options.targetDir = target;
        options.restorePaths = (size & 1) != 0;
        km::ExtractTarMemory(data, size, gzip, options, sink, nullptr, 1 + size % 997);
        std::filesystem::remove_all(target, ec);
    }
    return 0;
}
