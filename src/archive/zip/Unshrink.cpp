#include "archive/zip/Unshrink.h"

#include <vector>

namespace km::zip {

namespace {

constexpr unsigned kControl = 256;
constexpr unsigned kFirstFree = 257;
constexpr unsigned kCodes = 8192;
constexpr uint16_t kUnused = 0xffff;

class Table {
public:
    Table() : parent_(kCodes, kUnused), suffix_(kCodes, 0), free_(kCodes, true) {
        for (unsigned c = 0; c < 256; ++c) {
            suffix_[c] = static_cast<uint8_t>(c);
            free_[c] = false;
        }
    }

    bool defined(unsigned code) const { return code != kControl && code < kCodes && !free_[code]; }
    unsigned nextFree() const { return nextFree_; }

    // Puts the string of `code` on `stack`, last byte first; false for a broken chain.
    // A freed code keeps its string until it is reused, as the compressor's table does.
    bool spell(unsigned code, std::vector<uint8_t>& stack) const {
        stack.clear();
        while (code >= 256) {
            if (code == kControl || parent_[code] == kUnused || stack.size() >= kCodes)
                return false;
            stack.push_back(suffix_[code]);
            code = parent_[code];
        }
        stack.push_back(static_cast<uint8_t>(code));
        return true;
    }

    void add(unsigned prefix, uint8_t byte) {
        if (nextFree_ >= kCodes)
            return;
        parent_[nextFree_] = static_cast<uint16_t>(prefix);
        suffix_[nextFree_] = byte;
        free_[nextFree_] = false;
        advance(nextFree_ + 1);
    }

    // Frees every code that is no other code's prefix; freed codes are reused lowest first.
    void partialClear() {
        std::vector<bool> isPrefix(kCodes, false);
        for (unsigned c = kFirstFree; c < kCodes; ++c) {
            if (!free_[c])
                isPrefix[parent_[c]] = true;
        }
        for (unsigned c = kFirstFree; c < kCodes; ++c) {
            if (!isPrefix[c])
                free_[c] = true;
        }
        advance(kFirstFree);
    }

private:
    void advance(unsigned from) {
        nextFree_ = from;
        while (nextFree_ < kCodes && !free_[nextFree_])
            ++nextFree_;
    }

    std::vector<uint16_t> parent_;
    std::vector<uint8_t> suffix_;
    std::vector<bool> free_;
    unsigned nextFree_ = kFirstFree;
};

class Output {
public:
    Output(ZipByteSink& out, uint64_t size) : out_(out), left_(size) { buf_.reserve(kChunk); }
    // Writes the reversed string; false when the sink refused it.
    bool putReversed(const std::vector<uint8_t>& stack) {
        for (size_t i = stack.size(); i-- > 0 && left_ > 0;) {
            buf_.push_back(stack[i]);
            --left_;
            if (buf_.size() == kChunk && !flush())
                return false;
        }
        return true;
    }
    bool flush() {
        const bool ok = buf_.empty() || out_.Write(buf_.data(), buf_.size());
        buf_.clear();
        return ok;
    }
    bool done() const { return left_ == 0; }

private:
    static constexpr size_t kChunk = 32 * 1024;
    ZipByteSink& out_;
    uint64_t left_;
    std::vector<uint8_t> buf_;
};

} // namespace

DecodeStatus Unshrink(ZipByteSource& in, ZipByteSink& out, uint64_t size) {
    LsbBitReader bits(in);
    Table table;
    Output output(out, size);
    std::vector<uint8_t> stack;
    stack.reserve(kCodes);
    unsigned codeSize = 9;
    int prev = -1;
    while (!output.done()) {
        uint32_t code;
        if (!bits.Bits(codeSize, &code))
            return DecodeStatus::Truncated;
        if (code == kControl) {
            uint32_t sub;
            if (!bits.Bits(codeSize, &sub))
                return DecodeStatus::Truncated;
            if (sub == 1 && codeSize < 13)
                ++codeSize;
            else if (sub == 2)
                table.partialClear();
            else
                return DecodeStatus::Corrupt;
            continue;
        }
        if (prev < 0) {
            if (code >= 256)
                return DecodeStatus::Corrupt;
        } else if (table.defined(code)) {
            if (!table.spell(code, stack))
                return DecodeStatus::Corrupt;
            table.add(static_cast<unsigned>(prev), stack.back());
        } else {
            // The code being defined right now: the previous string plus its own first byte.
            if (code != table.nextFree() || !table.spell(static_cast<unsigned>(prev), stack))
                return DecodeStatus::Corrupt;
            table.add(static_cast<unsigned>(prev), stack.back());
        }
        if (!table.spell(code, stack))
            return DecodeStatus::Corrupt;
        if (!output.putReversed(stack))
            return DecodeStatus::Stopped;
        prev = static_cast<int>(code);
    }
    return output.flush() ? DecodeStatus::Ok : DecodeStatus::Stopped;
}

} // namespace km::zip
