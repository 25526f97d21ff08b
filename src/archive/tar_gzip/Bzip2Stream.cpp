#include "archive/tar_gzip/Bzip2Stream.h"

#include <algorithm>
#include <climits>

namespace km::tar {

namespace {

constexpr size_t kMagicSize = 4; // "BZh" and the block size digit

bool MagicSoFar(const std::vector<uint8_t>& m) {
    static const char kStart[] = "BZh";
    for (size_t i = 0; i < m.size(); ++i) {
        if (i < 3 ? m[i] != static_cast<uint8_t>(kStart[i]) : (m[i] < '1' || m[i] > '9'))
            return false;
    }
    return true;
}

} // namespace

Bzip2Stream::Bzip2Stream() : output_(kDecodedPieceSize) {}

Bzip2Stream::~Bzip2Stream() {
    EndStream();
}

void Bzip2Stream::EndStream() {
    if (ready_)
        BZ2_bzDecompressEnd(&stream_);
    ready_ = false;
}

StreamStatus Bzip2Stream::Feed(const uint8_t* data, size_t size, ByteConsumer& out) {
    while (size > 0 && status_ == StreamStatus::More) {
        const size_t used = ready_ ? FeedBody(data, size, out) : FeedMagic(data, size, out);
        data += used;
        size -= used;
    }
    return status_;
}

StreamStatus Bzip2Stream::Finish(ByteConsumer&) {
    if (status_ != StreamStatus::More)
        return status_;
    // A partial magic after a complete stream is trailing data like any other.
    status_ = complete_ && !ready_ ? StreamStatus::Ended : StreamStatus::Invalid;
    return status_;
}

size_t Bzip2Stream::FeedMagic(const uint8_t* data, size_t size, ByteConsumer& out) {
    const size_t take = std::min(size, kMagicSize - magic_.size());
    magic_.insert(magic_.end(), data, data + take);
    if (!MagicSoFar(magic_)) {
        status_ = complete_ ? StreamStatus::Ended : StreamStatus::Invalid;
        return size;
    }
    if (magic_.size() < kMagicSize)
        return take;
    if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) {
        status_ = StreamStatus::NoMemory;
        return size;
    }
    ready_ = true;
    std::vector<uint8_t> magic;
    magic.swap(magic_);
    FeedBody(magic.data(), magic.size(), out);
    return take;
}

size_t Bzip2Stream::FeedBody(const uint8_t* data, size_t size, ByteConsumer& out) {
    stream_.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    stream_.avail_in = static_cast<unsigned>(std::min<size_t>(size, UINT_MAX));
    const unsigned offered = stream_.avail_in;
    for (;;) {
        stream_.next_out = reinterpret_cast<char*>(output_.data());
        stream_.avail_out = static_cast<unsigned>(output_.size());
        const int rc = BZ2_bzDecompress(&stream_);
        const size_t produced = output_.size() - stream_.avail_out;
        if (produced > 0 && !out.Consume(output_.data(), produced)) {
            status_ = StreamStatus::Stopped;
            return size;
        }
        if (rc == BZ_STREAM_END) {
            const unsigned left = stream_.avail_in;
            EndStream();
            complete_ = true;
            return offered - left;
        }
        if (rc != BZ_OK) {
            status_ = rc == BZ_MEM_ERROR ? StreamStatus::NoMemory : StreamStatus::Invalid;
            return size;
        }
        if (stream_.avail_in == 0 && stream_.avail_out != 0)
            return offered;
    }
}

} // namespace km::tar
