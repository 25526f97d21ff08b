#pragma once
// Where a pass reads its bytes: a file (through libarchive's own file reader) or memory.
#include <cstddef>
#include <cstdint>
#include <string>

struct archive;

namespace km {

class OtherSource {
public:
    explicit OtherSource(std::string path) : path_(std::move(path)) {}
    OtherSource(const uint8_t* data, size_t size) : data_(data), size_(size), memory_(true) {}
    ~OtherSource();
    OtherSource(const OtherSource&) = delete;
    OtherSource& operator=(const OtherSource&) = delete;

    // archive_read_open_* on the reader; libarchive's result.
    int OpenReader(struct archive* reader) const;
    // Up to `size` bytes at `offset`: fewer at the end, 0 on a read error. For the few
    // headers this bridge reads itself.
    size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) const;

private:
    std::string path_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool memory_ = false;
    mutable int fd_ = -1;
};

} // namespace km
