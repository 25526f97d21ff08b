#pragma once
// bzip2 streams through libbz2. A stream that follows a complete one is decoded
// too (pbzip2 and "cat a.bz2 b.bz2" make them); other trailing bytes are
// ignored, as bunzip2 does.
#include "archive/tar_gzip/Decompressor.h"

#include <bzlib.h>
#include <vector>

namespace km::tar {

class Bzip2Stream : public Decompressor {
public:
    Bzip2Stream();
    ~Bzip2Stream() override;
    Bzip2Stream(const Bzip2Stream&) = delete;
    Bzip2Stream& operator=(const Bzip2Stream&) = delete;

    StreamStatus Feed(const uint8_t* data, size_t size, ByteConsumer& out) override;
    StreamStatus Finish(ByteConsumer& out) override;

private:
    size_t FeedMagic(const uint8_t* data, size_t size, ByteConsumer& out);
    size_t FeedBody(const uint8_t* data, size_t size, ByteConsumer& out);
    void EndStream();

    bz_stream stream_{};
    bool ready_ = false;    // inside a stream
    bool complete_ = false; // at least one stream ended well
    StreamStatus status_ = StreamStatus::More;
    std::vector<uint8_t> magic_; // the start of the next stream, gathered across pieces
    std::vector<uint8_t> output_;
};

} // namespace km::tar
