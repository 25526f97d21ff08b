#include "archive/rar/RarUnpack.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace km::rar {

namespace {

constexpr size_t kInBufSize = 0x8000;

// RAR 2.0 symbol counts: main, distance, repeat, bit-length and audio channel tables.
constexpr uint32_t kNC = 298, kDC = 48, kRC = 28, kBC = 19, kMC = 257;

constexpr uint8_t kLBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint32_t kLDecode[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
                                   24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kSDBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};
constexpr uint32_t kSDDecode[8] = {0, 4, 8, 16, 32, 64, 128, 192};

struct DistanceTables {
    uint8_t bits[48];
    uint32_t base[48];
    constexpr DistanceTables() : bits(), base() {
        uint32_t next = 0;
        for (int i = 0; i < 48; ++i) {
            bits[i] = static_cast<uint8_t>(i < 4 ? 0 : std::min(i / 2 - 1, 16));
            base[i] = next;
            next += 1u << bits[i];
        }
    }
};
constexpr DistanceTables kDist;

// The window of the last unpacker on this thread, kept for the next one: testing or listing
// archive after archive would otherwise map and clear a fresh megabyte each time. Every
// decode that does not continue a solid stream clears the window, so nothing carries over.
thread_local std::vector<uint8_t> spareWindow;

} // namespace

Unpacker::Unpacker() {
    try {
        if (spareWindow.size() == kWindowSize)
            window_.swap(spareWindow);
        else
            window_.assign(kWindowSize, 0);
        inBuf_.assign(kInBufSize, 0);
    } catch (const std::bad_alloc&) {
        window_.clear();
        inBuf_.clear();
    }
}

Unpacker::~Unpacker() {
    if (spareWindow.empty())
        spareWindow.swap(window_);
}

void Unpacker::ResetInput(PackedInput* input) {
    input_ = input;
    readTop_ = 0;
    inAddr_ = 0;
    inBit_ = 0;
    eof_ = false;
    overrun_ = false;
    Fill();
}

void Unpacker::Fill() {
    if (eof_)
        return;
    if (inAddr_ > readTop_) {
        // More was consumed than had arrived: the stream does not decode.
        overrun_ = true;
        inAddr_ = readTop_;
    }
    std::memmove(inBuf_.data(), inBuf_.data() + inAddr_, readTop_ - inAddr_);
    readTop_ -= inAddr_;
    inAddr_ = 0;
    while (readTop_ < kInBufSize) {
        const size_t n = input_->Read(inBuf_.data() + readTop_, kInBufSize - readTop_);
        if (n == 0) {
            eof_ = true;
            break;
        }
        readTop_ += n;
    }
}

bool Unpacker::Flush() {
    const uint32_t end = unpPtr_ & kWindowMask;
    uint32_t start = wrPtr_;
    while (start != end && !aborted_) {
        const uint32_t chunkEnd = end > start ? end : kWindowSize;
        uint64_t n = chunkEnd - start;
        // A final match may run past the file's end; those bytes stay in the window only.
        n = std::min<uint64_t>(n, size_ - written_);
        if (n > 0 && !(*output_)(window_.data() + start, static_cast<size_t>(n)))
            aborted_ = true;
        written_ += n;
        start = chunkEnd & kWindowMask;
    }
    wrPtr_ = end;
    return !aborted_;
}

void Unpacker::CopyString(uint32_t length, uint32_t distance) {
    produced_ += length;
    uint32_t src = unpPtr_ - distance;
    for (uint32_t i = 0; i < length; ++i) {
        window_[unpPtr_ & kWindowMask] = window_[src & kWindowMask];
        ++unpPtr_;
        ++src;
    }
    unpPtr_ &= kWindowMask;
}

