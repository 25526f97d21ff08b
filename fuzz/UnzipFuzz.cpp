// Runs the UnzipEngine over arbitrary bytes, all in memory: as memory input (one entry behind
// its 14-byte header, which reaches every decoder directly) in View, Test and memory-output
// modes, and as a whole archive image (end record search, central directory, local headers)
// listed, tested and extracted into a buffer.
#include "archive/zip/UnzipEngine.h"

#include <cstdint>
#include <cstdlib>

namespace {

uint16_t quiet(uint16_t, uint16_t, const char*) {
    return 0;
}

enum class Mode { View, Test, Memory };

void run(Mode mode, const uint8_t* data, size_t size, bool image) {
    static uint8_t out[64 * 1024];
    km::UnzipEngine_Initialise();
    km::UnzipEngine_InstallCallback(&quiet);
    if (image)
        km::UnzipEngine_ArchiveImage(data, size);
    else
        km::UnzipEngine_FromMemory(data, size);
    km::UnzipEngine_View(mode == Mode::View);
    km::UnzipEngine_Test(mode == Mode::Test);
    if (mode == Mode::Memory)
        km::UnzipEngine_ToMemory(out, sizeof out);
    km::UnzipEngine_Decrypt((size & 1) ? "password" : "");
    km::UnzipEngine_RestoreStructure(1);
    const int64_t result = km::UnzipEngine_Run();
    if (mode == Mode::Memory && result > static_cast<int64_t>(sizeof out))
        std::abort(); // memory output never reports more than its buffer holds
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (const bool image : {false, true}) {
        run(Mode::View, data, size, image);
        run(Mode::Test, data, size, image);
        run(Mode::Memory, data, size, image);
    }
    return 0;
}
