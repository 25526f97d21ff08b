#pragma once
// The RAR 1.5 and 2.0 decompressors over a 1 MiB sliding window. One Unpacker lives for a whole
// extraction pass so that the files of a solid archive can continue the previous file's state.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace km::rar {

// The packed bytes of one entry (already decrypted); Read returns 0 at the end.
class PackedInput {
public:
    virtual ~PackedInput() = default;
    virtual size_t Read(uint8_t* buffer, size_t count) = 0;
};

// Receives unpacked bytes; false stops the decompressor (cancel or write failure).
using UnpackedOutput = std::function<bool(const uint8_t* data, size_t count)>;

enum class UnpackResult { Ok, Corrupt, Aborted };

class Unpacker {
public:
    // Allocates the window; Valid() is false when that failed.
    Unpacker();
    ~Unpacker();
    Unpacker(const Unpacker&) = delete;
    Unpacker& operator=(const Unpacker&) = delete;
    bool Valid() const { return !window_.empty(); }

    // Decodes `size` bytes. `version` is 20 (RAR 2.0) or 13/15 (RAR 1.5); `solid` continues the
    // state left by the previous call (ignored when there is none).
    UnpackResult Unpack(int version, bool solid, uint64_t size, PackedInput& input,
                        const UnpackedOutput& output);

    static constexpr uint32_t kWindowSize = 0x100000;
    static constexpr uint32_t kWindowMask = kWindowSize - 1;

private:
    struct Huffman {
        uint32_t maxNum = 0;
        uint32_t decodeLen[16] = {};
        uint32_t decodePos[16] = {};
        uint16_t decodeNum[298] = {};
    };
    struct AudioState {
        int k[5] = {};
        int d1 = 0, d2 = 0, d3 = 0, d4 = 0;
        int lastDelta = 0;
        unsigned dif[11] = {};
        unsigned byteCount = 0;
        int lastChar = 0;
    };

    // Bit input over a refillable buffer; bytes past the end read as zero and are noticed.
    void ResetInput(PackedInput* input);
    void Fill();
    void FillIfLow() {
        if (inAddr_ + 30 > readTop_)
            Fill();
    }
    uint8_t Byte(size_t i) const { return i < readTop_ ? inBuf_[i] : 0; }
    uint32_t GetBits() const {
        const uint32_t v = (uint32_t(Byte(inAddr_)) << 16) | (uint32_t(Byte(inAddr_ + 1)) << 8) |
                           Byte(inAddr_ + 2);
        return (v >> (8 - inBit_)) & 0xFFFF;
    }
    void AddBits(unsigned bits) {
        bits += inBit_;
        inAddr_ += bits >> 3;
        inBit_ = bits & 7;
    }
    bool Overrun() const { return overrun_ || (eof_ && inAddr_ > readTop_); }

    bool Flush();
    void CopyString(uint32_t length, uint32_t distance);

    // RAR 2.0
    void InitState20();
    bool ReadTables20();
    void ReadLastTables20();
    UnpackResult Unpack20();
    uint8_t DecodeAudio(int delta);
    static void MakeDecodeTables(const uint8_t* lengths, Huffman& table, uint32_t size);
    uint32_t DecodeNumber(const Huffman& table);
    void CopyString20(uint32_t length, uint32_t distance);

    // RAR 1.5
    void InitState15();
    void InitHuff15();
    static void CorrHuff(uint32_t* charSet, uint32_t* numToPlace);
    uint32_t DecodeNum15(uint32_t num, uint32_t startPos, const uint32_t* decTab,
                         const uint32_t* posTab);
    UnpackResult Unpack15(bool solid);
    void ShortLz();
    void LongLz();
    void HuffDecode();
    void GetFlagsBuf();
    void CopyString15(uint32_t distance, uint32_t length);

    std::vector<uint8_t> window_;
    uint32_t unpPtr_ = 0;
    uint32_t wrPtr_ = 0;
    bool haveState20_ = false;
    bool haveState15_ = false;

    // Current file
    uint64_t size_ = 0;
    uint64_t produced_ = 0;
    uint64_t written_ = 0;
    const UnpackedOutput* output_ = nullptr;
    bool aborted_ = false;

    PackedInput* input_ = nullptr;
    std::vector<uint8_t> inBuf_;
    size_t readTop_ = 0;
    size_t inAddr_ = 0;
    unsigned inBit_ = 0;
    bool eof_ = false;
    bool overrun_ = false;

    uint32_t oldDist_[4] = {};
    uint32_t oldDistPtr_ = 0;
    uint32_t lastDist_ = 0;
    uint32_t lastLength_ = 0;

    // RAR 2.0 tables and audio state
    Huffman ld_, dd_, rd_, bd_;
    Huffman md_[4];
    uint8_t oldTable20_[257 * 4] = {};
    bool audioBlock_ = false;
    int channels_ = 1;
    int curChannel_ = 0;
    int channelDelta_ = 0;
    AudioState audio_[4];

    // RAR 1.5 adaptive state
    uint32_t chSet_[256] = {}, chSetA_[256] = {}, chSetB_[256] = {}, chSetC_[256] = {};
    uint32_t nToPl_[256] = {}, nToPlB_[256] = {}, nToPlC_[256] = {};
    uint32_t flagBuf_ = 0, avrPlc_ = 0, avrPlcB_ = 0, avrLn1_ = 0, avrLn2_ = 0, avrLn3_ = 0;
    int buf60_ = 0, numHuf_ = 0, stMode_ = 0, lCount_ = 0, flagsCnt_ = 0;
    uint32_t nhfb_ = 0, nlzb_ = 0, maxDist3_ = 0;
};

} // namespace km::rar