UnpackResult Unpacker::Unpack(int version, bool solid, uint64_t size, PackedInput& input,
                              const UnpackedOutput& output) {
    size_ = size;
    produced_ = 0;
    written_ = 0;
    output_ = &output;
    aborted_ = false;
    const bool continuing = solid && (version == 20 ? haveState20_ : haveState15_);
    if (!continuing) {
        std::memset(window_.data(), 0, window_.size());
        unpPtr_ = wrPtr_ = 0;
        std::memset(oldDist_, 0, sizeof oldDist_);
        oldDistPtr_ = 0;
        lastDist_ = lastLength_ = 0;
    }
    haveState20_ = haveState15_ = false;
    ResetInput(&input);
    UnpackResult result;
    if (version == 20) {
        if (!continuing)
            InitState20();
        if (!continuing && size > 0 && !ReadTables20())
            result = UnpackResult::Corrupt;
        else
            result = Unpack20();
        haveState20_ = result == UnpackResult::Ok;
    } else {
        result = Unpack15(continuing);
        haveState15_ = result == UnpackResult::Ok;
    }
    if (result == UnpackResult::Ok && !Flush())
        result = UnpackResult::Aborted;
    if (result == UnpackResult::Ok && written_ != size_)
        result = UnpackResult::Corrupt;
    return result;
}

// ---- RAR 2.0 ------------------------------------------------------------------------------

void Unpacker::InitState20() {
    audioBlock_ = false;
    channels_ = 1;
    curChannel_ = 0;
    channelDelta_ = 0;
    for (auto& a : audio_)
        a = AudioState{};
    std::memset(oldTable20_, 0, sizeof oldTable20_);
    ld_ = dd_ = rd_ = bd_ = Huffman{};
    for (auto& m : md_)
        m = Huffman{};
}

void Unpacker::MakeDecodeTables(const uint8_t* lengths, Huffman& table, uint32_t size) {
    uint32_t lenCount[16] = {};
    uint32_t tmpPos[16] = {};
    for (uint32_t i = 0; i < size; ++i)
        ++lenCount[lengths[i] & 0xF];
    lenCount[0] = 0;
    std::memset(table.decodeNum, 0, sizeof table.decodeNum);
    table.decodePos[0] = 0;
    table.decodeLen[0] = 0;
    uint32_t n = 0;
    for (int i = 1; i < 16; ++i) {
        n = 2 * (n + lenCount[i]);
        const uint32_t m = std::min<uint32_t>(n << (15 - i), 0xFFFF);
        table.decodeLen[i] = m;
        table.decodePos[i] = table.decodePos[i - 1] + lenCount[i - 1];
        tmpPos[i] = table.decodePos[i];
    }
    for (uint32_t i = 0; i < size; ++i) {
        if (lengths[i] != 0)
            table.decodeNum[tmpPos[lengths[i] & 0xF]++] = static_cast<uint16_t>(i);
    }
    table.maxNum = size;
}

uint32_t Unpacker::DecodeNumber(const Huffman& table) {
    const uint32_t bitField = GetBits() & 0xFFFE;
    unsigned bits = 15;
    for (unsigned b = 1; b < 15; ++b) {
        if (bitField < table.decodeLen[b]) {
            bits = b;
            break;
        }
    }
    AddBits(bits);
    uint32_t n = table.decodePos[bits] + ((bitField - table.decodeLen[bits - 1]) >> (16 - bits));
    if (n >= table.maxNum)
        n = 0;
    return table.decodeNum[n];
}

