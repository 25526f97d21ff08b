#include "viewers/imagelib/ImageLib.h"

#include "viewers/imagelib/DecodeSupport.h"
#include "viewers/imagelib/Decoders.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace km::imagelib {
namespace detail {
namespace {

ProgressFn& progressSlot() {
    static ProgressFn fn;
    return fn;
}
int lastError = ErrNone;

// A compressed picture of the largest size we take fits well below this.
constexpr off_t kMaxFileSize = 1024ll * 1024 * 1024;

} // namespace

const ProgressFn& CurrentProgress() {
    return progressSlot();
}

uint64_t& PixelLimit() {
    static uint64_t limit = kMaxPixels;
    return limit;
}
void SetLastError(int code) {
    lastError = code;
}

bool SizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxDimension && height <= kMaxDimension &&
           static_cast<uint64_t>(width) * static_cast<uint64_t>(height) <= PixelLimit();
}

int AllocateBlock(PixelBlock& out, int64_t width, int64_t height, uint32_t fill) {
    if (!SizeAllowed(width, height))
        return ErrOutOfMemory;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    try {
        out.pixels.assign(pixels * 3, 0);
    } catch (const std::bad_alloc&) {
        out.pixels.clear();
        return ErrOutOfMemory;
    }
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    if (fill != 0) {
        const uint8_t rgb[3] = {static_cast<uint8_t>(fill >> 16), static_cast<uint8_t>(fill >> 8),
                                static_cast<uint8_t>(fill)};
        for (size_t i = 0; i < out.pixels.size(); ++i)
            out.pixels[i] = rgb[i % 3];
    }
    return ErrNone;
}

int ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ErrFileOpen;
    struct stat st {};
    int rc = ErrNone;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        rc = ErrFileOpen;
    } else if (st.st_size > kMaxFileSize) {
        rc = ErrOutOfMemory;
    } else {
        try {
            data.resize(static_cast<size_t>(st.st_size));
        } catch (const std::bad_alloc&) {
            rc = ErrOutOfMemory;
        }
    }
    size_t got = 0;
    while (rc == ErrNone && got < data.size()) {
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // A file that shrank while we read is as unreadable as an I/O error.
            rc = ErrFileRead;
            break;
        }
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (rc != ErrNone)
        data.clear();
    return rc;
}

} // namespace detail

void SetProgressFunction(ProgressFn fn) {
    detail::progressSlot() = std::move(fn);
}

int LastError() {
    return detail::lastError;
}

std::string ErrorText(int code) {
    switch (code) {
    case ErrOutOfMemory:
        return "Error : out of memory";
    case ErrFileOpen:
        return "Error on file open";
    case ErrFileRead:
        return "Error on file read";
    case ErrFileWrite:
        return "Error on file write";
    case ErrBadParam:
        return "Bad user param";
    case ErrBadBmp:
        return "Bad BMP file";
    case ErrRleBmp:
        return "We don't do RLE BMP files";
    case ErrBadGif:
        return "Bad GIF file";
    case ErrBadJpg:
        return "Bad jpg file";
    case ErrDevice:
        return "Device error";
    case ErrGetDIBits:
        return "GetDIBits error";
    case ErrNoGif:
        return "No GIF support..";
    case ErrResourceNotFound:
        return "Resource Not Found";
    case ErrPngInternal:
        return "Internal PNG creation error - possibly bad params";
    case ErrInternal:
        return "Internal image library error";
    case ErrFont:
        return "Font creation error";
    case ErrBadTif:
        return "Bad TIF file";
    default:
        return "Error #" + std::to_string(code);
    }
}

