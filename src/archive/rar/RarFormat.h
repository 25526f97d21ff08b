#pragma once
// The block structure of RAR 1.5 to 2.x archives, read from any byte source.
#include <cstddef>
#include <cstdint>
#include <string>

namespace km::rar {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `count` bytes at `offset`; fewer only at the end.
    virtual size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t count) = 0;
    virtual uint64_t Size() const = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t ReadAt(uint64_t offset, uint8_t* buffer, size_t count) override;
    uint64_t Size() const override { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
};

constexpr uint16_t kMainVolume = 0x01;
constexpr uint16_t kMainSolid = 0x08;
constexpr uint8_t kHostUnix = 3; // its file attributes are a Unix mode
constexpr uint16_t kFileContinued = 0x01;
constexpr uint16_t kFileEncrypted = 0x04;
constexpr uint16_t kFileSolid = 0x10;

struct FileHeader {
    uint64_t packSize = 0;
    uint64_t unpSize = 0;
    uint8_t hostOs = 0;
    uint32_t crc = 0;
    uint32_t dosTime = 0;
    uint8_t unpVer = 0;
    uint8_t method = 0;
    uint16_t flags = 0;
    uint32_t attributes = 0;
    std::string name;
    uint64_t dataOffset = 0;
    bool isDirectory = false;
};

enum class BlockStatus { File, Other, End, Corrupt };

// Where a RAR archive begins in `data`: its marker and a main header, at 0 or,
// in a self-extractor, behind the program; SIZE_MAX when there is none.
size_t FindRarArchiveStart(const uint8_t* data, size_t size);

// How far into a file the search goes: self-extractors' programs are smaller.
constexpr size_t kRarStubSearch = 1024 * 1024;

class BlockReader {
public:
    explicit BlockReader(ByteSource& source) : source_(source) {}
    // Finds the marker and checks the main header; false for anything else. A volume archive opens
    // (Volume() tells) so the caller can refuse it with its own message.
    bool Open();
    bool Volume() const { return (mainFlags_ & kMainVolume) != 0; }
    bool Solid() const { return (mainFlags_ & kMainSolid) != 0; }
    // Reads the block at the current position and moves past it (and its data).
    BlockStatus Next(FileHeader& file);

private:
    ByteSource& source_;
    uint16_t mainFlags_ = 0;
    uint64_t pos_ = 0;
};

} // namespace km::rar
