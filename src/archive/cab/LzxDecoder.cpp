#include "archive/cab/LzxDecoder.h"

#include "archive/cab/CabBytes.h"

#include <cstring>

namespace km::cab {

namespace {

constexpr int kVerbatim = 1;
constexpr int kAligned = 2;
constexpr int kUncompressed = 3;
constexpr int kMinMatch = 2;

struct PositionSlots {
    uint32_t base[51];
    uint8_t extra[51];
    PositionSlots() {
        uint32_t b = 0;
        for (int i = 0; i < 51; ++i) {
            extra[i] = static_cast<uint8_t>(i < 4 ? 0 : ((i - 2) / 2 > 17 ? 17 : (i - 2) / 2));
            base[i] = b;
            b += 1u << extra[i];
        }
    }
};

const PositionSlots& Slots() {
    static const PositionSlots slots;
    return slots;
}

unsigned PositionSlotCount(int windowBits) {
    switch (windowBits) {
    case 20:
        return 42;
    case 21:
        return 50;
    default:
        return static_cast<unsigned>(windowBits) * 2;
    }
}

} // namespace

LzxDecoder::LzxDecoder(int windowBits)
    : windowSize_(1u << windowBits), window_(new uint8_t[windowSize_]),
      mainSymbols_(256 + 8 * PositionSlotCount(windowBits)) {}

void LzxDecoder::StartBits(size_t pos) {
    inPos_ = pos;
    bitBuffer_ = 0;
    bitCount_ = 0;
}

void LzxDecoder::Need(int n) {
    while (bitCount_ < n) {
        uint32_t word = 0;
        if (inPos_ + 2 <= inSize_)
            word = Le16(in_ + inPos_);
        else if (inPos_ + 1 == inSize_)
            word = in_[inPos_];
        // Decoding looks up to 16 bits ahead; a stream that really needs more is corrupt.
        if (inPos_ >= inSize_ + 4)
            overrun_ = true;
        inPos_ += 2;
        bitBuffer_ |= word << (16 - bitCount_);
        bitCount_ += 16;
    }
}

void LzxDecoder::Drop(int n) {
    bitBuffer_ = n >= 32 ? 0 : bitBuffer_ << n;
    bitCount_ -= n;
}

uint32_t LzxDecoder::Read(int n) {
    if (n > 16)
        return (Read(n - 16) << 16) | Read(16);
    Need(n);
    const uint32_t v = Peek(n);
    Drop(n);
    return v;
}

int LzxDecoder::Decode(const HuffmanTable& table) {
    Need(16);
    const uint16_t sym = table.Symbol(Peek(16));
    if (sym == HuffmanTable::kInvalid)
        return -1;
    Drop(table.Length(sym));
    return sym;
}

bool LzxDecoder::ReadLengths(uint8_t* lengths, unsigned first, unsigned last) {
    uint8_t pre[20];
    for (auto& p : pre)
        p = static_cast<uint8_t>(Read(4));
    if (!preTree_.Build(pre, 20))
        return false;
    unsigned x = first;
    while (x < last) {
        const int z = Decode(preTree_);
        if (z < 0)
            return false;
        if (z == 17 || z == 18) {
            unsigned run = z == 17 ? Read(4) + 4 : Read(5) + 20;
            while (run-- > 0 && x < last)
                lengths[x++] = 0;
        } else if (z == 19) {
            unsigned run = Read(1) + 4;
            const int v = Decode(preTree_);
            if (v < 0 || v > 16)
                return false;
            const uint8_t value = static_cast<uint8_t>((lengths[x] + 17 - v) % 17);
            while (run-- > 0 && x < last)
                lengths[x++] = value;
        } else {
            lengths[x] = static_cast<uint8_t>((lengths[x] + 17 - z) % 17);
            ++x;
        }
    }
    return !overrun_;
}

bool LzxDecoder::ReadBlockHeader() {
    blockType_ = static_cast<int>(Read(3));
    blockRemaining_ = Read(24);
    switch (blockType_) {
    case kAligned:
        for (auto& a : alignedLengths_)
            a = static_cast<uint8_t>(Read(3));
        if (!alignedTree_.Build(alignedLengths_, 8))
            return false;
        [[fallthrough]];
    case kVerbatim:
        if (!ReadLengths(mainLengths_, 0, 256) || !ReadLengths(mainLengths_, 256, mainSymbols_) ||
            !mainTree_.Build(mainLengths_, mainSymbols_))
            return false;
        if (!ReadLengths(lengthLengths_, 0, kLengthSymbols) ||
            !lengthTree_.Build(lengthLengths_, kLengthSymbols))
            return false;
        return true;
    case kUncompressed: {
        // Realign to the next 16-bit word; an aligned stream skips a whole word of padding.
        const size_t consumedBits = inPos_ * 8 - static_cast<size_t>(bitCount_);
        const size_t pos = (consumedBits / 16 + 1) * 2;
        if (pos > inSize_ || inSize_ - pos < 12)
            return false;
        for (int i = 0; i < 3; ++i)
            repeat_[i] = Le32(in_ + pos + 4 * static_cast<size_t>(i));
        StartBits(pos + 12);
        rawPadPending_ = (blockRemaining_ & 1) != 0;
        return true;
    }
    default:
        return false;
    }
}

bool LzxDecoder::CopyUncompressed(uint8_t* out, size_t& produced, size_t frameEnd) {
    while (produced < frameEnd && blockRemaining_ > 0) {
        if (inPos_ >= inSize_)
            return false;
        const uint8_t b = in_[inPos_++];
        window_[windowPos_] = b;
        windowPos_ = (windowPos_ + 1) & (windowSize_ - 1);
        out[produced++] = b;
        --blockRemaining_;
        ++totalOut_;
    }
    if (blockRemaining_ == 0) {
        if (rawPadPending_ && inPos_ < inSize_)
            ++inPos_;
        rawPadPending_ = false;
        StartBits(inPos_);
    }
    return true;
}

bool LzxDecoder::DecodeCompressed(uint8_t* out, size_t& produced, size_t frameEnd) {
    const PositionSlots& slots = Slots();
    const uint32_t mask = windowSize_ - 1;
    while (produced < frameEnd && blockRemaining_ > 0) {
        const int sym = Decode(mainTree_);
        if (sym < 0)
            return false;
        if (sym < 256) {
            window_[windowPos_] = static_cast<uint8_t>(sym);
            windowPos_ = (windowPos_ + 1) & mask;
            out[produced++] = static_cast<uint8_t>(sym);
            --blockRemaining_;
            ++totalOut_;
            continue;
        }
        const unsigned m = static_cast<unsigned>(sym) - 256;
        uint32_t length = m & 7;
        const unsigned slot = m >> 3;
        if (length == 7) {
            const int extra = Decode(lengthTree_);
            if (extra < 0)
                return false;
            length += static_cast<uint32_t>(extra);
        }
        length += kMinMatch;

        uint32_t offset;
        if (slot == 0) {
            offset = repeat_[0];
        } else if (slot == 1) {
            offset = repeat_[1];
            repeat_[1] = repeat_[0];
            repeat_[0] = offset;
        } else if (slot == 2) {
            offset = repeat_[2];
            repeat_[2] = repeat_[0];
            repeat_[0] = offset;
        } else {
            const int extra = slots.extra[slot];
            uint32_t footer = 0;
            if (blockType_ == kAligned && extra >= 3) {
                footer = Read(extra - 3) << 3;
                const int aligned = Decode(alignedTree_);
                if (aligned < 0)
                    return false;
                footer += static_cast<uint32_t>(aligned);
            } else if (extra > 0) {
                footer = Read(extra);
            }
            offset = slots.base[slot] + footer - 2;
            repeat_[2] = repeat_[1];
            repeat_[1] = repeat_[0];
            repeat_[0] = offset;
        }
        // A match may neither reach before the start of the stream nor run past the frame
        // or the block.
        if (offset == 0 || offset > windowSize_ || offset > totalOut_ ||
            length > frameEnd - produced || length > blockRemaining_)
            return false;
        uint32_t from = (windowPos_ - offset) & mask;
        for (uint32_t i = 0; i < length; ++i) {
            const uint8_t b = window_[from];
            from = (from + 1) & mask;
            window_[windowPos_] = b;
            windowPos_ = (windowPos_ + 1) & mask;
            out[produced++] = b;
        }
        blockRemaining_ -= length;
        totalOut_ += length;
    }
    return !overrun_;
}

void LzxDecoder::Translate(uint8_t* out, size_t size) const {
    if (!translate_ || frameIndex_ >= 32768 || size <= 10)
        return;
    const int64_t frameStart = static_cast<int64_t>(totalOut_) - static_cast<int64_t>(size);
    for (size_t i = 0; i < size - 10;) {
        if (out[i] != 0xE8) {
            ++i;
            continue;
        }
        const int64_t current = frameStart + static_cast<int64_t>(i);
        const int32_t absolute = static_cast<int32_t>(Le32(out + i + 1));
        if (absolute >= -current && absolute < translationSize_) {
            const int64_t relative =
                absolute >= 0 ? absolute - current : absolute + translationSize_;
            const uint32_t r = static_cast<uint32_t>(relative);
            out[i + 1] = static_cast<uint8_t>(r);
            out[i + 2] = static_cast<uint8_t>(r >> 8);
            out[i + 3] = static_cast<uint8_t>(r >> 16);
            out[i + 4] = static_cast<uint8_t>(r >> 24);
        }
        i += 5;
    }
}

bool LzxDecoder::DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    in_ = in;
    inSize_ = inSize;
    overrun_ = false;
    StartBits(0);
    if (!headerRead_) {
        translate_ = Read(1) != 0;
        if (translate_)
            translationSize_ = static_cast<int32_t>(Read(32));
        headerRead_ = true;
    }
    size_t produced = 0;
    while (produced < outSize) {
        if (blockRemaining_ == 0 && !ReadBlockHeader())
            return false;
        const bool ok = blockType_ == kUncompressed ? CopyUncompressed(out, produced, outSize)
                                                    : DecodeCompressed(out, produced, outSize);
        if (!ok || overrun_)
            return false;
    }
    Translate(out, outSize);
    ++frameIndex_;
    return true;
}

} // namespace km::cab
