// Compressed streams from any source (gzip, xz, bzip2 or zstd, by their magic; gzip when
// none), decoded whole and in uneven pieces (the last byte picks their size): the verdict
// and, for a stream that ends well, every byte must be the same either way.
#include "archive/tar_gzip/GzipStream.h"

#include <algorithm>
#include <string_view>
#include <cstdint>
#include <cstdlib>
#include <zlib.h>

namespace {

// Bounds what a small input may inflate to; past it the decoder is stopped.
constexpr uint64_t kMaxOutput = 8u << 20;

class Digest : public km::tar::ByteConsumer {
public:
    bool Consume(const uint8_t* data, size_t size) override {
        if (size == 0)
            std::abort(); // the stream never hands out empty pieces
        crc_ = crc32(crc_, data, static_cast<uInt>(size));
        length_ += size;
        return length_ <= kMaxOutput;
    }
    uLong crc() const { return crc_; }
    uint64_t length() const { return length_; }

private:
    uLong crc_ = crc32(0, nullptr, 0);
    uint64_t length_ = 0;
};

using km::tar::StreamStatus;

StreamStatus Decode(km::tar::Compression kind, const uint8_t* data, size_t size, size_t piece,
                    Digest& out) {
    const auto stream = km::tar::MakeDecompressor(kind);
    StreamStatus status = StreamStatus::More;
    for (size_t at = 0; at < size && status == StreamStatus::More; at += piece)
        status = stream->Feed(data + at, std::min(piece, size - at), out);
    return status == StreamStatus::More ? stream->Finish(out) : status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0) {
        size_t length = 0;
        if (km::tar::ParseGzipHeader(data, size, length) == km::tar::GzipHeaderResult::Complete &&
            (length < 10 || length > size))
            std::abort();
    }
    km::tar::Compression kind = km::tar::CompressionOf(
        std::string_view(reinterpret_cast<const char*>(data), std::min<size_t>(size, 8)));
    if (kind == km::tar::Compression::None)
        kind = km::tar::Compression::Gzip;
    Digest whole;
    const StreamStatus a = Decode(kind, data, size, size ? size : 1, whole);
    Digest pieces;
    const StreamStatus b = Decode(kind, data, size, 1 + (size ? data[size - 1] % 64 : 0), pieces);
    if (a == StreamStatus::Stopped || b == StreamStatus::Stopped)
        return 0;
    if (a != b)
        std::abort();
    if (a == StreamStatus::Ended &&
        (whole.crc() != pieces.crc() || whole.length() != pieces.length()))
        std::abort();
    return 0;
}
