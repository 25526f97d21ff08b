// GZIP streams from any source, decoded whole and in uneven pieces (the first byte picks their
// size): the verdict and, for a stream that ends well, every byte must be the same either way.
#include "archive/tar_gzip/GzipStream.h"

#include <algorithm>
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

km::tar::GzipStatus Decode(const uint8_t* data, size_t size, size_t piece, Digest& out) {
    km::tar::GzipStream stream;
    km::tar::GzipStatus status = km::tar::GzipStatus::More;
    for (size_t at = 0; at < size && status == km::tar::GzipStatus::More; at += piece)
        status = stream.Feed(data + at, std::min(piece, size - at), out);
    return status == km::tar::GzipStatus::More ? stream.Finish() : status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0) {
        size_t length = 0;
        if (km::tar::ParseGzipHeader(data, size, length) == km::tar::GzipHeaderResult::Complete &&
            (length < 10 || length > size))
            std::abort();
    }
    Digest whole;
    const km::tar::GzipStatus a = Decode(data, size, size ? size : 1, whole);
    Digest pieces;
    const km::tar::GzipStatus b = Decode(data, size, 1 + (size ? data[0] % 64 : 0), pieces);
    if (a == km::tar::GzipStatus::Stopped || b == km::tar::GzipStatus::Stopped)
        return 0;
    if (a != b)
        std::abort();
    if (a == km::tar::GzipStatus::Ended &&
        (whole.crc() != pieces.crc() || whole.length() != pieces.length()))
        std::abort();
    return 0;
}
