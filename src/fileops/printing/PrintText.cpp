#include "fileops/printing/PrintText.h"

#include "platform/DosCodePage.h"
#include "platform/Utf8.h"

#include <algorithm>
#include <iterator>

namespace km {
namespace {

struct Range {
    char32_t first, last;
};

// Wide and fullwidth characters (Unicode's East Asian Width W and F).
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x2E80, 0x303E},
    {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},
    {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};

// Combining marks, printed over the character before them.
constexpr Range kCombining[] = {{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A},
                                {0x064B, 0x065F}, {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E},
                                {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF},
                                {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}};

template <size_t N>
bool inRanges(const Range (&ranges)[N], char32_t c) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

} // namespace

PrintCharset OemCharsetForLocale(std::string_view localeName) {
    static constexpr std::string_view kWestern[] = {"ca", "da", "de", "es", "eu", "fi", "fo", "fr", "ga", "gl",
                                                    "is", "it", "nb", "nl", "nn", "no", "pt", "sv"};
    const std::string_view language = localeName.substr(0, localeName.find_first_of("_.@"));
    return std::find(std::begin(kWestern), std::end(kWestern), language) != std::end(kWestern)
               ? PrintCharset::Cp850
               : PrintCharset::Cp437;
}

std::u32string DecodePrintText(std::string_view bytes, PrintCharset charset) {
    std::u32string out;
    out.reserve(bytes.size());
    if (charset != PrintCharset::Utf8) {
        // Control codes stay controls: tabs and form feeds act on the layout.
        const DosCodePage page = charset == PrintCharset::Cp437 ? DosCodePage::Cp437 : DosCodePage::Cp850;
        for (const char ch : bytes)
            out += DosCodePageCharacter(page, static_cast<unsigned char>(ch));
        return out;
    }
    for (size_t at = 0; at < bytes.size();) {
        char32_t cp = 0;
        const size_t n = DecodeUtf8(bytes, at, cp);
        if (n == 0) {
            out += char32_t(static_cast<unsigned char>(bytes[at]));
            ++at;
        } else {
            out += cp;
            at += n;
        }
    }
    return out;
}

int CharacterColumns(char32_t c) {
    if (c < 0x300)
        return 1;
    if (inRanges(kCombining, c))
        return 0;
    return inRanges(kWide, c) ? 2 : 1;
}

int TextColumns(std::u32string_view text) {
    int n = 0;
    for (char32_t c : text)
        n += CharacterColumns(c);
    return n;
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char32_t c : text)
        AppendUtf8(out, c);
    return out;
}

} // namespace km
