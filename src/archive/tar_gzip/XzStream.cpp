#include "archive/tar_gzip/XzStream.h"

#include <algorithm>

namespace km::tar {

namespace {

// Far above what xz -9 needs (65 MiB); a header asking for more is refused
// rather than allowed to take the machine's memory.
constexpr uint64_t kMemoryLimit = 1ull << 30;

StreamStatus StatusOf(lzma_ret rc) {
    switch (rc) {
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR:
        return StreamStatus::NoMemory;
    default:
        return StreamStatus::Invalid;
    }
}

} // namespace

XzStream::XzStream() : output_(kDecodedPieceSize) {
    const lzma_ret rc = lzma_stream_decoder(&stream_, kMemoryLimit, LZMA_CONCATENATED);
    ready_ = rc == LZMA_OK;
    if (!ready_)
        status_ = StatusOf(rc);
}

XzStream::~XzStream() {
    if (ready_)
        lzma_end(&stream_);
}

StreamStatus XzStream::Feed(const uint8_t* data, size_t size, ByteConsumer& out) {
    if (status_ != StreamStatus::More)
        return status_;
    stream_.next_in = data;
    stream_.avail_in = size;
    return Run(LZMA_RUN, out);
}

StreamStatus XzStream::Finish(ByteConsumer& out) {
    if (status_ != StreamStatus::More)
        return status_;
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    Run(LZMA_FINISH, out);
    // Without the end of the last stream the input was cut short.
    if (status_ == StreamStatus::More)
        status_ = StreamStatus::Invalid;
    return status_;
}

StreamStatus XzStream::Run(lzma_action action, ByteConsumer& out) {
    for (;;) {
        stream_.next_out = output_.data();
        stream_.avail_out = output_.size();
        const lzma_ret rc = lzma_code(&stream_, action);
        const size_t produced = output_.size() - stream_.avail_out;
        if (produced > 0 && !out.Consume(output_.data(), produced))
            return status_ = StreamStatus::Stopped;
        if (rc == LZMA_STREAM_END)
            return status_ = StreamStatus::Ended;
        if (rc == LZMA_BUF_ERROR)
            return status_; // nothing more until more input comes
        if (rc != LZMA_OK)
            return status_ = StatusOf(rc);
        if (stream_.avail_in == 0 && stream_.avail_out != 0)
            return status_;
    }
}

} // namespace km::tar
