#pragma once
// xz streams (and several of them one after the other) through liblzma.
#include "archive/tar_gzip/Decompressor.h"

#include <lzma.h>
#include <vector>

namespace km::tar {

class XzStream : public Decompressor {
public:
    XzStream();
    ~XzStream() override;
    XzStream(const XzStream&) = delete;
    XzStream& operator=(const XzStream&) = delete;

    StreamStatus Feed(const uint8_t* data, size_t size, ByteConsumer& out) override;
    StreamStatus Finish(ByteConsumer& out) override;

private:
    StreamStatus Run(lzma_action action, ByteConsumer& out);

    lzma_stream stream_ = LZMA_STREAM_INIT;
    bool ready_ = false;
    StreamStatus status_ = StreamStatus::More;
    std::vector<uint8_t> output_;
};

} // namespace km::tar
