#pragma once
// Zstandard frames (any number, skippable ones included) through libzstd.
#include "archive/tar_gzip/Decompressor.h"

#include <vector>
#include <zstd.h>
#include <zstd_errors.h>

namespace km::tar {

class ZstdStream : public Decompressor {
public:
    ZstdStream();
    ~ZstdStream() override;
    ZstdStream(const ZstdStream&) = delete;
    ZstdStream& operator=(const ZstdStream&) = delete;

    StreamStatus Feed(const uint8_t* data, size_t size, ByteConsumer& out) override;
    StreamStatus Finish(ByteConsumer& out) override;

private:
    ZSTD_DStream* stream_;
    StreamStatus status_ = StreamStatus::More;
    bool frameOpen_ = false; // inside a frame: the input must go on
    bool anyInput_ = false;
    std::vector<uint8_t> output_;
};

} // namespace km::tar
