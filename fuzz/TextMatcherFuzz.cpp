// The search matcher against a plain search on arbitrary bytes: the first
// byte chooses the text length (1-16), case folding and the block size the
// rest is fed in; the answers must agree whatever the split.
#include "fileops/TextMatcher.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

unsigned char fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

bool plainSearch(std::string_view hay, std::string_view needle, bool caseInsensitive) {
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        size_t j = 0;
        for (; j < needle.size(); ++j) {
            auto a = static_cast<unsigned char>(hay[i + j]), b = static_cast<unsigned char>(needle[j]);
            if (caseInsensitive) {
                a = fold(a);
                b = fold(b);
            }
            if (a != b)
                break;
        }
        if (j == needle.size())
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const size_t length = 1 + (data[0] & 0x0F);
    const bool caseInsensitive = (data[0] & 0x10) != 0;
    const size_t piece = 1 + (data[0] >> 5) * 7; // 1 … 50 bytes per feed
    if (size < 1 + length)
        return 0;
    const std::string_view needle(reinterpret_cast<const char*>(data + 1), length);
    const std::string_view hay(reinterpret_cast<const char*>(data + 1 + length), size - 1 - length);
    km::TextMatcher m(needle, caseInsensitive);
    bool found = false;
    for (size_t at = 0; at < hay.size() && !found; at += piece) {
        const size_t n = std::min(piece, hay.size() - at);
        found = m.Feed(reinterpret_cast<const unsigned char*>(hay.data() + at), n);
    }
    if (found != plainSearch(hay, needle, caseInsensitive))
        std::abort();
    return 0;
}
