// The self-extractor reads its configuration from the end of its own file,
// which anyone may have edited: whatever decodes must stay inside the input and
// encode back to a block that decodes the same.
#include "archive/zip/ZipSfxConfig.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view tail(reinterpret_cast<const char*>(data), size);
    km::zip::SfxConfig config;
    size_t bytes = 0;
    if (!km::zip::DecodeSfxConfig(tail, &config, &bytes))
        return 0;
    if (bytes > size)
        std::abort();
    km::zip::SfxConfig again;
    if (!km::zip::DecodeSfxConfig(km::zip::EncodeSfxConfig(config), &again) ||
        again.extractTo != config.extractTo || again.program != config.program ||
        again.restoreStructure != config.restoreStructure ||
        again.askPassword != config.askPassword)
        std::abort();
    return 0;
}
