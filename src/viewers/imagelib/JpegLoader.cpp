// JPEG through libjpeg, from the file's bytes in memory. libjpeg reports
// fatal errors by a long jump, so everything with a destructor lives in the
// caller and the jumping function holds plain data only.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>

namespace km::imagelib {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    bool truncated;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    // A file that ends early decodes to grey without this: call it damaged.
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
        err->truncated = true;
}

void silent(j_common_ptr) {}

int decode(const uint8_t* data, size_t size, PixelBlock& out, std::vector<uint8_t>& row,
           const ProgressFn& progress) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.emit_message = onMessage;
    err.base.output_message = silent;
    err.truncated = false;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return ErrBadJpg;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return ErrBadJpg;
    }
    // A progressive file makes libjpeg hold the whole image: refuse absurd
    // sizes before it allocates anything.
    if (!detail::SizeAllowed(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        return ErrOutOfMemory;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    int rc = detail::AllocateBlock(out, cinfo.output_width, cinfo.output_height);
    if (rc == ErrNone && cmyk) {
        if (row.max_size() / 4 < cinfo.output_width)
            rc = ErrOutOfMemory;
        else
            row.resize(static_cast<size_t>(cinfo.output_width) * 4);
    }
    while (rc == ErrNone && cinfo.output_scanline < cinfo.output_height) {
        const JDIMENSION y = cinfo.output_scanline;
        uint8_t* target =
            cmyk ? row.data() : out.pixels.data() + static_cast<size_t>(y) * out.width * 3;
        JSAMPROW rows[1] = {target};
        jpeg_read_scanlines(&cinfo, rows, 1);
        if (cmyk) {
            // Adobe writes CMYK inverted, which is what nearly every such file is.
            for (int x = 0; x < out.width; ++x) {
                const uint8_t* p = row.data() + x * 4;
                detail::PutPixel(out, x, static_cast<int>(y),
                                 static_cast<uint8_t>(p[0] * p[3] / 255),
                                 static_cast<uint8_t>(p[1] * p[3] / 255),
                                 static_cast<uint8_t>(p[2] * p[3] / 255));
            }
        }
        if (err.truncated)
            rc = ErrBadJpg;
        else if (!detail::GoOn(progress, cinfo.output_scanline, cinfo.output_height))
            rc = ErrFileRead;
    }
    if (rc == ErrNone)
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (rc == ErrNone && err.truncated)
        rc = ErrBadJpg;
    return rc;
}

} // namespace

int DecodeJpeg(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    if (size == 0)
        return ErrBadJpg;
    std::vector<uint8_t> row;
    return decode(data, size, out, row, progress);
}

std::optional<PixelBlock> LoadJpeg(const std::string& path) {
    std::vector<uint8_t> data;
    int rc = detail::ReadWholeFile(path, data);
    PixelBlock block;
    if (rc == ErrNone)
        rc = DecodeJpeg(data.data(), data.size(), block, detail::CurrentProgress());
    detail::SetLastError(rc);
    if (rc != ErrNone)
        return std::nullopt;
    return block;
}

} // namespace km::imagelib
