#include "archive/cab/QuantumDecoder.h"

#include <algorithm>

namespace km::cab {

namespace {

const uint32_t kPositionBase[42] = {
    0,     1,      2,      3,      4,      6,      8,      12,      16,     24,    32,
    48,    64,     96,     128,    192,    256,    384,    512,     768,    1024,  1536,
    2048,  3072,   4096,   6144,   8192,   12288,  16384,  24576,   32768,  49152, 65536,
    98304, 131072, 196608, 262144, 393216, 524288, 786432, 1048576, 1572864};
const uint8_t kPositionExtra[42] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,
                                    6,  6,  7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12,
                                    13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19};
const uint8_t kLengthBase[27] = {0,  1,  2,  3,  4,  5,  6,  8,   10,  12,  14,  18,  22, 26,
                                 30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
const uint8_t kLengthExtra[27] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                  3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

constexpr uint16_t kRescaleLimit = 3800;

} // namespace

void QuantumDecoder::Model::Init(unsigned first, unsigned count) {
    shiftsLeft = 4;
    entries = count;
    symbols.resize(count + 1);
    for (unsigned i = 0; i <= count; ++i) {
        symbols[i].symbol = static_cast<uint16_t>(first + i);
        symbols[i].cumulative = static_cast<uint16_t>(count - i);
    }
}

void QuantumDecoder::Model::Rescale() {
    if (--shiftsLeft > 0) {
        for (int i = static_cast<int>(entries) - 1; i >= 0; --i) {
            symbols[i].cumulative >>= 1;
            if (symbols[i].cumulative <= symbols[i + 1].cumulative)
                symbols[i].cumulative = static_cast<uint16_t>(symbols[i + 1].cumulative + 1);
        }
        return;
    }
    shiftsLeft = 50;
    // To halved frequencies, reorder by falling frequency (a stable-as-selection sort, as
    // the encoder does it), and back to cumulative counts.
    for (unsigned i = 0; i < entries; ++i) {
        symbols[i].cumulative =
            static_cast<uint16_t>((symbols[i].cumulative - symbols[i + 1].cumulative + 1) >> 1);
    }
    for (unsigned i = 0; i + 1 < entries; ++i) {
        for (unsigned j = i + 1; j < entries; ++j) {
            if (symbols[i].cumulative < symbols[j].cumulative)
                std::swap(symbols[i], symbols[j]);
        }
    }
    for (int i = static_cast<int>(entries) - 1; i >= 0; --i)
        symbols[i].cumulative =
            static_cast<uint16_t>(symbols[i].cumulative + symbols[i + 1].cumulative);
}

QuantumDecoder::QuantumDecoder(int windowBits)
    : windowSize_(1u << windowBits), window_(new uint8_t[windowSize_]) {
    const unsigned slots = static_cast<unsigned>(windowBits) * 2;
    for (unsigned i = 0; i < 4; ++i)
        literals_[i].Init(i * 64, 64);
    matchShort_.Init(0, std::min(slots, 24u));
    matchMedium_.Init(0, std::min(slots, 36u));
    matchLong_.Init(0, slots);
    matchLength_.Init(0, 27);
    selector_.Init(0, 7);
}

int QuantumDecoder::ReadBit() {
    return static_cast<int>(ReadBits(1));
}

// Bits come most significant first from the bytes in order.
uint32_t QuantumDecoder::ReadBits(int n) {
    if (n == 0)
        return 0;
    while (bitCount_ < n) {
        uint32_t byte = 0;
        if (inPos_ < inSize_)
            byte = in_[inPos_];
        else if (inPos_ >= inSize_ + 4)
            overrun_ = true;
        ++inPos_;
        bitBuffer_ |= byte << (24 - bitCount_);
        bitCount_ += 8;
    }
    const uint32_t v = bitBuffer_ >> (32 - n);
    bitBuffer_ <<= n;
    bitCount_ -= n;
    return v;
}

bool QuantumDecoder::DecodeSymbol(Model& model, unsigned& symbol) {
    std::vector<Symbol>& s = model.symbols;
    const uint32_t total = s[0].cumulative;
    uint32_t range = ((high_ - low_) & 0xFFFF) + 1;
    const uint32_t target = ((((code_ - low_) & 0xFFFF) + 1) * total - 1) / range & 0xFFFF;
    unsigned i = 1;
    for (; i < model.entries; ++i) {
        if (s[i].cumulative <= target)
            break;
    }
    symbol = s[i - 1].symbol;
    high_ = (low_ + (s[i - 1].cumulative * range) / total - 1) & 0xFFFF;
    low_ = (low_ + (s[i].cumulative * range) / total) & 0xFFFF;
    for (unsigned k = 0; k < i; ++k)
        s[k].cumulative = static_cast<uint16_t>(s[k].cumulative + 8);
    if (s[0].cumulative > kRescaleLimit)
        model.Rescale();

    for (int guard = 0;; ++guard) {
        if (guard > 64)
            return false;
        if ((low_ & 0x8000) != (high_ & 0x8000)) {
            if ((low_ & 0x4000) && !(high_ & 0x4000)) {
                // Underflow: the interval straddles the middle.
                code_ ^= 0x4000;
                low_ &= 0x3FFF;
                high_ |= 0x4000;
            } else {
                break;
            }
        }
        low_ = (low_ << 1) & 0xFFFF;
        high_ = ((high_ << 1) | 1) & 0xFFFF;
        code_ = ((code_ << 1) | static_cast<uint32_t>(ReadBit())) & 0xFFFF;
    }
    return !overrun_;
}

bool QuantumDecoder::DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    in_ = in;
    inSize_ = inSize;
    inPos_ = 0;
    bitBuffer_ = 0;
    bitCount_ = 0;
    overrun_ = false;
    high_ = 0xFFFF;
    low_ = 0;
    code_ = ReadBits(16);

    const uint32_t mask = windowSize_ - 1;
    size_t produced = 0;
    while (produced < outSize) {
        unsigned selector;
        if (!DecodeSymbol(selector_, selector))
            return false;
        if (selector < 4) {
            unsigned literal;
            if (!DecodeSymbol(literals_[selector], literal))
                return false;
            window_[windowPos_] = static_cast<uint8_t>(literal);
            windowPos_ = (windowPos_ + 1) & mask;
            out[produced++] = static_cast<uint8_t>(literal);
            ++totalOut_;
            continue;
        }
        uint32_t length;
        unsigned slot;
        if (selector == 4) {
            length = 3;
            if (!DecodeSymbol(matchShort_, slot))
                return false;
        } else if (selector == 5) {
            length = 4;
            if (!DecodeSymbol(matchMedium_, slot))
                return false;
        } else {
            unsigned lengthSlot;
            if (!DecodeSymbol(matchLength_, lengthSlot))
                return false;
            length = kLengthBase[lengthSlot] + ReadBits(kLengthExtra[lengthSlot]) + 5;
            if (!DecodeSymbol(matchLong_, slot))
                return false;
        }
        const uint32_t offset = kPositionBase[slot] + ReadBits(kPositionExtra[slot]) + 1;
        // A match reaches neither before the stream nor past the frame.
        if (offset > windowSize_ || offset > totalOut_ || length > outSize - produced)
            return false;
        uint32_t from = (windowPos_ - offset) & mask;
        for (uint32_t i = 0; i < length; ++i) {
            const uint8_t b = window_[from];
            from = (from + 1) & mask;
            window_[windowPos_] = b;
            windowPos_ = (windowPos_ + 1) & mask;
            out[produced++] = b;
        }
        totalOut_ += length;
    }
    return !overrun_;
}

} // namespace km::cab
