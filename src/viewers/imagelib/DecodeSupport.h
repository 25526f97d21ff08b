#pragma once
// What the decoders share: little-endian reads that check the bounds, the
// size limits and the allocation of the output block.
#include "viewers/imagelib/ImageLib.h"

#include <cstddef>
#include <cstdint>

namespace km::imagelib::detail {

// No picture this viewer shows needs more: 64 Mi pixels are 192 MiB of
// block, twice that while the window copies it. Larger claims in a header
// are refused, not allocated.
constexpr int kMaxDimension = 65535;
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

// The pixel limit in force, kMaxPixels unless lowered; the fuzz targets lower
// it so that hostile headers do not spend the run allocating.
uint64_t& PixelLimit();

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t size() const { return size_; }
    size_t pos() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool has(size_t n) const { return n <= size_ - pos_; }
    const uint8_t* here() const { return data_ + pos_; }
    // False (and the position unchanged) when `offset` lies past the end.
    bool seek(size_t offset) {
        if (offset > size_)
            return false;
        pos_ = offset;
        return true;
    }
    bool skip(size_t n) {
        if (!has(n))
            return false;
        pos_ += n;
        return true;
    }
    bool u8(uint8_t& v) {
        if (!has(1))
            return false;
        v = data_[pos_++];
        return true;
    }
    bool u16(uint16_t& v) {
        if (!has(2))
            return false;
        v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (!has(4))
            return false;
        v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
            static_cast<uint32_t>(data_[pos_ + 2]) << 16 |
            static_cast<uint32_t>(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return true;
    }
    bool i16(int16_t& v) {
        uint16_t u;
        if (!u16(u))
            return false;
        v = static_cast<int16_t>(u);
        return true;
    }
    bool i32(int32_t& v) {
        uint32_t u;
        if (!u32(u))
            return false;
        v = static_cast<int32_t>(u);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Whether a block of width x height is within the limits, without allocating.
bool SizeAllowed(int64_t width, int64_t height);

// Sizes `out` for width x height (both > 0) and clears it to `fill`
// (0xRRGGBB). ErrOutOfMemory for sizes past the limits or when the memory
// is not there.
int AllocateBlock(PixelBlock& out, int64_t width, int64_t height, uint32_t fill = 0);

// Asks the progress function; false when it wants the load stopped.
inline bool GoOn(const ProgressFn& progress, uint64_t done, uint64_t total) {
    return !progress || progress(done, total);
}

inline void PutPixel(PixelBlock& b, int x, int y, uint8_t r, uint8_t g, uint8_t bl) {
    uint8_t* p =
        b.pixels.data() +
        (static_cast<size_t>(y) * static_cast<size_t>(b.width) + static_cast<size_t>(x)) * 3;
    p[0] = r;
    p[1] = g;
    p[2] = bl;
}

// Reads a whole file through the C library (the path is the file system's
// bytes). ErrFileOpen or ErrFileRead on failure, ErrOutOfMemory for files
// larger than any picture this library takes.
int ReadWholeFile(const std::string& path, std::vector<uint8_t>& data);

// The progress function set for the library.
const ProgressFn& CurrentProgress();
void SetLastError(int code);

} // namespace km::imagelib::detail