bool Unpacker::ReadTables20() {
    uint8_t bitLength[kBC];
    uint8_t table[kMC * 4];
    FillIfLow();
    const uint32_t bitField = GetBits();
    audioBlock_ = (bitField & 0x8000) != 0;
    if (!(bitField & 0x4000))
        std::memset(oldTable20_, 0, sizeof oldTable20_);
    AddBits(2);
    uint32_t tableSize;
    if (audioBlock_) {
        channels_ = static_cast<int>((bitField >> 12) & 3) + 1;
        if (curChannel_ >= channels_)
            curChannel_ = 0;
        AddBits(2);
        tableSize = kMC * static_cast<uint32_t>(channels_);
    } else {
        tableSize = kNC + kDC + kRC;
    }
    for (uint32_t i = 0; i < kBC; ++i) {
        bitLength[i] = static_cast<uint8_t>(GetBits() >> 12);
        AddBits(4);
    }
    MakeDecodeTables(bitLength, bd_, kBC);
    uint32_t i = 0;
    while (i < tableSize) {
        FillIfLow();
        if (Overrun())
            return false;
        const uint32_t number = DecodeNumber(bd_);
        if (number < 16) {
            table[i] = static_cast<uint8_t>((number + oldTable20_[i]) & 0xF);
            ++i;
        } else if (number == 16) {
            uint32_t n = (GetBits() >> 14) + 3;
            AddBits(2);
            if (i == 0)
                return false;
            while (n-- > 0 && i < tableSize) {
                table[i] = table[i - 1];
                ++i;
            }
        } else {
            uint32_t n;
            if (number == 17) {
                n = (GetBits() >> 13) + 3;
                AddBits(3);
            } else {
                n = (GetBits() >> 9) + 11;
                AddBits(7);
            }
            while (n-- > 0 && i < tableSize)
                table[i++] = 0;
        }
    }
    if (Overrun())
        return false;
    if (audioBlock_) {
        for (int c = 0; c < channels_; ++c)
            MakeDecodeTables(&table[c * kMC], md_[c], kMC);
    } else {
        MakeDecodeTables(&table[0], ld_, kNC);
        MakeDecodeTables(&table[kNC], dd_, kDC);
        MakeDecodeTables(&table[kNC + kDC], rd_, kRC);
    }
    std::memcpy(oldTable20_, table, tableSize);
    return true;
}

// A solid archive's next tables may follow the last symbol of this file.
void Unpacker::ReadLastTables20() {
    if (readTop_ < inAddr_ + 5)
        return;
    if (audioBlock_) {
        if (DecodeNumber(md_[curChannel_]) == 256)
            ReadTables20();
    } else if (DecodeNumber(ld_) == 269) {
        ReadTables20();
    }
}

void Unpacker::CopyString20(uint32_t length, uint32_t distance) {
    lastDist_ = oldDist_[oldDistPtr_++ & 3] = distance;
    lastLength_ = length;
    CopyString(length, distance);
}

uint8_t Unpacker::DecodeAudio(int delta) {
    AudioState& v = audio_[curChannel_];
    ++v.byteCount;
    v.d4 = v.d3;
    v.d3 = v.d2;
    v.d2 = v.lastDelta - v.d1;
    v.d1 = v.lastDelta;
    int pch = 8 * v.lastChar + v.k[0] * v.d1 + v.k[1] * v.d2 + v.k[2] * v.d3 + v.k[3] * v.d4 +
              v.k[4] * channelDelta_;
    pch = (pch >> 3) & 0xFF;
    const int ch = pch - delta;
    const int d = static_cast<int8_t>(delta) * 8;
    const int others[5] = {v.d1, v.d2, v.d3, v.d4, channelDelta_};
    v.dif[0] += static_cast<unsigned>(std::abs(d));
    for (int i = 0; i < 5; ++i) {
        v.dif[1 + 2 * i] += static_cast<unsigned>(std::abs(d - others[i]));
        v.dif[2 + 2 * i] += static_cast<unsigned>(std::abs(d + others[i]));
    }
    channelDelta_ = v.lastDelta = static_cast<int8_t>(ch - v.lastChar);
    v.lastChar = ch & 0xFF;
    if ((v.byteCount & 0x1F) == 0) {
        unsigned minDif = v.dif[0];
        int numMinDif = 0;
        v.dif[0] = 0;
        for (int i = 1; i < 11; ++i) {
            if (v.dif[i] < minDif) {
                minDif = v.dif[i];
                numMinDif = i;
            }
            v.dif[i] = 0;
        }
        if (numMinDif > 0) {
            int& k = v.k[(numMinDif - 1) / 2];
            if (numMinDif & 1) {
                if (k >= -16)
                    --k;
            } else if (k < 16) {
                ++k;
            }
        }
    }
    return static_cast<uint8_t>(ch);
}

