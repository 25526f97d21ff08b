// The loaders against pictures made by other people's tools: sizes as the
// fixtures' manifest gives them, pixels where another decode of the same
// picture or ImageMagick makes them certain, and the failures.
#include "viewers/imagelib/ImageLib.h"
#include "support/TempDir.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace km::imagelib;
using km::test::TempDir;

namespace {

const std::string kFixtures = KM_FIXTURES_DIR;

PixelBlock load(const std::string& rel) {
    const std::string path = kFixtures + "/" + rel;
    // copyleft.tiff is the one name the viewer's extension choice does not take.
    std::optional<PixelBlock> b = rel.ends_with(".tiff") ? LoadTiff(path) : LoadByExtension(path);
    EXPECT_TRUE(b) << rel << ": " << ErrorText(LastError());
    return b ? *b : PixelBlock{};
}

uint32_t rgbAt(const PixelBlock& b, int x, int y) {
    const uint8_t* p = b.at(x, y);
    return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
}

struct Pixel {
    int x, y;
    uint32_t rgb;
};

struct Fixture {
    const char* path;
    int width, height;
    // ImageMagick's values for the same pixels (composed on white where the
    // picture is transparent).
    std::vector<Pixel> pixels;
};

class FixtureTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(FixtureTest, DecodesAtItsSizeWithTheExpectedPixels) {
    const Fixture& f = GetParam();
    const PixelBlock b = load(f.path);
    ASSERT_EQ(b.width, f.width) << f.path;
    ASSERT_EQ(b.height, f.height) << f.path;
    ASSERT_EQ(b.pixels.size(), static_cast<size_t>(f.width) * f.height * 3);
    for (const Pixel& p : f.pixels)
        EXPECT_EQ(rgbAt(b, p.x, p.y), p.rgb) << f.path << " at " << p.x << "," << p.y;
}

std::string fixtureName(const ::testing::TestParamInfo<Fixture>& info) {
    std::string name;
    for (const char* p = info.param.path; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, FixtureTest,
    ::testing::Values(
        Fixture{"bmp/pal1.bmp", 127, 64, {{0, 0, 0xFFFFFF}, {126, 63, 0x000000}}},
        Fixture{"bmp/pal1bg.bmp", 127, 64, {{0, 0, 0x40FF40}, {126, 63, 0x4040FF}}},
        Fixture{"bmp/pal4.bmp", 127, 64, {{0, 0, 0xFF0000}, {63, 21, 0xFF80FF}}},
        Fixture{"bmp/pal8.bmp", 127, 64, {}}, Fixture{"bmp/pal8os2.bmp", 127, 64, {}},
        Fixture{"bmp/pal8topdown.bmp", 127, 64, {}},
        Fixture{"bmp/pal8w125.bmp",
                125,
                62,
                {{0, 0, 0xFF0000}, {62, 20, 0xFFAAFF}, {124, 61, 0x665566}}},
        Fixture{"bmp/rgb16.bmp", 127, 64, {}},
        Fixture{"bmp/rgb16-565.bmp", 127, 64, {{0, 0, 0xFF0000}, {63, 21, 0xFFAAFF}}},
        Fixture{"bmp/rgb24.bmp", 127, 64, {}}, Fixture{"bmp/rgb32.bmp", 127, 64, {}},
        Fixture{"gif/hopper.gif",
                128,
                128,
                {{0, 0, 0x131443}, {64, 42, 0xCB702F}, {127, 127, 0x8399C9}}},
        Fixture{"gif/hopper_resized.gif",
                64,
                64,
                {{0, 0, 0x10133E}, {32, 21, 0xC97954}, {63, 63, 0x5675B3}}},
        Fixture{"gif/interlaced.gif",
                32,
                32,
                {{0, 0, 0xFCFEFB}, {16, 10, 0xFFAEFE}, {31, 31, 0x000200}}},
        Fixture{"gif/missing_background.gif", 32, 32, {{16, 10, 0xFFFFFF}}},
        Fixture{"gif/transparent.gif", 200, 150, {{0, 0, 0xFFFFFF}, {100, 50, 0xD11C1C}}},
        Fixture{"jpeg/hopper.jpg",
                128,
                128,
                {{0, 0, 0x141543}, {64, 42, 0xC3713F}, {127, 127, 0x86A0D1}}},
        Fixture{"pcx/24bit.pcx",
                435,
                353,
                {{0, 0, 0x4C7274}, {217, 117, 0x2F4B51}, {434, 352, 0x153F00}}},
        Fixture{"pcx/256-palette.pcx",
                435,
                353,
                {{0, 0, 0x4A6E70}, {217, 117, 0x2F4E55}, {434, 352, 0x164101}}},
        Fixture{"pcx/odd_stride.pcx", 371, 150, {{370, 149, 0xFFFFFF}}},
        // One bits are white: the header's two-colour palette says so.
        Fixture{"pcx/pil184.pcx", 447, 144, {{0, 0, 0xFFFFFF}}},
        Fixture{"png/hopper.png",
                128,
                128,
                {{0, 0, 0x141543}, {64, 42, 0xC3713F}, {127, 127, 0x86A0D1}}},
        Fixture{"tga/200x32_l_bl_rle.tga", 200, 32, {}},
        Fixture{"tga/200x32_p_bl_raw.tga", 200, 32, {}},
        Fixture{"tga/200x32_rgb_bl_raw.tga", 200, 32, {}},
        Fixture{"tga/200x32_rgb_tl_rle.tga", 200, 32, {}},
        Fixture{"tga/200x32_rgba_tl_rle.tga", 200, 32, {}},
        Fixture{"tga/ctc24.tga", 128, 128, {{0, 0, 0xFF0000}, {127, 127, 0xFFFFFF}}},
        Fixture{"tga/utc16.tga", 128, 128, {}}, Fixture{"tga/utc24.tga", 128, 128, {}},
        Fixture{"tiff/8bit.s.tif", 128, 128, {{0, 0, 0x1A1A1A}, {64, 42, 0x848484}}},
        Fixture{"tiff/copyleft.tiff", 220, 220, {{0, 0, 0xFFFFFF}, {110, 73, 0x000000}}},
        Fixture{"tiff/hopper.tif", 128, 128, {}},
        Fixture{"tiff/hopper_gray_4bpp.tif", 128, 128, {{0, 0, 0x222222}, {64, 42, 0x888888}}},
        Fixture{"tiff/hopper_lzw.tif", 128, 128, {}},
        // At 72 pixels per inch from the placeable header's bounds, as ImageMagick has it.
        Fixture{"wmf/drawing.wmf", 83, 83, {{0, 0, 0xFFFFFF}}},
        Fixture{"wmf/symbol-font-tables.wmf", 426, 378, {{200, 200, 0xFFFFFF}}}),
    fixtureName);

// Pairs the manifest and ImageMagick show to be the same picture: a decode
// of one checks the other, pixel for pixel.
TEST(SamePicture, EncodingsOfOnePictureDecodeAlike) {
    const std::pair<const char*, const char*> pairs[] = {
        {"png/hopper.png", "tiff/hopper.tif"},
        {"png/hopper.png", "tiff/hopper_lzw.tif"},
        {"bmp/rgb24.bmp", "bmp/rgb32.bmp"},
        {"bmp/pal8.bmp", "bmp/pal8topdown.bmp"},
        {"bmp/pal8.bmp", "bmp/pal8os2.bmp"},
        // Bottom-left raw against top-left run-length: origin and runs at once.
        {"tga/200x32_rgb_bl_raw.tga", "tga/200x32_rgb_tl_rle.tga"},
        {"tga/200x32_rgb_bl_raw.tga", "tga/200x32_rgba_tl_rle.tga"},
        {"tga/utc24.tga", "tga/ctc24.tga"},
    };
    for (const auto& [a, b] : pairs) {
        const PixelBlock x = load(a), y = load(b);
        EXPECT_EQ(x.width, y.width) << a << " / " << b;
        EXPECT_EQ(x.height, y.height) << a << " / " << b;
        EXPECT_TRUE(x.pixels == y.pixels) << a << " / " << b;
    }
}

TEST(SamePicture, LossyAndReducedEncodingsStayClose) {
    // 5-bit channels and a dithered palette cannot be exact; a wrong channel
    // order or row order is 35 or more off on average.
    const std::pair<const char*, const char*> pairs[] = {
        {"bmp/rgb24.bmp", "bmp/rgb16.bmp"},    {"bmp/rgb24.bmp", "bmp/rgb16-565.bmp"},
        {"bmp/rgb24.bmp", "bmp/pal8.bmp"},     {"tga/utc24.tga", "tga/utc16.tga"},
        {"png/hopper.png", "jpeg/hopper.jpg"}, {"png/hopper.png", "gif/hopper.gif"},
    };
    for (const auto& [a, b] : pairs) {
        const PixelBlock x = load(a), y = load(b);
        ASSERT_EQ(x.pixels.size(), y.pixels.size()) << a << " / " << b;
        uint64_t diff = 0;
        for (size_t i = 0; i < x.pixels.size(); ++i)
            diff += static_cast<uint64_t>(std::abs(x.pixels[i] - y.pixels[i]));
        EXPECT_LT(diff / x.pixels.size(), 20u) << a << " / " << b;
    }
}

TEST(Failures, RunLengthBitmapsAreRefusedWithTheirOwnText) {
    EXPECT_FALSE(LoadBmp(kFixtures + "/bmp/pal8rle.bmp"));
    EXPECT_EQ(LastError(), ErrRleBmp);
    EXPECT_EQ(ErrorText(LastError()), "We don't do RLE BMP files");
}

TEST(Failures, OpenAndNameProblems) {
    TempDir dir;
    EXPECT_FALSE(LoadGif(dir.file("missing.gif")));
    EXPECT_EQ(LastError(), ErrFileOpen);
    EXPECT_FALSE(LoadPng(dir.path())); // a directory
    EXPECT_EQ(LastError(), ErrFileOpen);
    EXPECT_FALSE(LoadByExtension(dir.file("picture.jpeg")));
    EXPECT_EQ(LastError(), ErrBadParam);
    // A success clears the last error; the choice ignores case.
    std::error_code ec;
    std::filesystem::copy_file(kFixtures + "/bmp/pal1.bmp", dir.file("P\xC3\xA9.BMP"), ec);
    ASSERT_FALSE(ec);
    EXPECT_TRUE(LoadByExtension(dir.file("P\xC3\xA9.BMP")));
    EXPECT_EQ(LastError(), ErrNone);
}

// Every format cut short, at the start, in its header and in its data: the
// format's own error, never a picture and never a crash. Where the picture
// data runs to the end of the file, losing the last bytes fails too (Targa
// and TIFF files may end in metadata the picture does not need).
TEST(Failures, TruncatedFilesGiveTheFormatsError) {
    struct Case {
        const char* path;
        int code;
        bool dataToTheEnd;
    };
    const Case files[] = {
        {"bmp/rgb24.bmp", ErrBadBmp, true},    {"bmp/pal4.bmp", ErrBadBmp, true},
        {"gif/hopper.gif", ErrBadGif, true},   {"gif/interlaced.gif", ErrBadGif, true},
        {"jpeg/hopper.jpg", ErrBadJpg, true},  {"tga/ctc24.tga", ErrFileRead, false},
        {"tga/utc24.tga", ErrFileRead, false}, {"pcx/256-palette.pcx", ErrFileRead, true},
        {"pcx/24bit.pcx", ErrFileRead, true},  {"wmf/drawing.wmf", ErrFileRead, true},
        {"tiff/hopper.tif", ErrBadTif, false}, {"tiff/hopper_lzw.tif", ErrBadTif, false},
    };
    TempDir dir;
    for (const Case& c : files) {
        const std::string data = km::test::ReadAll(kFixtures + "/" + c.path);
        const std::string rel = c.path;
        const std::string path = dir.file("cut" + rel.substr(rel.size() - 4));
        std::vector<size_t> cuts = {0, 10, data.size() / 4};
        if (c.dataToTheEnd)
            cuts.push_back(data.size() - 40);
        for (size_t cut : cuts) {
            km::test::WriteAll(path, data.substr(0, cut));
            EXPECT_FALSE(LoadByExtension(path)) << rel << " cut at " << cut;
            EXPECT_EQ(LastError(), c.code) << rel << " cut at " << cut;
        }
    }
    // libpng cannot tell a short file from a bad one; the reader can.
    const std::string png = km::test::ReadAll(kFixtures + "/png/hopper.png");
    km::test::WriteAll(dir.file("cut.png"), png.substr(0, png.size() / 2));
    EXPECT_FALSE(LoadPng(dir.file("cut.png")));
    EXPECT_EQ(LastError(), ErrFileRead);
    std::string damaged = png;
    damaged[damaged.size() / 2] ^= 0x5A; // the data's checksum no longer holds
    km::test::WriteAll(dir.file("bad.png"), damaged);
    EXPECT_FALSE(LoadPng(dir.file("bad.png")));
    EXPECT_EQ(LastError(), ErrPngInternal);
}

TEST(Failures, AJpegClaimingAHugeSizeIsRefusedBeforeDecoding) {
    std::string jpeg = km::test::ReadAll(kFixtures + "/jpeg/hopper.jpg");
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    // Height and width after the marker, length and precision: 60000 each.
    for (size_t i : {sof + 5, sof + 7}) {
        jpeg[i] = static_cast<char>(0xEA);
        jpeg[i + 1] = static_cast<char>(0x60);
    }
    TempDir dir;
    km::test::WriteAll(dir.file("huge.jpg"), jpeg);
    EXPECT_FALSE(LoadJpeg(dir.file("huge.jpg")));
    EXPECT_EQ(LastError(), ErrOutOfMemory);
}

TEST(Progress, ReportsUpToTheTotalAndCanStopEveryLoader) {
    for (const char* rel :
         {"bmp/rgb24.bmp", "gif/transparent.gif", "jpeg/hopper.jpg", "png/hopper.png",
          "tga/ctc24.tga", "pcx/24bit.pcx", "tiff/hopper.tif", "wmf/symbol-font-tables.wmf"}) {
        uint64_t lastDone = 0, lastTotal = 0;
        int calls = 0;
        SetProgressFunction([&](uint64_t done, uint64_t total) {
            EXPECT_GE(done, lastDone) << rel;
            EXPECT_LE(done, total) << rel;
            lastDone = done;
            lastTotal = total;
            ++calls;
            return true;
        });
        EXPECT_TRUE(LoadByExtension(kFixtures + "/" + rel)) << rel;
        EXPECT_GT(calls, 0) << rel;
        EXPECT_EQ(lastDone, lastTotal) << rel;

        SetProgressFunction([](uint64_t, uint64_t) { return false; });
        EXPECT_FALSE(LoadByExtension(kFixtures + "/" + rel)) << rel;
        EXPECT_EQ(LastError(), ErrFileRead) << rel;
    }
    SetProgressFunction(nullptr);
}

TEST(Resize, AveragesWhatEachTargetPixelCovers) {
    PixelBlock b;
    b.width = 4;
    b.height = 2;
    // Left half black and white columns, right half solid red.
    b.pixels = {0, 0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0,
                0, 0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0};
    std::optional<PixelBlock> half = Resize(b, 2, 1);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->width, 2);
    EXPECT_EQ(half->height, 1);
    EXPECT_EQ(rgbAt(*half, 0, 0), 0x808080u);
    EXPECT_EQ(rgbAt(*half, 1, 0), 0xFF0000u);

    std::optional<PixelBlock> grown = Resize(b, 8, 3);
    ASSERT_TRUE(grown);
    EXPECT_EQ(rgbAt(*grown, 0, 2), 0x000000u);
    EXPECT_EQ(rgbAt(*grown, 3, 0), 0xFFFFFFu);
    EXPECT_EQ(rgbAt(*grown, 7, 1), 0xFF0000u);

    EXPECT_FALSE(Resize(b, 0, 5));
    EXPECT_EQ(LastError(), ErrBadParam);
    PixelBlock lying = b;
    lying.height = 3; // more rows than pixels
    EXPECT_FALSE(Resize(lying, 2, 2));
    EXPECT_EQ(LastError(), ErrBadParam);
    EXPECT_FALSE(Resize(b, 65535, 65535));
    EXPECT_EQ(LastError(), ErrOutOfMemory);
}

TEST(ErrorTexts, TableAndUnknownCodes) {
    EXPECT_EQ(ErrorText(1), "Error : out of memory");
    EXPECT_EQ(ErrorText(9), "Bad jpg file");
    EXPECT_EQ(ErrorText(12), "No GIF support..");
    EXPECT_EQ(ErrorText(16), "Internal PNG creation error - possibly bad params");
    EXPECT_EQ(ErrorText(20), "Bad TIF file");
    EXPECT_EQ(ErrorText(14), "Error #14");
    EXPECT_EQ(ErrorText(-3), "Error #-3");
}

} // namespace
