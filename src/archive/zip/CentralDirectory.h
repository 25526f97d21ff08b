#pragma once
// Central-directory and local headers of the ZIP application note, decoded from bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace km::zip {

constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kMaxNameLength = 1023;
// "Version made by" hosts whose external attributes carry a Unix mode.
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostMacOsX = 19;
// General-purpose flag bit 11: the name (and comment) are UTF-8.
constexpr uint16_t kUtf8NameFlag = 0x800;

struct ZipEntry {
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint32_t diskStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint64_t localHeaderOffset = 0;
    std::string name;  // '/' separators, at most kMaxNameLength bytes
    std::string extra; // as stored

    bool encrypted() const { return (flags & 1) != 0; }
    bool hasDataDescriptor() const { return (flags & 8) != 0; }
};

// What an entry made on a Unix-like host keeps in the high half of its external attributes.
struct UnixMode {
    bool isLink = false;
    int permissions = -1; // -1: none stored
};
UnixMode UnixModeOf(const ZipEntry& entry);

struct CentralLengths {
    uint16_t name = 0;
    uint16_t extra = 0;
    uint16_t comment = 0;
};

// Decodes the 46 fixed bytes at p; false when they do not start with the central signature.
bool ParseCentralHeader(const uint8_t* p, ZipEntry* entry, CentralLengths* lengths);

// Replaces the saturated sizes, offset and disk by the values of the ZIP64 extra block.
void ApplyZip64Extra(std::string_view extra, ZipEntry* entry);

// `extra` without its ZIP64 block (which a writer builds anew for new offsets).
std::string WithoutZip64Extra(std::string_view extra);

// The central header of `entry` (its sizes and offset 64-bit), with a ZIP64 block in front of
// `otherExtra` exactly when a size or the offset does not fit 32 bits; version needed then
// becomes at least 4.5. The disk is the entry's own (split sets count far below 65,535).
std::string BuildCentralHeader(const ZipEntry& entry, std::string_view name,
                               std::string_view otherExtra, std::string_view comment);

// The name of an Info-ZIP Unicode path block (0x7075) when its CRC says it belongs to
// rawName; false otherwise.
bool UnicodePathName(std::string_view extra, std::string_view rawName, std::string* name);

// The modification time (seconds since 1970, UTC) of an Info-ZIP extended timestamp block
// (0x5455); false when there is none or it holds no modification time.
bool ExtendedMtime(std::string_view extra, int64_t* mtime);

// An extended timestamp block with only the modification time; empty when the time does
// not fit its signed 32 bits (the DOS time then stands alone).
std::string ExtendedTimestampBlock(int64_t mtime);

// True for entries made on MS-DOS, Windows NTFS or VFAT hosts, whose names use '\' as a
// separator and may start with a drive.
bool DosNamedHost(unsigned versionMadeBy);

// Stored name as the engine keeps it, at most 1023 bytes: '/' separates, and so does '\'
// in names from DOS-named hosts; elsewhere '\' is a name character like any other.
std::string NormaliseStoredName(std::string_view raw, unsigned versionMadeBy);

struct LocalHeader {
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
};

// Decodes the 30 fixed bytes at p; false when they do not start with the local signature.
bool ParseLocalHeader(const uint8_t* p, LocalHeader* header);

} // namespace km::zip