UnpackResult Unpacker::Unpack20() {
    while (produced_ < size_) {
        unpPtr_ &= kWindowMask;
        FillIfLow();
        if (Overrun())
            return UnpackResult::Corrupt;
        if (((wrPtr_ - unpPtr_) & kWindowMask) < 270 && wrPtr_ != unpPtr_ && !Flush())
            return UnpackResult::Aborted;
        if (audioBlock_) {
            const uint32_t audioNumber = DecodeNumber(md_[curChannel_]);
            if (audioNumber == 256) {
                if (!ReadTables20())
                    return UnpackResult::Corrupt;
                continue;
            }
            window_[unpPtr_++] = DecodeAudio(static_cast<int>(audioNumber));
            if (++curChannel_ == channels_)
                curChannel_ = 0;
            ++produced_;
            continue;
        }
        uint32_t number = DecodeNumber(ld_);
        if (number < 256) {
            window_[unpPtr_++] = static_cast<uint8_t>(number);
            ++produced_;
            continue;
        }
        if (number > 269) {
            number -= 270;
            if (number >= 28)
                return UnpackResult::Corrupt;
            uint32_t length = kLDecode[number] + 3;
            if (const unsigned bits = kLBits[number]; bits > 0) {
                length += GetBits() >> (16 - bits);
                AddBits(bits);
            }
            const uint32_t distNumber = DecodeNumber(dd_);
            if (distNumber >= kDC)
                return UnpackResult::Corrupt;
            uint32_t distance = kDist.base[distNumber] + 1;
            if (const unsigned bits = kDist.bits[distNumber]; bits > 0) {
                distance += GetBits() >> (16 - bits);
                AddBits(bits);
            }
            if (distance >= 0x2000) {
                ++length;
                if (distance >= 0x40000)
                    ++length;
            }
            CopyString20(length, distance);
            continue;
        }
        if (number == 269) {
            if (!ReadTables20())
                return UnpackResult::Corrupt;
            continue;
        }
        if (number == 256) {
            CopyString20(lastLength_, lastDist_);
            continue;
        }
        if (number < 261) {
            const uint32_t distance = oldDist_[(oldDistPtr_ - (number - 256)) & 3];
            const uint32_t lengthNumber = DecodeNumber(rd_);
            if (lengthNumber >= 28)
                return UnpackResult::Corrupt;
            uint32_t length = kLDecode[lengthNumber] + 2;
            if (const unsigned bits = kLBits[lengthNumber]; bits > 0) {
                length += GetBits() >> (16 - bits);
                AddBits(bits);
            }
            if (distance >= 0x101) {
                ++length;
                if (distance >= 0x2000) {
                    ++length;
                    if (distance >= 0x40000)
                        ++length;
                }
            }
            CopyString20(length, distance);
            continue;
        }
        number -= 261;
        uint32_t distance = kSDDecode[number] + 1;
        if (const unsigned bits = kSDBits[number]; bits > 0) {
            distance += GetBits() >> (16 - bits);
            AddBits(bits);
        }
        CopyString20(2, distance);
    }
    if (Overrun())
        return UnpackResult::Corrupt;
    ReadLastTables20();
    return UnpackResult::Ok;
}

// ---- RAR 1.5 ------------------------------------------------------------------------------

