// Windows and OS/2 bitmaps: 1, 4 and 8 bits through a palette, 16 and 32
// bits with or without bit fields, 24 bits; bottom-up or top-down rows.
// Run-length compressed bitmaps are refused with their own code.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <array>

namespace km::imagelib {
namespace {

using detail::ByteReader;

enum : uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6 };

// One channel of a bit-field pixel, scaled to 0..255.
struct Field {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    explicit Field(uint32_t m = 0) : mask(m) {
        if (!mask)
            return;
        while (!((mask >> shift) & 1))
            ++shift;
        max = mask >> shift;
    }
    uint8_t get(uint32_t v) const {
        if (!max)
            return 0;
        return static_cast<uint8_t>(static_cast<uint64_t>((v & mask) >> shift) * 255u / max);
    }
};

} // namespace

int DecodeBmp(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    ByteReader r(data, size);
    uint8_t b, m;
    uint32_t fileSize, reserved, offBits, headerSize;
    if (!r.u8(b) || !r.u8(m) || b != 'B' || m != 'M' || !r.u32(fileSize) || !r.u32(reserved) ||
        !r.u32(offBits) || !r.u32(headerSize))
        return ErrBadBmp;

    int64_t width = 0, height = 0;
    uint16_t planes = 0, bpp = 0;
    uint32_t compression = BiRgb, colorsUsed = 0;
    bool core = false;
    std::array<uint32_t, 3> masks{};
    if (headerSize == 12) {
        uint16_t w, h;
        if (!r.u16(w) || !r.u16(h) || !r.u16(planes) || !r.u16(bpp))
            return ErrBadBmp;
        width = w;
        height = h;
        core = true;
    } else if (headerSize >= 40 && headerSize <= 256) {
        int32_t w, h;
        uint32_t sizeImage, xppm, yppm, important;
        if (!r.i32(w) || !r.i32(h) || !r.u16(planes) || !r.u16(bpp) || !r.u32(compression) ||
            !r.u32(sizeImage) || !r.u32(xppm) || !r.u32(yppm) || !r.u32(colorsUsed) ||
            !r.u32(important))
            return ErrBadBmp;
        width = w;
        height = h;
        // Masks sit inside the longer headers, or just after the 40-byte one.
        if (compression == BiBitfields || compression == BiAlphaBitfields) {
            if (!r.u32(masks[0]) || !r.u32(masks[1]) || !r.u32(masks[2]))
                return ErrBadBmp;
        }
        if (headerSize > 40 && !r.seek(14 + headerSize))
            return ErrBadBmp;
        else if (headerSize == 40 && compression == BiAlphaBitfields && !r.skip(4))
            return ErrBadBmp;
    } else {
        return ErrBadBmp;
    }

    if (compression == BiRle8 || compression == BiRle4)
        return ErrRleBmp;
    if (compression == BiAlphaBitfields)
        compression = BiBitfields;
    if (compression != BiRgb && compression != BiBitfields)
        return ErrBadBmp;
    if (compression == BiBitfields && bpp != 16 && bpp != 32)
        return ErrBadBmp;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return ErrBadBmp;

    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0)
        return ErrBadBmp;

    // The palette follows the headers (and masks); entries of 3 bytes in the
    // OS/2 form, 4 otherwise. Entries past the end of the table read black.
    std::array<std::array<uint8_t, 3>, 256> palette{};
    if (bpp <= 8) {
        const uint32_t maxColors = 1u << bpp;
        uint32_t count = colorsUsed == 0 || colorsUsed > maxColors ? maxColors : colorsUsed;
        const size_t entry = core ? 3 : 4;
        // Some writers put a shorter table than they claim before the bits.
        if (offBits > r.pos() && (offBits - r.pos()) / entry < count)
            count = static_cast<uint32_t>((offBits - r.pos()) / entry);
        if (!r.has(count * entry))
            return ErrBadBmp;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* p = r.here() + i * entry;
            palette[i] = {p[2], p[1], p[0]};
        }
    }

    const uint64_t stride = (static_cast<uint64_t>(width) * bpp + 31) / 32 * 4;
    if (offBits > size || stride > (size - offBits) / static_cast<uint64_t>(height))
        return ErrBadBmp;
    if (int rc = detail::AllocateBlock(out, width, height); rc != ErrNone)
        return rc;

    Field red, green, blue;
    if (compression == BiBitfields) {
        red = Field(masks[0]);
        green = Field(masks[1]);
        blue = Field(masks[2]);
    } else if (bpp == 16) {
        red = Field(0x7C00);
        green = Field(0x03E0);
        blue = Field(0x001F);
    }

    const int w = out.width, h = out.height;
    for (int row = 0; row < h; ++row) {
        const uint8_t* src = data + offBits + static_cast<uint64_t>(row) * stride;
        const int y = topDown ? row : h - 1 - row;
        for (int x = 0; x < w; ++x) {
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const int byte = src[x / perByte];
                const int shift = 8 - bpp * (x % perByte + 1);
                const auto& c = palette[static_cast<size_t>((byte >> shift) & ((1 << bpp) - 1))];
                detail::PutPixel(out, x, y, c[0], c[1], c[2]);
                break;
            }
            case 16: {
                const uint32_t v = detail::Le16(src + x * 2);
                detail::PutPixel(out, x, y, red.get(v), green.get(v), blue.get(v));
                break;
            }
            case 24: {
                const uint8_t* p = src + x * 3;
                detail::PutPixel(out, x, y, p[2], p[1], p[0]);
                break;
            }
            default: {
                const uint8_t* p = src + x * 4;
                if (compression == BiBitfields) {
                    const uint32_t v =
                        static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                        static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
                    detail::PutPixel(out, x, y, red.get(v), green.get(v), blue.get(v));
                } else {
                    detail::PutPixel(out, x, y, p[2], p[1], p[0]);
                }
                break;
            }
            }
        }
        if (!detail::GoOn(progress, static_cast<uint64_t>(row) + 1, static_cast<uint64_t>(h)))
            return ErrFileRead;
    }
    return ErrNone;
}

} // namespace km::imagelib
