// GIF 87a and 89a: the first image of the file on the logical screen, with
// its global or local colour table, interlacing and transparent colour.
// Later frames of an animation are not shown.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <array>
#include <cstring>

namespace km::imagelib {
namespace {

using detail::ByteReader;
using Palette = std::array<std::array<uint8_t, 3>, 256>;

bool readTable(ByteReader& r, int bits, Palette& table) {
    const size_t entries = size_t{1} << bits;
    if (!r.has(entries * 3))
        return false;
    for (size_t i = 0; i < entries; ++i)
        std::memcpy(table[i].data(), r.here() + i * 3, 3);
    r.skip(entries * 3);
    return true;
}

// The data sub-blocks after an extension or image, joined; false when the
// file ends before the terminating empty block.
bool readSubBlocks(ByteReader& r, std::vector<uint8_t>* joined) {
    for (;;) {
        uint8_t n;
        if (!r.u8(n))
            return false;
        if (n == 0)
            return true;
        if (!r.has(n))
            return false;
        if (joined)
            joined->insert(joined->end(), r.here(), r.here() + n);
        r.skip(n);
    }
}

class CodeReader {
public:
    explicit CodeReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    // False when the data has run out.
    bool next(int size, int& code) {
        while (bits_ < size) {
            if (pos_ >= bytes_.size())
                return false;
            acc_ |= static_cast<uint32_t>(bytes_[pos_++]) << bits_;
            bits_ += 8;
        }
        code = static_cast<int>(acc_ & ((1u << size) - 1));
        acc_ >>= size;
        bits_ -= size;
        return true;
    }

private:
    const std::vector<uint8_t>& bytes_;
    size_t pos_ = 0;
    uint32_t acc_ = 0;
    int bits_ = 0;
};

// The row that the n-th decoded row of an interlaced image belongs to.
int interlacedRow(int n, int height) {
    static const int start[4] = {0, 4, 2, 1};
    static const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            height > start[pass] ? (height - start[pass] + step[pass] - 1) / step[pass] : 0;
        if (n < rows)
            return start[pass] + n * step[pass];
        n -= rows;
    }
    return height - 1;
}

} // namespace

