// Parses hostile settings files; whatever parses must write out as text that
// parses back to the same document.
#include "settings/RegFileWriter.h"
#include "settings/SettingsStore.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    km::SettingsStore::Parsed doc;
    std::string error;
    if (!km::SettingsStore::parse(text, doc, error)) {
        if (error.empty() || !doc.keys().empty())
            std::abort();
        return 0;
    }
    std::string written = km::WriteRegFile(doc);
    km::SettingsStore::Parsed back;
    if (!km::SettingsStore::parse(written, back, error) || km::WriteRegFile(back) != written)
        std::abort();
    return 0;
}
