#pragma once
// What the decoders read from and write to, and the LSB-first bit reader that shrink and
// implode share.
#include <cstddef>
#include <cstdint>

namespace km::zip {

enum class DecodeStatus {
    Ok,
    Corrupt,   // the data breaks the method's rules
    Truncated, // the data ended before the entry was complete
    OutOfMemory,
    Stopped, // the sink refused more (cancelled, or the write failed)
};

class ZipByteSource {
public:
    virtual ~ZipByteSource() = default;
    // Up to `max` bytes; 0 only at the end of the data (or when reading failed).
    virtual size_t Read(uint8_t* dst, size_t max) = 0;
};

class ZipByteSink {
public:
    virtual ~ZipByteSink() = default;
    // False stops the decoder.
    virtual bool Write(const uint8_t* data, size_t length) = 0;
};

class LsbBitReader {
public:
    explicit LsbBitReader(ZipByteSource& in) : in_(in) {}
    // Reads `count` (at most 24) bits, first bit lowest; false when the input has ended.
    bool Bits(unsigned count, uint32_t* value);

private:
    bool fill(unsigned count);

    ZipByteSource& in_;
    uint8_t buf_[4096];
    size_t at_ = 0;
    size_t end_ = 0;
    uint64_t bits_ = 0;
    unsigned have_ = 0;
};

// Method 0: copies exactly `size` bytes.
DecodeStatus CopyStored(ZipByteSource& in, ZipByteSink& out, uint64_t size);

} // namespace km::zip