namespace {

constexpr uint32_t kStartL1 = 2, kStartL2 = 3, kStartHf0 = 4, kStartHf1 = 5, kStartHf2 = 5,
                   kStartHf3 = 6, kStartHf4 = 8;
constexpr uint32_t kDecL1[] = {0x8000, 0xa000, 0xc000, 0xd000, 0xe000, 0xea00,
                               0xee00, 0xf000, 0xf200, 0xf200, 0xffff};
constexpr uint32_t kPosL1[] = {0, 0, 0, 2, 3, 5, 7, 11, 16, 20, 24, 32, 32, 32, 32, 32};
constexpr uint32_t kDecL2[] = {0xa000, 0xc000, 0xd000, 0xe000, 0xea00,
                               0xee00, 0xf000, 0xf200, 0xf240, 0xffff};
constexpr uint32_t kPosL2[] = {0, 0, 0, 0, 5, 7, 9, 13, 18, 22, 26, 34, 36, 36, 36, 36};
constexpr uint32_t kDecHf0[] = {0x8000, 0xc000, 0xe000, 0xf200, 0xf200,
                                0xf200, 0xf200, 0xf200, 0xffff};
constexpr uint32_t kPosHf0[] = {0, 0, 0, 0, 0, 8, 16, 24, 33, 33, 33, 33, 33, 33, 33, 33};
constexpr uint32_t kDecHf1[] = {0x2000, 0xc000, 0xe000, 0xf000, 0xf200, 0xf200, 0xf7e0, 0xffff};
constexpr uint32_t kPosHf1[] = {0, 0, 0, 0, 0, 0, 4, 44, 60, 76, 80, 80, 127, 127, 127, 127};
constexpr uint32_t kDecHf2[] = {0x1000, 0x2400, 0x8000, 0xc000, 0xfa00, 0xffff, 0xffff, 0xffff};
constexpr uint32_t kPosHf2[] = {0, 0, 0, 0, 0, 0, 2, 7, 53, 117, 233, 0, 0, 0, 0, 0};
constexpr uint32_t kDecHf3[] = {0x0800, 0x2400, 0xee00, 0xfe80, 0xffff, 0xffff, 0xffff};
constexpr uint32_t kPosHf3[] = {0, 0, 0, 0, 0, 0, 0, 2, 16, 218, 251, 0, 0, 0, 0, 0};
constexpr uint32_t kDecHf4[] = {0xff00, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff};
constexpr uint32_t kPosHf4[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0};

constexpr uint32_t kShortLen1[16] = {1, 3, 4, 4, 5, 6, 7, 8, 8, 4, 4, 5, 6, 6, 4, 0};
constexpr uint32_t kShortXor1[16] = {0,    0xa0, 0xd0, 0xe0, 0xf0, 0xf8, 0xfc, 0xfe,
                                     0xff, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0, 0};
constexpr uint32_t kShortLen2[16] = {2, 3, 3, 3, 4, 4, 5, 6, 6, 4, 4, 5, 6, 6, 4, 0};
constexpr uint32_t kShortXor2[16] = {0,    0x40, 0x60, 0xa0, 0xd0, 0xe0, 0xf0, 0xf8,
                                     0xfc, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0, 0};

} // namespace

void Unpacker::InitState15() {
    avrPlcB_ = avrLn1_ = avrLn2_ = avrLn3_ = 0;
    numHuf_ = buf60_ = 0;
    avrPlc_ = 0x3500;
    maxDist3_ = 0x2001;
    nhfb_ = nlzb_ = 0x80;
}

void Unpacker::CorrHuff(uint32_t* charSet, uint32_t* numToPlace) {
    for (int i = 7; i >= 0; --i) {
        for (int j = 0; j < 32; ++j, ++charSet)
            *charSet = (*charSet & ~0xFFu) | static_cast<uint32_t>(i);
    }
    std::memset(numToPlace, 0, 256 * sizeof(uint32_t));
    for (int i = 6; i >= 0; --i)
        numToPlace[i] = static_cast<uint32_t>(7 - i) * 32;
}

