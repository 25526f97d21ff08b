#pragma once
// The stream layer under the TAR reader: one interface over the compressions a
// tarball comes in (gzip through zlib, xz through liblzma, bzip2 through libbz2,
// zstd through libzstd), fed pieces of any size. Streams made of several
// members or frames are decoded whole, as the compressors' own tools do.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace km::tar {

enum class Compression { None, Gzip, Xz, Bzip2, Zstd };

// Told by the first bytes, never by the name; None when no known magic starts them.
Compression CompressionOf(std::string_view firstBytes);

class ByteConsumer {
public:
    virtual ~ByteConsumer() = default;
    // False stops the decoder.
    virtual bool Consume(const uint8_t* data, size_t size) = 0;
};

enum class StreamStatus { More, Ended, Stopped, Invalid, NoMemory };

class Decompressor {
public:
    virtual ~Decompressor() = default;
    // Decodes the next piece, handing every output piece (never an empty one) to `out`.
    virtual StreamStatus Feed(const uint8_t* data, size_t size, ByteConsumer& out) = 0;
    // The input has ended: a stream cut short is Invalid. Output still held back
    // goes to `out` first.
    virtual StreamStatus Finish(ByteConsumer& out) = 0;
};

// Requires: kind != None.
std::unique_ptr<Decompressor> MakeDecompressor(Compression kind);

// Output pieces the library decoders hand on.
constexpr size_t kDecodedPieceSize = 64 * 1024;

} // namespace km::tar
