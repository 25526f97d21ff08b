// PNG through libpng, from the file's bytes in memory. Every colour type is
// expanded to 8-bit RGBA and composed on white. libpng reports errors by a
// long jump, so the buffers live in the caller.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <cstring>
#include <new>
#include <png.h>

namespace km::imagelib {
namespace {

struct Source {
    const uint8_t* data;
    size_t size;
    size_t pos;
    bool truncated;
};

void readBytes(png_structp png, png_bytep target, png_size_t length) {
    auto* src = static_cast<Source*>(png_get_io_ptr(png));
    if (length > src->size - src->pos) {
        src->truncated = true;
        png_error(png, "truncated");
    }
    std::memcpy(target, src->data + src->pos, length);
    src->pos += length;
}

void quiet(png_structp, png_const_charp) {}

int decode(const uint8_t* data, size_t size, PixelBlock& out, std::vector<uint8_t>& rgba,
           const ProgressFn& progress) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0)
        return ErrPngInternal;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quiet, quiet);
    if (!png)
        return ErrPngInternal;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return ErrPngInternal;
    }
    Source src{data, size, 0, false};
    // Set before the jump point so a long jump finds it as it was.
    volatile int rc = ErrNone;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return rc != ErrNone ? rc : src.truncated ? ErrFileRead : ErrPngInternal;
    }
    png_set_read_fn(png, &src, readBytes);
    // Sizes are checked below, against our own limits.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    png_read_info(png, info);
    const png_uint_32 w = png_get_image_width(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const int type = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    rc = detail::AllocateBlock(out, w, h);
    if (rc == ErrNone) {
        try {
            rgba.resize(static_cast<size_t>(w) * h * 4);
        } catch (const std::bad_alloc&) {
            rc = ErrOutOfMemory;
        }
    }
    if (rc != ErrNone) {
        png_destroy_read_struct(&png, &info, nullptr);
        return rc;
    }
    const uint64_t total = static_cast<uint64_t>(passes) * h;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(png, rgba.data() + static_cast<size_t>(y) * w * 4, nullptr);
            if (!detail::GoOn(progress, static_cast<uint64_t>(pass) * h + y + 1, total)) {
                png_destroy_read_struct(&png, &info, nullptr);
                return ErrFileRead;
            }
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);

    const size_t pixels = static_cast<size_t>(w) * h;
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* p = rgba.data() + i * 4;
        const unsigned a = p[3];
        for (int c = 0; c < 3; ++c)
            out.pixels[i * 3 + static_cast<size_t>(c)] =
                static_cast<uint8_t>((p[c] * a + 255 * (255 - a) + 127) / 255);
    }
    return ErrNone;
}

} // namespace

int DecodePng(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    std::vector<uint8_t> rgba;
    return decode(data, size, out, rgba, progress);
}

std::optional<PixelBlock> LoadPng(const std::string& path) {
    std::vector<uint8_t> data;
    int rc = detail::ReadWholeFile(path, data);
    PixelBlock block;
    if (rc == ErrNone)
        rc = DecodePng(data.data(), data.size(), block, detail::CurrentProgress());
    detail::SetLastError(rc);
    if (rc != ErrNone)
        return std::nullopt;
    return block;
}

} // namespace km::imagelib