namespace {

using Decoder = int (*)(const uint8_t*, size_t, PixelBlock&, const ProgressFn&);

std::optional<PixelBlock> loadWith(const std::string& path, Decoder decode) {
    std::vector<uint8_t> data;
    int rc = detail::ReadWholeFile(path, data);
    PixelBlock block;
    if (rc == ErrNone)
        rc = decode(data.data(), data.size(), block, detail::CurrentProgress());
    detail::SetLastError(rc);
    if (rc != ErrNone)
        return std::nullopt;
    return block;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

} // namespace

std::optional<PixelBlock> LoadGif(const std::string& path) {
    return loadWith(path, DecodeGif);
}
std::optional<PixelBlock> LoadTga(const std::string& path) {
    return loadWith(path, DecodeTga);
}
std::optional<PixelBlock> LoadPcx(const std::string& path) {
    return loadWith(path, DecodePcx);
}
std::optional<PixelBlock> LoadBmp(const std::string& path) {
    return loadWith(path, DecodeBmp);
}

std::optional<PixelBlock> LoadWmf(const std::string& path, uint32_t background) {
    std::vector<uint8_t> data;
    int rc = detail::ReadWholeFile(path, data);
    PixelBlock block;
    if (rc == ErrNone)
        rc = RenderWmf(data.data(), data.size(), background, block, detail::CurrentProgress());
    detail::SetLastError(rc);
    if (rc != ErrNone)
        return std::nullopt;
    return block;
}

std::optional<PixelBlock> LoadByExtension(const std::string& path) {
    std::string tail;
    if (path.size() >= 4)
        for (char c : path.substr(path.size() - 4))
            tail += lower(c);
    if (tail == ".jpg")
        return LoadJpeg(path);
    if (tail == ".png")
        return LoadPng(path);
    if (tail == ".tga")
        return LoadTga(path);
    if (tail == ".tif")
        return LoadTiff(path);
    if (tail == ".bmp")
        return LoadBmp(path);
    if (tail == ".wmf")
        return LoadWmf(path, 0xFFFFFF);
    if (tail == ".pcx")
        return LoadPcx(path);
    if (tail == ".gif")
        return LoadGif(path);
    detail::SetLastError(ErrBadParam);
    return std::nullopt;
}

std::optional<PixelBlock> Resize(const PixelBlock& source, int newWidth, int newHeight) {
    if (source.width <= 0 || source.height <= 0 || newWidth <= 0 || newHeight <= 0 ||
        source.pixels.size() !=
            static_cast<size_t>(source.width) * static_cast<size_t>(source.height) * 3) {
        detail::SetLastError(ErrBadParam);
        return std::nullopt;
    }
    PixelBlock out;
    if (int rc = detail::AllocateBlock(out, newWidth, newHeight); rc != ErrNone) {
        detail::SetLastError(rc);
        return std::nullopt;
    }
    const int64_t sw = source.width, sh = source.height;
    // Column spans are the same for every row; work them out once.
    std::vector<int> x0(static_cast<size_t>(newWidth)), x1(static_cast<size_t>(newWidth));
    for (int x = 0; x < newWidth; ++x) {
        const int64_t a = x * sw / newWidth;
        const int64_t b = ((x + 1) * sw + newWidth - 1) / newWidth;
        x0[static_cast<size_t>(x)] = static_cast<int>(a);
        x1[static_cast<size_t>(x)] = static_cast<int>(b > a ? b : a + 1);
    }
    for (int y = 0; y < newHeight; ++y) {
        const int64_t ya = y * sh / newHeight;
        int64_t yb = ((y + 1) * sh + newHeight - 1) / newHeight;
        if (yb <= ya)
            yb = ya + 1;
        for (int x = 0; x < newWidth; ++x) {
            uint64_t sum[3] = {0, 0, 0};
            const int xa = x0[static_cast<size_t>(x)], xb = x1[static_cast<size_t>(x)];
            for (int64_t sy = ya; sy < yb; ++sy) {
                const uint8_t* p = source.at(xa, static_cast<int>(sy));
                for (int sx = xa; sx < xb; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const uint64_t n = static_cast<uint64_t>((yb - ya) * (xb - xa));
            detail::PutPixel(out, x, y, static_cast<uint8_t>((sum[0] + n / 2) / n),
                             static_cast<uint8_t>((sum[1] + n / 2) / n),
                             static_cast<uint8_t>((sum[2] + n / 2) / n));
        }
    }
    detail::SetLastError(ErrNone);
    return out;
}

bool IsPictureName(const std::string& name) {
    static const char* exts[] = {".jpg", ".png", ".tga", ".tif", ".wmf", ".pcx", ".gif", ".bmp"};
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& ch : tail)
        ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
    for (const char* e : exts) {
        if (tail == e)
            return true;
    }
    return false;
}

} // namespace km::imagelib
