#include "archive/zip/ZipErrorTexts.h"

#include "resources/StringTable.h"

namespace km::zip {

int ZipHeadingId(int engine, bool warning) {
    return (engine == kZipEngineDigit ? 15000 : 15512) + (warning ? 256 : 0);
}

std::string_view ZipResourceText(int id) {
    return LoadString(id);
}

std::string_view ZipCodeText(int engine, bool warning, int code) {
    // Each kind owns the 256 ids after its heading; larger codes have no text.
    if (code <= 0 || code >= 256)
        return {};
    return ZipResourceText(ZipHeadingId(engine, warning) + code);
}

std::string ZipMessageBoxText(int engine, bool warning, std::string_view name, int code) {
    if (code == kAbortCode)
        return {};
    const int heading = ZipHeadingId(engine, warning);
    std::string text(ZipResourceText(heading));
    if (!name.empty()) {
        text += ' ';
        text += name;
    }
    if (code != 0) {
        text += ": ";
        text += ZipCodeText(engine, warning, code);
    }
    return text;
}

} // namespace km::zip