void Unpacker::InitHuff15() {
    for (uint32_t i = 0; i < 256; ++i) {
        chSet_[i] = chSetB_[i] = i << 8;
        chSetA_[i] = i;
        chSetC_[i] = ((~i + 1) & 0xFF) << 8;
    }
    std::memset(nToPl_, 0, sizeof nToPl_);
    std::memset(nToPlB_, 0, sizeof nToPlB_);
    std::memset(nToPlC_, 0, sizeof nToPlC_);
    CorrHuff(chSetB_, nToPlB_);
}

uint32_t Unpacker::DecodeNum15(uint32_t num, uint32_t startPos, const uint32_t* decTab,
                               const uint32_t* posTab) {
    num &= 0xFFF0;
    int i = 0;
    // Every table ends with 0xffff, above any masked value.
    while (decTab[i] <= num) {
        ++startPos;
        ++i;
    }
    AddBits(startPos);
    return ((num - (i ? decTab[i - 1] : 0)) >> (16 - startPos)) + posTab[startPos];
}

void Unpacker::CopyString15(uint32_t distance, uint32_t length) {
    CopyString(length, distance);
}

void Unpacker::GetFlagsBuf() {
    const uint32_t flagsPlace = DecodeNum15(GetBits(), kStartHf2, kDecHf2, kPosHf2);
    if (flagsPlace >= 256)
        return;
    uint32_t flags, newFlagsPlace;
    for (;;) {
        flags = chSetC_[flagsPlace];
        flagBuf_ = flags >> 8;
        newFlagsPlace = nToPlC_[flags++ & 0xFF]++ & 0xFF;
        if ((flags & 0xFF) != 0)
            break;
        CorrHuff(chSetC_, nToPlC_);
    }
    chSetC_[flagsPlace] = chSetC_[newFlagsPlace];
    chSetC_[newFlagsPlace] = flags;
}

void Unpacker::ShortLz() {
    numHuf_ = 0;
    uint32_t bitField = GetBits();
    if (lCount_ == 2) {
        AddBits(1);
        if (bitField >= 0x8000) {
            CopyString15(lastDist_, lastLength_);
            return;
        }
        bitField <<= 1;
        lCount_ = 0;
    }
    bitField = (bitField >> 8) & 0xFF;
    uint32_t length = 0;
    const bool first = avrLn1_ < 37;
    auto lenOf = [&](uint32_t pos) -> uint32_t {
        if (first)
            return pos == 1 ? static_cast<uint32_t>(buf60_) + 3 : kShortLen1[pos];
        return pos == 3 ? static_cast<uint32_t>(buf60_) + 3 : kShortLen2[pos];
    };
    const uint32_t* xorTab = first ? kShortXor1 : kShortXor2;
    for (length = 0; length < 15; ++length) {
        if (((bitField ^ xorTab[length]) & (~(0xFFu >> lenOf(length)) & 0xFF)) == 0)
            break;
    }
    AddBits(lenOf(length));
    if (length >= 9) {
        if (length == 9) {
            ++lCount_;
            CopyString15(lastDist_, lastLength_);
            return;
        }
        if (length == 14) {
            lCount_ = 0;
            length = DecodeNum15(GetBits(), kStartL2, kDecL2, kPosL2) + 5;
            const uint32_t distance = (GetBits() >> 1) | 0x8000;
            AddBits(15);
            lastLength_ = length;
            lastDist_ = distance;
            CopyString15(distance, length);
            return;
        }
        lCount_ = 0;
        const uint32_t saveLength = length;
        const uint32_t distance = oldDist_[(oldDistPtr_ - (length - 9)) & 3];
        length = DecodeNum15(GetBits(), kStartL1, kDecL1, kPosL1) + 2;
        if (length == 0x101 && saveLength == 10) {
            buf60_ ^= 1;
            return;
        }
        if (distance > 256)
            ++length;
        if (distance >= maxDist3_)
            ++length;
        oldDist_[oldDistPtr_++] = distance;
        oldDistPtr_ &= 3;
        lastLength_ = length;
        lastDist_ = distance;
        CopyString15(distance, length);
        return;
    }
    lCount_ = 0;
    avrLn1_ += length;
    avrLn1_ -= avrLn1_ >> 4;
    int distancePlace =
        static_cast<int>(DecodeNum15(GetBits(), kStartHf2, kDecHf2, kPosHf2) & 0xFF);
    uint32_t distance = chSetA_[distancePlace];
    if (--distancePlace != -1) {
        chSetA_[distancePlace + 1] = chSetA_[distancePlace];
        chSetA_[distancePlace] = distance;
    }
    length += 2;
    oldDist_[oldDistPtr_++] = ++distance;
    oldDistPtr_ &= 3;
    lastLength_ = length;
    lastDist_ = distance;
    CopyString15(distance, length);
}

