// TIFF through libtiff's RGBA interface, which covers every photometric
// interpretation, bit depth and compression libtiff knows. The file is read
// into memory first and handed to libtiff through client procedures.
#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <tiffio.h>

namespace km::imagelib {
namespace {

struct Memory {
    const uint8_t* data;
    size_t size;
    toff_t pos;
};

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
    auto* m = static_cast<Memory*>(h);
    if (size <= 0 || m->pos >= m->size)
        return 0;
    const size_t n = std::min(static_cast<size_t>(size), static_cast<size_t>(m->size - m->pos));
    std::memcpy(buf, m->data + m->pos, n);
    m->pos += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t writeProc(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<Memory*>(h);
    toff_t base = 0;
    if (whence == SEEK_CUR)
        base = m->pos;
    else if (whence == SEEK_END)
        base = m->size;
    if (off > UINT64_MAX - base)
        return static_cast<toff_t>(-1);
    m->pos = base + off;
    return m->pos;
}
int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<Memory*>(h)->size;
}
int mapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, void*, toff_t) {}

int decode(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    // libtiff would print every complaint on the terminal.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    Memory mem{data, size, 0};
    TIFF* tif = TIFFClientOpen("image", "rm", &mem, readProc, writeProc, seekProc, closeProc,
                               sizeProc, mapProc, unmapProc);
    if (!tif)
        return ErrBadTif;
    char message[1024] = "";
    TIFFRGBAImage img;
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&img, tif, 1, message)) {
        TIFFClose(tif);
        return ErrBadTif;
    }
    img.req_orientation = ORIENTATION_TOPLEFT;
    int rc = detail::AllocateBlock(out, img.width, img.height);
    std::vector<uint32_t> raster;
    const uint32_t w = img.width, h = img.height;
    // A band of rows at a time keeps the RGBA buffer small and lets the
    // progress function run.
    const uint32_t band =
        rc == ErrNone ? std::max<uint32_t>(1, std::min<uint32_t>(h, (1u << 20) / w)) : 0;
    if (rc == ErrNone) {
        try {
            raster.resize(static_cast<size_t>(w) * band);
        } catch (const std::bad_alloc&) {
            rc = ErrOutOfMemory;
        }
    }
    for (uint32_t y = 0; rc == ErrNone && y < h; y += band) {
        const uint32_t rows = std::min(band, h - y);
        img.row_offset = static_cast<int>(y);
        img.col_offset = 0;
        if (!TIFFRGBAImageGet(&img, raster.data(), w, rows)) {
            rc = ErrBadTif;
            break;
        }
        for (uint32_t r = 0; r < rows; ++r) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t p = raster[static_cast<size_t>(r) * w + x];
                // The interface hands out colours premultiplied by alpha; put them on white.
                const unsigned back = 255 - TIFFGetA(p);
                detail::PutPixel(out, static_cast<int>(x), static_cast<int>(y + r),
                                 static_cast<uint8_t>(std::min(255u, TIFFGetR(p) + back)),
                                 static_cast<uint8_t>(std::min(255u, TIFFGetG(p) + back)),
                                 static_cast<uint8_t>(std::min(255u, TIFFGetB(p) + back)));
            }
        }
        if (!detail::GoOn(progress, y + rows, h))
            rc = ErrFileRead;
    }
    TIFFRGBAImageEnd(&img);
    TIFFClose(tif);
    return rc;
}

} // namespace

int DecodeTiff(const uint8_t* data, size_t size, PixelBlock& out, const ProgressFn& progress) {
    return decode(data, size, out, progress);
}

std::optional<PixelBlock> LoadTiff(const std::string& path) {
    std::vector<uint8_t> data;
    int rc = detail::ReadWholeFile(path, data);
    PixelBlock block;
    if (rc == ErrNone)
        rc = DecodeTiff(data.data(), data.size(), block, detail::CurrentProgress());
    detail::SetLastError(rc);
    if (rc != ErrNone)
        return std::nullopt;
    return block;
}

} // namespace km::imagelib
