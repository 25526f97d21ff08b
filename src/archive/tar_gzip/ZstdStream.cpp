#include "archive/tar_gzip/ZstdStream.h"

namespace km::tar {

ZstdStream::ZstdStream() : stream_(ZSTD_createDStream()), output_(kDecodedPieceSize) {
    if (!stream_)
        status_ = StreamStatus::NoMemory;
}

ZstdStream::~ZstdStream() {
    ZSTD_freeDStream(stream_);
}

StreamStatus ZstdStream::Feed(const uint8_t* data, size_t size, ByteConsumer& out) {
    if (status_ != StreamStatus::More || size == 0)
        return status_;
    anyInput_ = true;
    ZSTD_inBuffer in{data, size, 0};
    for (;;) {
        ZSTD_outBuffer piece{output_.data(), output_.size(), 0};
        const size_t rc = ZSTD_decompressStream(stream_, &piece, &in);
        if (ZSTD_isError(rc)) {
            const ZSTD_ErrorCode code = ZSTD_getErrorCode(rc);
            status_ = code == ZSTD_error_memory_allocation ||
                              code == ZSTD_error_frameParameter_windowTooLarge
                          ? StreamStatus::NoMemory
                          : StreamStatus::Invalid;
            return status_;
        }
        frameOpen_ = rc != 0;
        if (piece.pos > 0 && !out.Consume(output_.data(), piece.pos))
            return status_ = StreamStatus::Stopped;
        // All input taken and the decoder not held up by a full output piece.
        if (in.pos == in.size && piece.pos < piece.size)
            return status_;
    }
}

StreamStatus ZstdStream::Finish(ByteConsumer&) {
    if (status_ == StreamStatus::More)
        status_ = anyInput_ && !frameOpen_ ? StreamStatus::Ended : StreamStatus::Invalid;
    return status_;
}

} // namespace km::tar
