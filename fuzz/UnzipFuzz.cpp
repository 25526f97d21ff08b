// Runs the UnzipEngine in View and Test modes over arbitrary bytes: as memory input (one
// entry behind its 14-byte header, which reaches every decoder directly) and as an archive
// file (end record search, central directory, local headers).
#include "archive/zip/UnzipEngine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

uint16_t quiet(uint16_t, uint16_t, const char*) {
    return 0;
}

const std::string& archivePath() {
    static const std::string path = [] {
        // Memory-backed when there is /dev/shm: the file is rewritten for every input.
        const char* tmp = std::getenv("TMPDIR");
        const std::string base =
            tmp && *tmp ? tmp : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        std::string dir = base + "/km-fuzz-unzip-XXXXXX";
        if (!::mkdtemp(dir.data()))
            std::abort();
        static std::string cleanup = dir;
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(cleanup, ec);
        });
        return dir + "/input.zip";
    }();
    return path;
}

void run(bool view, const uint8_t* data, size_t size, bool memory) {
    km::UnzipEngine_Initialise();
    km::UnzipEngine_InstallCallback(&quiet);
    if (memory)
        km::UnzipEngine_FromMemory(data, size);
    else
        km::UnzipEngine_ArchiveName(archivePath().c_str());
    km::UnzipEngine_View(view);
    km::UnzipEngine_Test(!view);
    km::UnzipEngine_Decrypt((size & 1) ? "password" : "");
    km::UnzipEngine_RestoreStructure(1);
    km::UnzipEngine_Run();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    run(true, data, size, true);
    run(false, data, size, true);
    uint8_t out[256];
    km::UnzipEngine_InMemory(data, size, out, sizeof out);

    FILE* f = std::fopen(archivePath().c_str(), "wb");
    if (!f)
        return 0;
    if (size != 0)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    run(true, data, size, false);
    run(false, data, size, false);
    return 0;
}
