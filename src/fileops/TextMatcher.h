#pragma once
// A bit-parallel (Shift-And) matcher for a search text of 1–16 bytes: one
// table lookup, one shift, one OR and one AND per byte whatever the length.
// Bytes are compared as they are; "case insensitive" folds ASCII letters only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace km {

class TextMatcher {
public:
    static constexpr size_t kMaxLength = 16;

    // Uses the first kMaxLength bytes of `text`; an empty text matches nothing.
    TextMatcher(std::string_view text, bool caseInsensitive);

    size_t length() const { return length_; }

    // Feeds `size` bytes; true once the text has been seen, counting bytes
    // fed earlier, so a file can be scanned block by block.
    bool Feed(const unsigned char* data, size_t size);
    void Reset() { state_ = 0; }

private:
    // The first place from `p` where a match can start, or where stepping
    // must take over; never past `end`.
    const unsigned char* skip(const unsigned char* p, const unsigned char* end) const;

    std::array<uint16_t, 256> table_{};
    size_t length_ = 0;
    uint16_t found_ = 0; // the state bit of the text's last byte
    uint16_t state_ = 0;
    unsigned char first_ = 0, last_ = 0;        // the text's first and last byte
    unsigned char firstFold_ = 0, lastFold_ = 0; // 0x20 where case is folded
};

} // namespace km
