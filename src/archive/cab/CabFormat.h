#pragma once
// The on-disk records of a cabinet file (header, folders, files, data block headers), parsed
// from byte spans with every length and offset checked. Results are FDI error codes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace km::cab {

constexpr size_t kCabFixedHeaderSize = 36;
constexpr uint16_t kFlagPrevCabinet = 0x0001;
constexpr uint16_t kFlagNextCabinet = 0x0002;
constexpr uint16_t kFlagReservePresent = 0x0004;

// Special folder indices of a file record.
constexpr uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr uint16_t kFolderContinuedPrevAndNext = 0xFFFF;

constexpr uint16_t kCompressionMask = 0x000F;
constexpr uint16_t kCompressionNone = 0;
constexpr uint16_t kCompressionMszip = 1;
constexpr uint16_t kCompressionQuantum = 2;
constexpr uint16_t kCompressionLzx = 3;

// Largest uncompressed size of one data block.
constexpr uint32_t kMaxBlockUncompressed = 32768;

struct CabHeader {
    uint32_t cabinetSize = 0;
    uint32_t filesOffset = 0;
    uint8_t versionMinor = 0;
    uint8_t versionMajor = 0;
    uint16_t folderCount = 0;
    uint16_t fileCount = 0;
    uint16_t flags = 0;
    uint16_t setId = 0;
    uint16_t cabinetIndex = 0;
    uint16_t headerReserve = 0;
    uint8_t folderReserve = 0;
    uint8_t dataReserve = 0;
    std::string prevCabinet, prevDisk, nextCabinet, nextDisk;
    size_t foldersOffset = 0; // where the folder records start
};

struct CabFolder {
    uint32_t dataOffset = 0;
    uint16_t blockCount = 0;
    uint16_t compression = 0;
};

struct CabFileRecord {
    uint32_t size = 0;
    uint32_t folderOffset = 0;
    uint16_t folder = 0; // as stored, including the continuation markers
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;
    std::string name;
};

struct CabDataHeader {
    uint32_t checksum = 0;
    uint16_t compressedSize = 0;
    uint16_t uncompressedSize = 0;
};

// The fixed part and the variable part of the header. `size` may cover just the header.
int ParseCabHeader(const uint8_t* data, size_t size, CabHeader& out);

// Folder and file records of a cabinet whose first `size` bytes are `data`.
int ParseCabDirectory(const uint8_t* data, size_t size, const CabHeader& header,
                      std::vector<CabFolder>& folders, std::vector<CabFileRecord>& files);

// The folder a file's data is in: the continuation markers name the first or last folder.
size_t FolderIndexOf(const CabFileRecord& file, const CabHeader& header);

// The 8-byte fixed part of a data block header (its reserve area follows).
CabDataHeader ParseDataHeader(const uint8_t* data);

} // namespace km::cab
