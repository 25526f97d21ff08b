#pragma once
// Field decoding of one 512-byte TAR header block and of pax extended-header records.
// Functions over bytes, so they are tested and fuzzed without files.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace km::tar {

constexpr size_t kTarBlockSize = 512;

// One stretch of a sparse file's data; what lies between stretches is a hole.
struct SparseChunk {
    uint64_t offset = 0;
    uint64_t size = 0;
};
using SparseMap = std::vector<SparseChunk>;

struct TarHeader {
    std::string name;   // name field, with the ustar prefix joined in front when there is one
    uint64_t size = 0;  // data length; 0 when the field holds no number
    int64_t mtime = -1; // seconds since 1970 UTC; -1 when the field is not a valid time
    char typeFlag = '0';
    int mode = -1;        // permission bits; -1 when the field holds no number
    std::string linkName; // target of a link entry ('1' hard, '2' symbolic)
    // Old GNU sparse entries ('S'): the chunks in the header, whether extension
    // blocks with more follow it, and the file's real length.
    SparseMap sparse;
    bool sparseExtended = false;
    uint64_t realSize = 0;
    // False when the size, mode or sparse numbers are not numbers: the header is damaged.
    bool numbersValid = true;
};

// A number field, never read past its end: octal digits with blanks or zero bytes before and
// after them (an empty field is 0). GNU's base-256 form (first byte 0x80) is read too, so
// entries of 8 GiB and more keep their size. False when the field holds anything else, a
// negative base-256 value, or a value that does not fit.
bool ParseTarNumber(const uint8_t* field, size_t length, uint64_t& value);

// The modification time by the stricter rule: leading blanks, up to 12 octal digits, which
// must be followed by a zero byte, a blank or the end of the field; otherwise -1.
int64_t ParseTarTime(const uint8_t* field, size_t length);

// The stored checksum equals the sum of the block with the checksum bytes counted as blanks.
// Some old writers summed signed bytes; that sum is accepted as well.
// Requires: `block` holds kTarBlockSize bytes.
bool TarChecksumMatches(const uint8_t* block);

bool IsZeroBlock(const uint8_t* block);

// Requires: `block` holds kTarBlockSize bytes.
TarHeader ParseTarHeader(const uint8_t* block);

// Reads the chunks of an old GNU sparse extension block; true when another follows.
// Requires: `block` holds kTarBlockSize bytes.
bool ParseSparseExtension(const uint8_t* block, SparseMap& map);

// The values of a pax extended header ("LEN key=value\n" records) that matter here.
struct PaxValues {
    std::optional<std::string> path;
    std::optional<std::string> linkPath;
    std::optional<uint64_t> size;
    std::optional<int64_t> mtime;
    long mtimeNanoseconds = 0;
    // GNU sparse files: version 1.0 keeps the map at the start of the data;
    // 0.1 ("map") and 0.0 (offset/numbytes pairs) keep it here.
    int sparseMajor = -1;
    std::optional<std::string> sparseName;
    std::optional<uint64_t> sparseRealSize;
    SparseMap sparseMap;
    bool sparseMapGiven = false;
};

// False when a record is malformed; the values read before it are kept.
bool ParsePaxRecords(const uint8_t* data, size_t size, PaxValues& out);

enum class SparseMapResult { NeedMore, Invalid, Complete };

// The version 1.0 map at the start of a sparse file's data: a count and then
// offset and size pairs, one decimal number per line. On Complete `length` is
// the bytes the text took (the data proper starts at the next block boundary).
SparseMapResult ParseSparseMapText(const uint8_t* data, size_t size, SparseMap& map,
                                   size_t& length);

// The chunks are in order, do not overlap, lie inside `realSize` and hold
// `stored` bytes in all: only then can the data be placed.
bool SparseMapFits(const SparseMap& map, uint64_t realSize, uint64_t stored);

} // namespace km::tar
