#pragma once
// Quantum: an adaptive arithmetic coder choosing among four literal models and three kinds of
// match (length 3, length 4, longer), over a window of 2^10..2^21 bytes. The models and the
// window carry from frame to frame; the coder restarts with every frame (data block).
#include "archive/cab/CabDecoder.h"

#include <memory>
#include <vector>

namespace km::cab {

class QuantumDecoder : public CabDecoder {
public:
    static bool ValidWindowBits(int bits) { return bits >= 10 && bits <= 21; }
    // Requires: ValidWindowBits(windowBits).
    explicit QuantumDecoder(int windowBits);

    bool DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override;

private:
    struct Symbol {
        uint16_t symbol;
        uint16_t cumulative;
    };
    struct Model {
        int shiftsLeft = 4;
        unsigned entries = 0;
        std::vector<Symbol> symbols; // entries + 1, cumulative frequencies falling to 0
        void Init(unsigned first, unsigned count);
        void Rescale();
    };

    uint32_t ReadBits(int n);
    int ReadBit();
    bool DecodeSymbol(Model& model, unsigned& symbol);

    uint32_t windowSize_;
    // Not cleared: no match may reach before the first byte, so nothing is read before it
    // is written, and a small folder touches only the pages it uses.
    std::unique_ptr<uint8_t[]> window_;
    uint32_t windowPos_ = 0;
    uint64_t totalOut_ = 0;

    const uint8_t* in_ = nullptr;
    size_t inSize_ = 0;
    size_t inPos_ = 0;
    uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    bool overrun_ = false;

    uint32_t high_ = 0, low_ = 0, code_ = 0;

    Model literals_[4];
    Model matchShort_, matchMedium_, matchLong_, matchLength_, selector_;
};

} // namespace km::cab
