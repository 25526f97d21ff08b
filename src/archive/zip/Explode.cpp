#include "archive/zip/Explode.h"

#include <algorithm>
#include <array>
#include <vector>

namespace km::zip {

namespace {

constexpr unsigned kMaxBits = 16;

// Decoding by code length: the codes of one length are consecutive, so a code read bit by
// bit (most significant first) is found from the first code and count of its length.
class ShannonFanoTree {
public:
    // Reads the compressed description of `symbols` bit lengths and assigns the codes.
    DecodeStatus Read(LsbBitReader& bits, unsigned symbols);
    // False when the input ends or no code matches.
    bool Decode(LsbBitReader& bits, unsigned* symbol, bool* truncated) const;

private:
    std::array<uint32_t, kMaxBits + 1> first_{};
    std::array<uint32_t, kMaxBits + 1> count_{};
    std::array<uint32_t, kMaxBits + 1> offset_{};
    std::vector<uint16_t> byCode_;
};

DecodeStatus ShannonFanoTree::Read(LsbBitReader& bits, unsigned symbols) {
    uint32_t bytes;
    if (!bits.Bits(8, &bytes))
        return DecodeStatus::Truncated;
    std::vector<uint8_t> lengths;
    lengths.reserve(symbols);
    for (uint32_t i = 0; i <= bytes; ++i) {
        uint32_t b;
        if (!bits.Bits(8, &b))
            return DecodeStatus::Truncated;
        const unsigned len = (b & 0x0f) + 1;
        const unsigned n = (b >> 4) + 1;
        if (lengths.size() + n > symbols)
            return DecodeStatus::Corrupt;
        lengths.insert(lengths.end(), n, static_cast<uint8_t>(len));
    }
    if (lengths.size() != symbols)
        return DecodeStatus::Corrupt;

    // Sort by length, keeping symbol order within a length; codes are handed out from the
    // longest length downwards, each length adding 1 << (16 - length).
    std::vector<uint16_t> order(symbols);
    for (unsigned i = 0; i < symbols; ++i)
        order[i] = static_cast<uint16_t>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint16_t a, uint16_t b) { return lengths[a] < lengths[b]; });
    byCode_.assign(symbols, 0);
    count_.fill(0);
    first_.fill(0);
    uint32_t code = 0;
    uint32_t increment = 0;
    unsigned last = 0;
    size_t filled = 0;
    for (size_t k = symbols; k-- > 0;) {
        const unsigned len = lengths[order[k]];
        code += increment;
        if (len != last) {
            last = len;
            increment = 1u << (kMaxBits - len);
            offset_[len] = static_cast<uint32_t>(filled);
            first_[len] = code >> (kMaxBits - len);
        }
        if (code > 0xffff)
            return DecodeStatus::Corrupt;
        ++count_[len];
        byCode_[filled++] = order[k];
    }
    return DecodeStatus::Ok;
}

bool ShannonFanoTree::Decode(LsbBitReader& bits, unsigned* symbol, bool* truncated) const {
    uint32_t code = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        uint32_t bit;
        if (!bits.Bits(1, &bit)) {
            *truncated = true;
            return false;
        }
        code = code << 1 | bit;
        if (count_[len] != 0 && code >= first_[len] && code - first_[len] < count_[len]) {
            *symbol = byCode_[offset_[len] + code - first_[len]];
            return true;
        }
    }
    return false;
}

// A ring of 64 KiB flushed in aligned 32 KiB halves keeps at least 32 KiB of history.
class Window {
public:
    explicit Window(ZipByteSink& out) : out_(out), ring_(kSize, 0) {}
    bool Put(uint8_t b) {
        ring_[pos_++ & kMask] = b;
        if (pos_ - flushed_ == kHalf)
            return flush();
        return true;
    }
    uint8_t Back(uint32_t distance) const {
        return distance > pos_ ? 0 : ring_[(pos_ - distance) & kMask];
    }
    bool flush() {
        const size_t n = static_cast<size_t>(pos_ - flushed_);
        if (n == 0)
            return true;
        const bool ok = out_.Write(ring_.data() + (flushed_ & kMask), n);
        flushed_ = pos_;
        return ok;
    }
    uint64_t produced() const { return pos_; }

private:
    static constexpr size_t kSize = 64 * 1024;
    static constexpr size_t kHalf = kSize / 2;
    static constexpr uint64_t kMask = kSize - 1;
    ZipByteSink& out_;
    std::vector<uint8_t> ring_;
    uint64_t pos_ = 0;
    uint64_t flushed_ = 0;
};

} // namespace

DecodeStatus Explode(ZipByteSource& in, ZipByteSink& out, uint64_t size, bool eightKWindow,
                     bool literalTree) {
    LsbBitReader bits(in);
    ShannonFanoTree literals;
    ShannonFanoTree lengths;
    ShannonFanoTree distances;
    DecodeStatus st;
    if (literalTree && (st = literals.Read(bits, 256)) != DecodeStatus::Ok)
        return st;
    if ((st = lengths.Read(bits, 64)) != DecodeStatus::Ok)
        return st;
    if ((st = distances.Read(bits, 64)) != DecodeStatus::Ok)
        return st;
    const unsigned lowBits = eightKWindow ? 7 : 6;
    const unsigned minMatch = literalTree ? 3 : 2;
    Window window(out);
    bool truncated = false;
    auto fail = [&] { return truncated ? DecodeStatus::Truncated : DecodeStatus::Corrupt; };
    while (window.produced() < size) {
        uint32_t flag;
        if (!bits.Bits(1, &flag))
            return DecodeStatus::Truncated;
        if (flag) {
            uint32_t literal;
            unsigned sym;
            if (literalTree) {
                if (!literals.Decode(bits, &sym, &truncated))
                    return fail();
                literal = sym;
            } else if (!bits.Bits(8, &literal)) {
                return DecodeStatus::Truncated;
            }
            if (!window.Put(static_cast<uint8_t>(literal)))
                return DecodeStatus::Stopped;
            continue;
        }
        uint32_t low;
        unsigned high;
        unsigned len;
        if (!bits.Bits(lowBits, &low))
            return DecodeStatus::Truncated;
        if (!distances.Decode(bits, &high, &truncated) || !lengths.Decode(bits, &len, &truncated))
            return fail();
        const uint32_t distance = (high << lowBits | low) + 1;
        if (len == 63) {
            uint32_t more;
            if (!bits.Bits(8, &more))
                return DecodeStatus::Truncated;
            len += more;
        }
        len += minMatch;
        for (unsigned k = 0; k < len && window.produced() < size; ++k) {
            if (!window.Put(window.Back(distance)))
                return DecodeStatus::Stopped;
        }
    }
    return window.flush() ? DecodeStatus::Ok : DecodeStatus::Stopped;
}

} // namespace km::zip
