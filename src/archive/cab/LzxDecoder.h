#pragma once
// LZX as used in cabinets: a sliding window of 2^15..2^21 bytes, verbatim, aligned-offset and
// uncompressed blocks, three repeated offsets, and the optional E8 call translation. Each data
// block is one frame of output; blocks of the LZX stream may span frames.
#include "archive/cab/CabDecoder.h"
#include "archive/cab/HuffmanTable.h"

#include <memory>

namespace km::cab {

class LzxDecoder : public CabDecoder {
public:
    static bool ValidWindowBits(int bits) { return bits >= 15 && bits <= 21; }
    // Requires: ValidWindowBits(windowBits).
    explicit LzxDecoder(int windowBits);

    bool DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override;

private:
    static constexpr unsigned kMaxMainSymbols = 256 + 8 * 50;
    static constexpr unsigned kLengthSymbols = 249;

    // Bit input: 16-bit little-endian words, each read from its top bit.
    void StartBits(size_t pos);
    void Need(int n);
    uint32_t Peek(int n) const { return n == 0 ? 0 : bitBuffer_ >> (32 - n); }
    void Drop(int n);
    uint32_t Read(int n);
    int Decode(const HuffmanTable& table);
    bool ReadLengths(uint8_t* lengths, unsigned first, unsigned last);
    bool ReadBlockHeader();
    bool DecodeCompressed(uint8_t* out, size_t& produced, size_t frameEnd);
    bool CopyUncompressed(uint8_t* out, size_t& produced, size_t frameEnd);
    void Translate(uint8_t* out, size_t size) const;

    uint32_t windowSize_;
    // Not cleared: no match may reach before the first byte, so nothing is read before it
    // is written, and a small folder touches only the pages it uses.
    std::unique_ptr<uint8_t[]> window_;
    uint32_t windowPos_ = 0;
    uint64_t totalOut_ = 0;
    unsigned mainSymbols_;

    const uint8_t* in_ = nullptr;
    size_t inSize_ = 0;
    size_t inPos_ = 0;
    uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    bool overrun_ = false;

    bool headerRead_ = false;
    bool translate_ = false;
    int32_t translationSize_ = 0;
    uint32_t frameIndex_ = 0;

    int blockType_ = 0;
    uint32_t blockRemaining_ = 0;
    bool rawPadPending_ = false; // an odd-sized uncompressed block ends with a pad byte
    uint32_t repeat_[3] = {1, 1, 1};

    uint8_t mainLengths_[kMaxMainSymbols] = {};
    uint8_t lengthLengths_[kLengthSymbols] = {};
    uint8_t alignedLengths_[8] = {};
    HuffmanTable mainTree_, lengthTree_, alignedTree_, preTree_;
};

} // namespace km::cab
