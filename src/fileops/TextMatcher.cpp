#include "fileops/TextMatcher.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace km {
namespace {

unsigned char otherCase(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 32);
    return c;
}

} // namespace

TextMatcher::TextMatcher(std::string_view text, bool caseInsensitive)
    : length_(std::min(text.size(), kMaxLength)) {
    for (size_t j = 0; j < length_; ++j) {
        const auto c = static_cast<unsigned char>(text[j]);
        const auto bit = static_cast<uint16_t>(0x8000u >> j);
        table_[c] |= bit;
        if (caseInsensitive)
            table_[otherCase(c)] |= bit;
    }
    if (length_ > 0) {
        found_ = static_cast<uint16_t>(0x8000u >> (length_ - 1));
        first_ = static_cast<unsigned char>(text[0]);
        last_ = static_cast<unsigned char>(text[length_ - 1]);
        // The two cases of an ASCII letter differ only in bit 0x20.
        if (caseInsensitive && otherCase(first_) != first_)
            firstFold_ = 0x20;
        if (caseInsensitive && otherCase(last_) != last_)
            lastFold_ = 0x20;
    }
}

const unsigned char* TextMatcher::skip(const unsigned char* p, const unsigned char* end) const {
#if defined(__SSE2__)
    // A match starts where both its first and its last byte are in place;
    // looking at both, sixteen places at a time, leaves few places to step
    // through even in text where the first byte is common.
    const auto span = static_cast<ptrdiff_t>(length_ - 1);
    const __m128i first = _mm_set1_epi8(static_cast<char>(first_ | firstFold_));
    const __m128i firstFold = _mm_set1_epi8(static_cast<char>(firstFold_));
    const __m128i last = _mm_set1_epi8(static_cast<char>(last_ | lastFold_));
    const __m128i lastFold = _mm_set1_epi8(static_cast<char>(lastFold_));
    while (end - p >= 16 + span) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + span));
        const __m128i hits = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, firstFold), first),
                                           _mm_cmpeq_epi8(_mm_or_si128(b, lastFold), last));
        if (const int mask = _mm_movemask_epi8(hits))
            return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#else
    (void)end;
#endif
    // The last places of a block are stepped through: a match starting
    // there ends in the next block.
    return p;
}

bool TextMatcher::Feed(const unsigned char* data, size_t size) {
    if (length_ == 0)
        return false;
    const unsigned char* p = data;
    const unsigned char* const end = data + size;
    uint16_t d = state_;
    while (p < end) {
        // Nothing under way: jump to where a match can start (the result is
        // the same as stepping).
        if (d == 0 && (p = skip(p, end)) == end)
            break;
        d = static_cast<uint16_t>(((d >> 1) | 0x8000u) & table_[*p++]);
        if (d & found_) {
            state_ = d;
            return true;
        }
    }
    state_ = d;
    return false;
}

} // namespace km