int DecodeGif(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    ByteReader r(data, size);
    if (size < 13 || (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0))
        return ErrBadGif;
    r.skip(6);
    uint16_t screenW, screenH;
    uint8_t flags, background, aspect;
    r.u16(screenW);
    r.u16(screenH);
    r.u8(flags);
    r.u8(background);
    r.u8(aspect);

    Palette global{};
    const bool hasGlobal = flags & 0x80;
    if (hasGlobal && !readTable(r, (flags & 7) + 1, global))
        return ErrBadGif;
    const int globalSize = hasGlobal ? 1 << ((flags & 7) + 1) : 0;

    int transparent = -1;
    for (;;) {
        uint8_t type;
        if (!r.u8(type))
            return ErrBadGif;
        if (type == 0x3B) // the trailer before any image
            return ErrBadGif;
        if (type == 0x21) {
            uint8_t label;
            if (!r.u8(label))
                return ErrBadGif;
            // Graphic control: the transparent colour of the image that follows.
            if (label == 0xF9 && r.has(6) && r.here()[0] >= 4) {
                const uint8_t packed = r.here()[1];
                transparent = (packed & 1) ? r.here()[4] : -1;
            }
            if (!readSubBlocks(r, nullptr))
                return ErrBadGif;
            continue;
        }
        if (type != 0x2C)
            return ErrBadGif;
        break;
    }

    uint16_t left, top, w, h;
    uint8_t imageFlags, minCodeSize;
    if (!r.u16(left) || !r.u16(top) || !r.u16(w) || !r.u16(h) || !r.u8(imageFlags))
        return ErrBadGif;
    if (w == 0 || h == 0)
        return ErrBadGif;
    Palette local{};
    const Palette* table = &global;
    int tableSize = globalSize;
    if (imageFlags & 0x80) {
        if (!readTable(r, (imageFlags & 7) + 1, local))
            return ErrBadGif;
        table = &local;
        tableSize = 1 << ((imageFlags & 7) + 1);
    } else if (!hasGlobal) {
        // No colours at all: show the indices as grey levels.
        for (int i = 0; i < 256; ++i)
            local[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                             static_cast<uint8_t>(i)};
        table = &local;
        tableSize = 256;
    }
    if (!r.u8(minCodeSize) || minCodeSize < 1 || minCodeSize > 11)
        return ErrBadGif;
    std::vector<uint8_t> lzw;
    if (!readSubBlocks(r, &lzw))
        return ErrBadGif;

    // The image sits on the logical screen, unless the screen is too small
    // for it, when the image alone is shown.
    int canvasW = screenW, canvasH = screenH, originX = left, originY = top;
    if (static_cast<int>(left) + w > screenW || static_cast<int>(top) + h > screenH) {
        canvasW = w;
        canvasH = h;
        originX = originY = 0;
    }
    // A code (2 bits at least) yields at most 4096 pixels; a header that claims
    // more than the data can hold is refused before anything is allocated.
    if (static_cast<uint64_t>(w) * h > static_cast<uint64_t>(lzw.size()) * 4 * 4096 + 4096)
        return ErrBadGif;
    const uint32_t bgColour =
        hasGlobal && background < globalSize
            ? static_cast<uint32_t>(global[background][0] << 16 | global[background][1] << 8 |
                                    global[background][2])
            : 0xFFFFFF;
    if (int rc = detail::AllocateBlock(out, canvasW, canvasH, bgColour); rc != ErrNone)
        return rc;

    const bool interlaced = imageFlags & 0x40;
    const uint64_t total = static_cast<uint64_t>(w) * h;
    uint64_t done = 0;
    int x = 0, row = 0;
    auto emit = [&](uint8_t index) {
        if (done >= total)
            return;
        if (index != transparent) {
            const auto& c = index < tableSize ? (*table)[index] : (*table)[0];
            const int y = interlaced ? interlacedRow(row, h) : row;
            detail::PutPixel(out, originX + x, originY + y, c[0], c[1], c[2]);
        }
        ++done;
        if (++x == w) {
            x = 0;
            ++row;
        }
    };

    const int clear = 1 << minCodeSize, endCode = clear + 1;
    std::array<uint16_t, 4096> prefix{};
    std::array<uint8_t, 4096> suffix{};
    std::array<uint8_t, 4096> stack{};
    for (int i = 0; i < clear; ++i)
        suffix[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    int codeSize = minCodeSize + 1, next = endCode + 1, old = -1;
    uint8_t first = 0;
    CodeReader codes(lzw);
    int code;
    uint64_t nextReport = 65536;
    while (done < total && codes.next(codeSize, code)) {
        if (code == clear) {
            codeSize = minCodeSize + 1;
            next = endCode + 1;
            old = -1;
            continue;
        }
        if (code == endCode)
            break;
        if (old < 0) {
            if (code >= clear)
                return ErrBadGif;
            first = static_cast<uint8_t>(code);
            emit(first);
            old = code;
            continue;
        }
        if (code > next || (code == next && next >= 4096))
            return ErrBadGif;
        size_t depth = 0;
        int walk = code;
        if (code == next) {
            // The code being defined: the previous string and its first byte.
            stack[depth++] = first;
            walk = old;
        }
        while (walk >= clear) {
            if (depth >= stack.size())
                return ErrBadGif;
            stack[depth++] = suffix[static_cast<size_t>(walk)];
            walk = prefix[static_cast<size_t>(walk)];
        }
        if (depth >= stack.size())
            return ErrBadGif;
        stack[depth++] = static_cast<uint8_t>(walk);
        first = static_cast<uint8_t>(walk);
        while (depth > 0)
            emit(stack[--depth]);
        if (next < 4096) {
            prefix[static_cast<size_t>(next)] = static_cast<uint16_t>(old);
            suffix[static_cast<size_t>(next)] = first;
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        old = code;
        if (done >= nextReport) {
            nextReport = done + 65536;
            if (!detail::GoOn(progress, done, total))
                return ErrFileRead;
        }
    }
    // A stream that ends before the last pixel is a damaged file.
    if (done < total)
        return ErrBadGif;
    if (!detail::GoOn(progress, total, total))
        return ErrFileRead;
    return ErrNone;
}

} // namespace km::imagelib
