#pragma once
// A canonical Huffman code read most significant bit first, decoded through one lookup of
// the next 16 bits. Incomplete codes are allowed (their holes decode as invalid).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace km::cab {

class HuffmanTable {
public:
    static constexpr uint16_t kInvalid = 0xFFFF;
    static constexpr int kMaxBits = 16;

    // false when the lengths are over-subscribed or longer than 16 bits.
    bool Build(const uint8_t* lengths, unsigned count);

    // The symbol for the next 16 bits (most significant first) and its code length.
    // Requires: next16 < 2^16.
    uint16_t Symbol(uint32_t next16) const {
        return symbols_.empty() ? kInvalid : symbols_[next16];
    }
    uint8_t Length(uint16_t symbol) const { return lengths_[symbol]; }
    bool empty() const { return empty_; }

private:
    // Marks the entries from `from` on as holes.
    void MarkInvalid(size_t from);

    // Sized by the first Build: a decoder sets up several tables that many folders never use.
    std::vector<uint16_t> symbols_;
    std::vector<uint8_t> lengths_;
    bool empty_ = true;
};

} // namespace km::cab
