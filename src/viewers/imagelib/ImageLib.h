#pragma once
// The picture viewer's image library: loaders that turn a JPEG, PNG, TIFF,
// GIF, TGA, PCX, BMP or WMF file into a 24-bit pixel block, resize, and the
// library's last-error codes and texts. Plain C++ without Qt; one caller at a
// time (the UI thread).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace km::imagelib {

enum ImageError : int {
    ErrNone = 0,
    ErrOutOfMemory = 1,
    ErrFileOpen = 2,
    ErrFileRead = 3,
    ErrFileWrite = 4,
    ErrBadParam = 5,
    ErrBadBmp = 6,
    ErrRleBmp = 7,
    ErrBadGif = 8,
    ErrBadJpg = 9,
    ErrDevice = 10,
    ErrGetDIBits = 11,
    ErrNoGif = 12,
    ErrResourceNotFound = 13,
    ErrPngInternal = 16,
    ErrInternal = 17,
    ErrFont = 18,
    ErrBadTif = 20,
};

// Rows top first, each pixel red, green, blue; no padding between rows.
struct PixelBlock {
    std::vector<uint8_t> pixels;
    int width = 0;
    int height = 0;

    const uint8_t* at(int x, int y) const {
        return pixels.data() +
               (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    }
};

// Called while a file decodes; answering false stops the load, which then
// fails with ErrFileRead.
using ProgressFn = std::function<bool(uint64_t done, uint64_t total)>;
void SetProgressFunction(ProgressFn fn);

// The code of the last failure (ErrNone after a success).
int LastError();
// The user-visible text for a code; unknown codes give "Error #<code>".
std::string ErrorText(int code);

// Each returns nothing on failure and sets LastError. The path is the file
// system's bytes.
std::optional<PixelBlock> LoadJpeg(const std::string& path);
std::optional<PixelBlock> LoadPng(const std::string& path);
std::optional<PixelBlock> LoadTiff(const std::string& path);
std::optional<PixelBlock> LoadGif(const std::string& path);
std::optional<PixelBlock> LoadTga(const std::string& path);
std::optional<PixelBlock> LoadPcx(const std::string& path);
std::optional<PixelBlock> LoadBmp(const std::string& path);
// Rendered at the size the metafile's header gives, on `background`
// (0xRRGGBB).
std::optional<PixelBlock> LoadWmf(const std::string& path, uint32_t background = 0xFFFFFF);

// Chooses the loader by the path's last four characters (".JPG", ".PNG",
// ".TGA", ".TIF", ".BMP", ".WMF", ".PCX", ".GIF", any case); ErrBadParam for
// any other name.
std::optional<PixelBlock> LoadByExtension(const std::string& path);

// True when the name ends in one of the extensions above (any case): the
// file is shown as a picture rather than as text.
bool IsPictureName(const std::string& name);

// A new block of newWidth x newHeight: each target pixel averages the source
// pixels it covers (a box filter), so shrinking does not alias and growing
// repeats pixels. ErrBadParam for empty sizes.
std::optional<PixelBlock> Resize(const PixelBlock& source, int newWidth, int newHeight);

} // namespace km::imagelib
