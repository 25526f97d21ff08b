#pragma once
// Where a pass reads its bytes: a file (through libarchive's own file reader, or from an
// offset for an archive behind a self-extractor's stub) or memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct archive;

namespace km {

class OtherSource {
public:
    // The archive starts `start` bytes into the file.
    explicit OtherSource(std::string path, uint64_t start = 0);
    OtherSource(const uint8_t* data, size_t size);
    ~OtherSource();
    OtherSource(const OtherSource&) = delete;
    OtherSource& operator=(const OtherSource&) = delete;

    // archive_read_open_* on the reader; libarchive's result.
    int OpenReader(struct archive* reader) const;
    // Up to `size` bytes at `offset`: fewer at the end, 0 on a read error. For the few
    // headers this bridge reads itself.
    size_t ReadAt(uint64_t offset, uint8_t* out, size_t size) const;

private:
    struct Window; // the file seen from start_ on
    bool openFile() const;

    std::string path_;
    uint64_t start_ = 0;
    mutable std::unique_ptr<Window> window_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool memory_ = false;
    mutable int fd_ = -1;
};

} // namespace km
