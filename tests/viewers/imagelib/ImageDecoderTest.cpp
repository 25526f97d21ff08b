// The own decoders on hand-made input: hostile headers are refused before
// anything is allocated, and the metafile renderer draws what the records say.
#include "viewers/imagelib/Decoders.h"

#include <gtest/gtest.h>
#include <initializer_list>

using namespace km::imagelib;

namespace {

class Bytes {
public:
    Bytes& u8(std::initializer_list<int> v) {
        for (int b : v)
            data.push_back(static_cast<uint8_t>(b));
        return *this;
    }
    Bytes& u16(std::initializer_list<int> v) {
        for (int x : v)
            u8({x & 0xFF, (x >> 8) & 0xFF});
        return *this;
    }
    Bytes& u32(std::initializer_list<uint32_t> v) {
        for (uint32_t x : v)
            u16({static_cast<int>(x & 0xFFFF), static_cast<int>(x >> 16)});
        return *this;
    }
    Bytes& zeros(size_t n) {
        data.resize(data.size() + n);
        return *this;
    }
    std::vector<uint8_t> data;
};

uint32_t rgbAt(const PixelBlock& b, int x, int y) {
    const uint8_t* p = b.at(x, y);
    return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
}

Bytes bmpHeader(int32_t w, int32_t h, int bpp, uint32_t offBits = 54) {
    Bytes b;
    b.u8({'B', 'M'})
        .u32({0, 0, offBits, 40})
        .u32({static_cast<uint32_t>(w), static_cast<uint32_t>(h)});
    b.u16({1, bpp}).u32({0, 0, 0, 0, 0, 0});
    return b;
}

TEST(HostileHeaders, HugeSizesAreRefusedNotAllocated) {
    PixelBlock out;
    // 60000 x 60000 at 24 bits in a file of 54 bytes.
    Bytes bmp = bmpHeader(60000, 60000, 24);
    EXPECT_EQ(DecodeBmp(bmp.data.data(), bmp.data.size(), out, {}), ErrBadBmp);
    // A height of INT_MIN cannot be negated into a row count.
    bmp = bmpHeader(1, INT32_MIN, 24);
    bmp.zeros(4);
    EXPECT_EQ(DecodeBmp(bmp.data.data(), bmp.data.size(), out, {}), ErrBadBmp);
    bmp = bmpHeader(2, 2, 24, 5000);
    bmp.zeros(16);
    EXPECT_EQ(DecodeBmp(bmp.data.data(), bmp.data.size(), out, {}), ErrBadBmp);
    bmp = bmpHeader(2, 2, 7);
    bmp.zeros(16);
    EXPECT_EQ(DecodeBmp(bmp.data.data(), bmp.data.size(), out, {}), ErrBadBmp);

    // A run-length Targa of 65535 x 65535 in a handful of bytes.
    Bytes tga;
    tga.u8({0, 0, 10}).zeros(9).u16({65535, 65535}).u8({24, 0}).u8({0xFF, 1, 2, 3});
    EXPECT_EQ(DecodeTga(tga.data.data(), tga.data.size(), out, {}), ErrFileRead);

    Bytes pcx;
    pcx.u8({0x0A, 5, 1, 8})
        .u16({0, 0, 65534, 65534})
        .zeros(53)
        .u8({3})
        .u16({65535})
        .zeros(60)
        .u8({0xC1, 0});
    EXPECT_EQ(DecodePcx(pcx.data.data(), pcx.data.size(), out, {}), ErrFileRead);

    // A logical screen of 65535 x 65535 around a one-pixel image.
    Bytes gif;
    gif.u8({'G', 'I', 'F', '8', '9', 'a'}).u16({65535, 65535}).u8({0x80, 0, 0}).zeros(6);
    gif.u8({0x2C}).u16({0, 0, 1, 1}).u8({0, 2, 2, 0x44, 0x01, 0, 0x3B});
    EXPECT_EQ(DecodeGif(gif.data.data(), gif.data.size(), out, {}), ErrOutOfMemory);

    // A placeable metafile of 30000 inches square.
    Bytes wmf;
    wmf.u32({0x9AC6CDD7}).u16({0, 0, 0, 30000, 30000, 1}).u32({0}).u16({0});
    wmf.u16({1, 9, 0x300}).u32({12}).u16({0}).u32({3}).u16({0}).u32({3}).u16({0});
    EXPECT_EQ(RenderWmf(wmf.data.data(), wmf.data.size(), 0xFFFFFF, out, {}), ErrOutOfMemory);
    EXPECT_TRUE(out.pixels.empty());
}

TEST(HostileData, GifCodesOutsideTheTableAreRefused) {
    // 2 x 1, colours black and white; code size 2: clear (4), then code 7,
    // which nothing has defined yet.
    Bytes gif;
    gif.u8({'G', 'I', 'F', '8', '7', 'a'})
        .u16({2, 1})
        .u8({0x80, 0, 0})
        .u8({0, 0, 0, 255, 255, 255});
    gif.u8({0x2C}).u16({0, 0, 2, 1}).u8({0, 2, 1, 0x3C, 0, 0x3B});
    PixelBlock out;
    EXPECT_EQ(DecodeGif(gif.data.data(), gif.data.size(), out, {}), ErrBadGif);

    // clear, 1, 0, end: the same picture done right, white then black.
    Bytes good;
    good.u8({'G', 'I', 'F', '8', '7', 'a'})
        .u16({2, 1})
        .u8({0x80, 0, 0})
        .u8({0, 0, 0, 255, 255, 255});
    good.u8({0x2C}).u16({0, 0, 2, 1}).u8({0, 2, 2, 0x0C, 0x0A, 0, 0x3B});
    ASSERT_EQ(DecodeGif(good.data.data(), good.data.size(), out, {}), ErrNone);
    EXPECT_EQ(rgbAt(out, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(out, 1, 0), 0x000000u);
}

// A standard metafile over a 20 x 20 window (taken as its size).
class Metafile {
public:
    Metafile() {
        b.u16({1, 9, 0x300}).u32({0}).u16({4}).u32({0}).u16({0});
        record(0x020C, {20, 20}); // SetWindowExt
    }
    void record(int function, std::initializer_list<int> params) {
        b.u32({static_cast<uint32_t>(3 + params.size())}).u16({function});
        for (int p : params)
            b.u16({p});
    }
    PixelBlock render() {
        record(0, {});
        PixelBlock out;
        EXPECT_EQ(RenderWmf(b.data.data(), b.data.size(), 0xFFFFFF, out, {}), ErrNone);
        return out;
    }
    Bytes b;
};

TEST(Metafiles, FillsOutlinesAndObjectSlots) {
    Metafile m;
    m.record(0x02FA, {5, 0, 0, 0, 0});        // slot 0: null pen
    m.record(0x02FC, {0, 0x0000, 0x00FF, 0}); // slot 1: solid blue brush
    m.record(0x012D, {0});
    m.record(0x012D, {1});
    m.record(0x041B, {10, 10, 2, 2});         // Rectangle(2, 2, 10, 10)
    m.record(0x01F0, {1});                    // the brush goes; slot 1 is free again
    m.record(0x02FC, {0, 0x00FF, 0x0000, 0}); // slot 1: solid red
    m.record(0x012D, {1});
    m.record(0x0418, {20, 20, 12, 12});          // Ellipse(12, 12, 20, 20)
    m.record(0x02FA, {0, 1, 0, 0x00FF, 0x0000}); // slot 2: red pen
    m.record(0x012D, {2});
    m.record(0x0214, {18, 0}); // MoveTo(0, 18)
    m.record(0x0213, {18, 8}); // LineTo(8, 18)
    const PixelBlock out = m.render();
    ASSERT_EQ(out.width, 20);
    ASSERT_EQ(out.height, 20);
    EXPECT_EQ(rgbAt(out, 5, 5), 0x0000FFu);
    EXPECT_EQ(rgbAt(out, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(out, 11, 11), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(out, 16, 16), 0xFF0000u);
    EXPECT_EQ(rgbAt(out, 12, 12), 0xFFFFFFu); // outside the ellipse, inside its box
    EXPECT_EQ(rgbAt(out, 4, 18), 0xFF0000u);
    EXPECT_EQ(rgbAt(out, 4, 16), 0xFFFFFFu);
}

TEST(Metafiles, PolyPolygonKeepsHolesUnderEitherFillMode) {
    for (int mode : {1, 2}) {
        Metafile m;
        m.record(0x0106, {mode});
        m.record(0x02FA, {5, 0, 0, 0, 0});
        m.record(0x02FC, {0, 0xFF00, 0x0000, 0}); // green
        m.record(0x012D, {0});
        m.record(0x012D, {1});
        // An outer square clockwise and an inner one the other way round.
        m.record(0x0538, {2, 4, 4, 0, 0, 20, 0, 20, 20, 0, 20, 5, 5, 5, 15, 15, 15, 15, 5});
        const PixelBlock out = m.render();
        EXPECT_EQ(rgbAt(out, 2, 2), 0x00FF00u) << mode;
        EXPECT_EQ(rgbAt(out, 10, 10), 0xFFFFFFu) << mode;
    }
}

TEST(Metafiles, BrokenRecordsFail) {
    Metafile shortRecord;
    shortRecord.b.u32({2}).u16({0x041B});
    PixelBlock out;
    EXPECT_EQ(RenderWmf(shortRecord.b.data.data(), shortRecord.b.data.size(), 0xFFFFFF, out, {}),
              ErrFileRead);
    Metafile pastEnd;
    pastEnd.b.u32({400}).u16({0x0324}).u16({100});
    EXPECT_EQ(RenderWmf(pastEnd.b.data.data(), pastEnd.b.data.size(), 0xFFFFFF, out, {}),
              ErrFileRead);
    // A polygon claiming more points than its record holds draws nothing.
    Metafile lying;
    lying.record(0x0324, {30000, 1, 1});
    EXPECT_EQ(rgbAt(lying.render(), 1, 1), 0xFFFFFFu);
}

} // namespace
