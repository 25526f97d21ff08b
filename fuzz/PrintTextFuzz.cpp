// A file's bytes through the printing layout, and an `ls` listing through the
// mask filter. Valid UTF-8 decodes and encodes back to itself; pieces hold at
// most 254 characters and add up to the line; no printed line is wider than
// the page (a wide character never split); the filter only ever drops lines.
#include "fileops/printing/DirectoryListing.h"
#include "fileops/printing/PrintLayout.h"
#include "fileops/printing/PrintText.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

bool validUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        char32_t c;
        const size_t n = km::DecodeUtf8(s, i, c);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const km::PrintCharset cs : {km::PrintCharset::Utf8, km::PrintCharset::Cp437, km::PrintCharset::Cp850}) {
        const std::u32string text = km::DecodePrintText(bytes, cs);
        if (cs != km::PrintCharset::Utf8 && text.size() != bytes.size())
            std::abort();
        if (cs == km::PrintCharset::Utf8 && validUtf8(bytes) && km::ToUtf8(text) != bytes)
            std::abort();
        size_t characters = 0;
        for (const std::u32string& piece : km::SplitPrintLines(bytes, cs)) {
            if (piece.size() > 254 || piece.find(U'\n') != std::u32string::npos)
                std::abort();
            characters += piece.size();
        }
        if (characters > text.size())
            std::abort();
    }
    km::PrintSettings s;
    s.tabSize = size > 0 ? data[0] % 12 : 4; // 0 too: below one is taken as one
    s.lineNumbers = size > 1 && (data[1] & 1);
    s.cutLines = size > 1 && (data[1] & 2);
    s.layout = size > 1 ? (data[1] >> 2) % 3 : 0;
    const int columns = 8 + (size > 2 ? data[2] % 100 : 0);
    km::PrintLayout layout(s, columns, 1 + (size > 3 ? data[3] % 70 : 0), "header");
    for (const std::u32string& piece : km::SplitPrintLines(bytes, km::PrintCharset::Utf8))
        layout.AddSourceLine(piece);
    for (const km::PrintedPage& page : layout.TakePages(true)) {
        for (const std::string& line : page.lines) {
            if (km::TextColumns(km::DecodePrintText(line, km::PrintCharset::Utf8)) > columns)
                std::abort();
        }
    }
    const std::string filtered = km::FilterListing(bytes, "*.t?t");
    if (filtered.size() > bytes.size() + 1 + std::count(bytes.begin(), bytes.end(), '\n'))
        std::abort();
    return 0;
}