void Unpacker::LongLz() {
    numHuf_ = 0;
    nlzb_ += 16;
    if (nlzb_ > 0xFF) {
        nlzb_ = 0x90;
        nhfb_ >>= 1;
    }
    const uint32_t oldAvr2 = avrLn2_;
    uint32_t bitField = GetBits();
    uint32_t length;
    if (avrLn2_ >= 122) {
        length = DecodeNum15(bitField, kStartL2, kDecL2, kPosL2);
    } else if (avrLn2_ >= 64) {
        length = DecodeNum15(bitField, kStartL1, kDecL1, kPosL1);
    } else if (bitField < 0x100) {
        length = bitField;
        AddBits(16);
    } else {
        for (length = 0; ((bitField << length) & 0x8000) == 0; ++length) {
        }
        AddBits(length + 1);
    }
    avrLn2_ += length;
    avrLn2_ -= avrLn2_ >> 5;
    bitField = GetBits();
    uint32_t distancePlace;
    if (avrPlcB_ > 0x28FF)
        distancePlace = DecodeNum15(bitField, kStartHf2, kDecHf2, kPosHf2);
    else if (avrPlcB_ > 0x6FF)
        distancePlace = DecodeNum15(bitField, kStartHf1, kDecHf1, kPosHf1);
    else
        distancePlace = DecodeNum15(bitField, kStartHf0, kDecHf0, kPosHf0);
    avrPlcB_ += distancePlace;
    avrPlcB_ -= avrPlcB_ >> 8;
    uint32_t distance, newDistancePlace;
    for (;;) {
        distance = chSetB_[distancePlace & 0xFF];
        newDistancePlace = nToPlB_[distance++ & 0xFF]++ & 0xFF;
        if (!(distance & 0xFF))
            CorrHuff(chSetB_, nToPlB_);
        else
            break;
    }
    chSetB_[distancePlace & 0xFF] = chSetB_[newDistancePlace];
    chSetB_[newDistancePlace] = distance;
    distance = ((distance & 0xFF00) | (GetBits() >> 8)) >> 1;
    AddBits(7);
    const uint32_t oldAvr3 = avrLn3_;
    if (length != 1 && length != 4) {
        if (length == 0 && distance <= maxDist3_) {
            ++avrLn3_;
            avrLn3_ -= avrLn3_ >> 8;
        } else if (avrLn3_ > 0) {
            --avrLn3_;
        }
    }
    length += 3;
    if (distance >= maxDist3_)
        ++length;
    if (distance <= 256)
        length += 8;
    if (oldAvr3 > 0xB0 || (avrPlc_ >= 0x2A00 && oldAvr2 < 0x40))
        maxDist3_ = 0x7F00;
    else
        maxDist3_ = 0x2001;
    oldDist_[oldDistPtr_++] = distance;
    oldDistPtr_ &= 3;
    lastLength_ = length;
    lastDist_ = distance;
    CopyString15(distance, length);
}

