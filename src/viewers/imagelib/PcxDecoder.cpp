// ZSoft PCX: 1 bit in one or four planes, 2, 4 and 8 bits in one plane (the
// 8-bit palette from the end of the file) and 24 bits as three planes;
// run-length encoded or raw scan lines.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <array>

namespace km::imagelib {
namespace {

constexpr size_t kHeader = 128;

} // namespace

int DecodePcx(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    if (size < kHeader || data[0] != 0x0A || data[2] > 1)
        return ErrFileRead;
    const bool encoded = data[2] == 1;
    const int bits = data[3];
    const int xMin = detail::Le16(data + 4), yMin = detail::Le16(data + 6);
    const int xMax = detail::Le16(data + 8), yMax = detail::Le16(data + 10);
    const int planes = data[65];
    const size_t bytesPerLine = detail::Le16(data + 66);
    if (xMax < xMin || yMax < yMin)
        return ErrFileRead;
    const int width = xMax - xMin + 1, height = yMax - yMin + 1;
    const bool mono = bits == 1 && planes == 1;
    const bool planar16 = bits == 1 && planes == 4;
    const bool paletted = planes == 1 && (bits == 2 || bits == 4 || bits == 8);
    const bool rgb = bits == 8 && (planes == 3 || planes == 4);
    if (!mono && !planar16 && !paletted && !rgb)
        return ErrFileRead;
    if (bytesPerLine == 0 || bytesPerLine < (static_cast<size_t>(width) * bits + 7) / 8)
        return ErrFileRead;

    std::array<std::array<uint8_t, 3>, 256> palette{};
    for (size_t i = 0; i < 16; ++i)
        palette[i] = {data[16 + i * 3], data[17 + i * 3], data[18 + i * 3]};
    size_t end = size;
    if (bits == 8 && planes == 1) {
        // The 256 colours follow a 0x0C byte at the very end; files older
        // than version 5 may lack them, and their values are grey levels.
        if (size >= kHeader + 769 && data[size - 769] == 0x0C) {
            end = size - 769;
            for (size_t i = 0; i < 256; ++i)
                palette[i] = {data[end + 1 + i * 3], data[end + 2 + i * 3], data[end + 3 + i * 3]};
        } else if (data[1] >= 5) {
            // Version 5 always carries them: a file cut short.
            return ErrFileRead;
        } else {
            for (size_t i = 0; i < 256; ++i)
                palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                              static_cast<uint8_t>(i)};
        }
    }

    const size_t lineBytes = bytesPerLine * static_cast<size_t>(planes);
    const uint64_t needed = static_cast<uint64_t>(lineBytes) * static_cast<uint64_t>(height);
    // A run of two bytes gives 63 bytes at most; refuse what the data cannot
    // hold before allocating.
    const uint64_t available = end - kHeader;
    if (needed > (encoded ? available * 63 : available))
        return ErrFileRead;
    if (int rc = detail::AllocateBlock(out, width, height); rc != ErrNone)
        return rc;

    std::vector<uint8_t> line(lineBytes);
    size_t pos = kHeader;
    uint8_t runValue = 0;
    size_t runLeft = 0; // runs may carry over into the next scan line
    for (int y = 0; y < height; ++y) {
        for (size_t i = 0; i < lineBytes; ++i) {
            if (!encoded) {
                line[i] = data[pos++];
                continue;
            }
            if (runLeft == 0) {
                if (pos >= end)
                    return ErrFileRead;
                const uint8_t c = data[pos++];
                if ((c & 0xC0) == 0xC0) {
                    if (pos >= end)
                        return ErrFileRead;
                    runLeft = c & 0x3F;
                    runValue = data[pos++];
                } else {
                    runLeft = 1;
                    runValue = c;
                }
                if (runLeft == 0) {
                    --i; // an empty run: nothing for this byte yet
                    continue;
                }
            }
            line[i] = runValue;
            --runLeft;
        }
        for (int x = 0; x < width; ++x) {
            const size_t ux = static_cast<size_t>(x);
            if (rgb) {
                detail::PutPixel(out, x, y, line[ux], line[bytesPerLine + ux],
                                 line[2 * bytesPerLine + ux]);
                continue;
            }
            unsigned index = 0;
            if (planar16) {
                for (int p = 0; p < 4; ++p)
                    index |=
                        ((line[static_cast<size_t>(p) * bytesPerLine + ux / 8] >> (7 - ux % 8)) &
                         1u)
                        << p;
            } else {
                const size_t bit = ux * static_cast<size_t>(bits);
                index = (line[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            }
            if (mono) {
                const uint8_t v = index ? 255 : 0;
                detail::PutPixel(out, x, y, v, v, v);
            } else {
                const auto& c = palette[index];
                detail::PutPixel(out, x, y, c[0], c[1], c[2]);
            }
        }
        if (!detail::GoOn(progress, static_cast<uint64_t>(y) + 1, static_cast<uint64_t>(height)))
            return ErrFileRead;
    }
    return ErrNone;
}

} // namespace km::imagelib
