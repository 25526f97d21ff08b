// Truevision Targa: colour-mapped, true-colour and grey images, raw or run
// length encoded, 8 to 32 bits, any of the four origins. Alpha is not shown:
// many writers leave the attribute bits undefined.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <array>

namespace km::imagelib {
namespace {

using detail::ByteReader;

enum : uint8_t { Mapped = 1, TrueColour = 2, Grey = 3, Rle = 8 };

uint8_t from5(unsigned v) {
    return static_cast<uint8_t>((v & 31) * 255 / 31);
}

// The colour of one stored value of `bytes` bytes (little-endian, BGR order).
std::array<uint8_t, 3> colourOf(const uint8_t* p, int bytes) {
    if (bytes == 2) {
        const unsigned v = detail::Le16(p);
        return {from5(v >> 10), from5(v >> 5), from5(v)};
    }
    return {p[2], p[1], p[0]};
}

} // namespace

int DecodeTga(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    ByteReader r(data, size);
    uint8_t idLength, mapType, imageType, mapBits, depth, descriptor;
    uint16_t mapFirst, mapLength, xOrigin, yOrigin, width, height;
    if (!r.u8(idLength) || !r.u8(mapType) || !r.u8(imageType) || !r.u16(mapFirst) ||
        !r.u16(mapLength) || !r.u8(mapBits) || !r.u16(xOrigin) || !r.u16(yOrigin) ||
        !r.u16(width) || !r.u16(height) || !r.u8(depth) || !r.u8(descriptor))
        return ErrFileRead;
    const uint8_t kind = imageType & 7;
    const bool rle = imageType & Rle;
    if ((imageType & ~(7 | Rle)) || kind < Mapped || kind > Grey || mapType > 1 || width == 0 ||
        height == 0)
        return ErrFileRead;
    if (!r.skip(idLength))
        return ErrFileRead;

    std::vector<std::array<uint8_t, 3>> map;
    if (mapType == 1) {
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
            return ErrFileRead;
        const int entry = (mapBits + 7) / 8;
        if (!r.has(static_cast<size_t>(mapLength) * entry))
            return ErrFileRead;
        map.resize(mapLength);
        for (size_t i = 0; i < mapLength; ++i)
            map[i] = colourOf(r.here() + i * static_cast<size_t>(entry), entry == 2 ? 2 : 3);
        r.skip(static_cast<size_t>(mapLength) * entry);
    }
    if (kind == Mapped && (mapType != 1 || (depth != 8 && depth != 16)))
        return ErrFileRead;
    if (kind == TrueColour && depth != 15 && depth != 16 && depth != 24 && depth != 32)
        return ErrFileRead;
    if (kind == Grey && depth != 8 && depth != 16)
        return ErrFileRead;
    const int bytes = (depth + 7) / 8;

    const uint64_t total = static_cast<uint64_t>(width) * height;
    // Refuse what the data cannot hold before allocating: raw pixels are
    // stored whole, a run packet of two bytes or more gives 128 at most.
    if (rle ? total > static_cast<uint64_t>(r.remaining()) * 128
            : total > r.remaining() / static_cast<size_t>(bytes))
        return ErrFileRead;
    if (int rc = detail::AllocateBlock(out, width, height); rc != ErrNone)
        return rc;

    const bool topDown = descriptor & 0x20;
    const bool rightToLeft = descriptor & 0x10;
    auto put = [&](uint64_t n, const uint8_t* p) {
        const int row = static_cast<int>(n / width), col = static_cast<int>(n % width);
        const int y = topDown ? row : height - 1 - row;
        const int x = rightToLeft ? width - 1 - col : col;
        std::array<uint8_t, 3> c{};
        if (kind == Mapped) {
            const unsigned index = bytes == 2 ? detail::Le16(p) : p[0];
            if (index >= mapFirst && index - mapFirst < map.size())
                c = map[index - mapFirst];
        } else if (kind == Grey) {
            c = {p[0], p[0], p[0]};
        } else {
            c = colourOf(p, bytes);
        }
        detail::PutPixel(out, x, y, c[0], c[1], c[2]);
    };

    uint64_t done = 0, nextReport = 0;
    while (done < total) {
        if (done >= nextReport) {
            nextReport = done + width * 16u;
            if (!detail::GoOn(progress, done / width, height))
                return ErrFileRead;
        }
        if (!rle) {
            put(done++, r.here());
            r.skip(static_cast<size_t>(bytes));
            continue;
        }
        uint8_t header;
        if (!r.u8(header))
            return ErrFileRead;
        const uint64_t count = (header & 0x7F) + 1u;
        if (header & 0x80) {
            if (!r.has(static_cast<size_t>(bytes)))
                return ErrFileRead;
            for (uint64_t i = 0; i < count && done < total; ++i)
                put(done++, r.here());
            r.skip(static_cast<size_t>(bytes));
        } else {
            if (!r.has(count * static_cast<size_t>(bytes)))
                return ErrFileRead;
            for (uint64_t i = 0; i < count && done < total; ++i)
                put(done++, r.here() + i * static_cast<size_t>(bytes));
            r.skip(count * static_cast<size_t>(bytes));
        }
    }
    if (!detail::GoOn(progress, height, height))
        return ErrFileRead;
    return ErrNone;
}

} // namespace km::imagelib