void Unpacker::HuffDecode() {
    uint32_t bitField = GetBits();
    int bytePlace;
    if (avrPlc_ > 0x75FF)
        bytePlace = static_cast<int>(DecodeNum15(bitField, kStartHf4, kDecHf4, kPosHf4));
    else if (avrPlc_ > 0x5DFF)
        bytePlace = static_cast<int>(DecodeNum15(bitField, kStartHf3, kDecHf3, kPosHf3));
    else if (avrPlc_ > 0x35FF)
        bytePlace = static_cast<int>(DecodeNum15(bitField, kStartHf2, kDecHf2, kPosHf2));
    else if (avrPlc_ > 0x0DFF)
        bytePlace = static_cast<int>(DecodeNum15(bitField, kStartHf1, kDecHf1, kPosHf1));
    else
        bytePlace = static_cast<int>(DecodeNum15(bitField, kStartHf0, kDecHf0, kPosHf0));
    bytePlace &= 0xFF;
    if (stMode_) {
        if (bytePlace == 0 && bitField > 0xFFF)
            bytePlace = 0x100;
        if (--bytePlace == -1) {
            bitField = GetBits();
            AddBits(1);
            if (bitField & 0x8000) {
                numHuf_ = stMode_ = 0;
                return;
            }
            const uint32_t length = (bitField & 0x4000) ? 4 : 3;
            AddBits(1);
            uint32_t distance = DecodeNum15(GetBits(), kStartHf2, kDecHf2, kPosHf2);
            distance = (distance << 5) | (GetBits() >> 11);
            AddBits(5);
            CopyString15(distance, length);
            return;
        }
    } else if (numHuf_++ >= 16 && flagsCnt_ == 0) {
        stMode_ = 1;
    }
    avrPlc_ += static_cast<uint32_t>(bytePlace);
    avrPlc_ -= avrPlc_ >> 8;
    nhfb_ += 16;
    if (nhfb_ > 0xFF) {
        nhfb_ = 0x90;
        nlzb_ >>= 1;
    }
    window_[unpPtr_++] = static_cast<uint8_t>(chSet_[bytePlace] >> 8);
    ++produced_;
    uint32_t curByte, newBytePlace;
    for (;;) {
        curByte = chSet_[bytePlace];
        newBytePlace = nToPl_[curByte++ & 0xFF]++ & 0xFF;
        if ((curByte & 0xFF) > 0xA1)
            CorrHuff(chSet_, nToPl_);
        else
            break;
    }
    chSet_[bytePlace] = chSet_[newBytePlace];
    chSet_[newBytePlace] = curByte;
}

UnpackResult Unpacker::Unpack15(bool solid) {
    if (!solid) {
        InitState15();
        InitHuff15();
    }
    flagsCnt_ = 0;
    flagBuf_ = 0;
    stMode_ = 0;
    lCount_ = 0;
    if (produced_ < size_) {
        GetFlagsBuf();
        flagsCnt_ = 8;
    }
    while (produced_ < size_) {
        unpPtr_ &= kWindowMask;
        FillIfLow();
        if (Overrun())
            return UnpackResult::Corrupt;
        if (((wrPtr_ - unpPtr_) & kWindowMask) < 270 && wrPtr_ != unpPtr_ && !Flush())
            return UnpackResult::Aborted;
        if (stMode_) {
            HuffDecode();
            continue;
        }
        if (--flagsCnt_ < 0) {
            GetFlagsBuf();
            flagsCnt_ = 7;
        }
        if (flagBuf_ & 0x80) {
            flagBuf_ <<= 1;
            if (nlzb_ > nhfb_)
                LongLz();
            else
                HuffDecode();
        } else {
            flagBuf_ <<= 1;
            if (--flagsCnt_ < 0) {
                GetFlagsBuf();
                flagsCnt_ = 7;
            }
            if (flagBuf_ & 0x80) {
                flagBuf_ <<= 1;
                if (nlzb_ > nhfb_)
                    HuffDecode();
                else
                    LongLz();
            } else {
                flagBuf_ <<= 1;
                ShortLz();
            }
        }
    }
    return Overrun() ? UnpackResult::Corrupt : UnpackResult::Ok;
}

} // namespace km::rar
