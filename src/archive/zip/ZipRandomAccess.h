#pragma once
// Positioned reads over one volume of an archive (a file or a memory image).
#include <cstddef>
#include <cstdint>

namespace km::zip {

class ZipRandomAccess {
public:
    virtual ~ZipRandomAccess() = default;
    virtual uint64_t Size() const = 0;
    // False when fewer than `length` bytes could be read at `offset`.
    virtual bool ReadAt(uint64_t offset, uint8_t* dst, size_t length) = 0;
};

class ZipMemoryAccess : public ZipRandomAccess {
public:
    ZipMemoryAccess(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, uint8_t* dst, size_t length) override;

private:
    const uint8_t* data_;
    size_t size_;
};

} // namespace km::zip
