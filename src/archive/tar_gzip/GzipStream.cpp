#include "archive/tar_gzip/GzipStream.h"

#include <algorithm>
#include <cstring>
#include <zlib.h>

namespace km::tar {

namespace {

constexpr uint8_t kFlagHeaderCrc = 0x02, kFlagExtra = 0x04, kFlagName = 0x08, kFlagComment = 0x10,
                  kFlagEncrypted = 0x20, kFlagReserved = 0xC0;
constexpr size_t kFixedHeader = 10;
// A name or comment longer than this is not a real header.
constexpr size_t kMaxHeader = 64 * 1024;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

GzipHeaderResult ParseGzipHeader(const uint8_t* data, size_t size, size_t& length) {
    if ((size >= 1 && data[0] != 0x1F) || (size >= 2 && data[1] != 0x8B) ||
        (size >= 3 && data[2] != 8))
        return GzipHeaderResult::Invalid;
    if (size >= 4 &&
        (data[3] & (kFlagHeaderCrc | kFlagExtra | kFlagEncrypted | kFlagReserved)) != 0)
        return GzipHeaderResult::Invalid;
    if (size < kFixedHeader)
        return size >= kMaxHeader ? GzipHeaderResult::Invalid : GzipHeaderResult::NeedMore;
    size_t at = kFixedHeader;
    for (uint8_t flag : {kFlagName, kFlagComment}) {
        if (!(data[3] & flag))
            continue;
        const void* zero = std::memchr(data + at, 0, size - at);
        if (!zero)
            return size >= kMaxHeader ? GzipHeaderResult::Invalid : GzipHeaderResult::NeedMore;
        at = static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) + 1;
    }
    length = at;
    return GzipHeaderResult::Complete;
}

struct GzipStream::Inflater {
    z_stream z{};
    bool ready = false;
    ~Inflater() {
        if (ready)
            inflateEnd(&z);
    }
};

GzipStream::GzipStream() = default;
GzipStream::~GzipStream() = default;

StreamStatus GzipStream::Feed(const uint8_t* data, size_t size, ByteConsumer& out) {
    while (size > 0 && status_ == StreamStatus::More) {
        size_t used = 0;
        switch (state_) {
        case State::NextMember:
            // Another member only when a valid header follows; anything else is trailing
            // data that gunzip ignores too.
            state_ = State::Header;
            [[fallthrough]];
        case State::Header:
            used = FeedHeader(data, size);
            break;
        case State::Body:
            used = FeedBody(data, size, out);
            break;
        case State::Trailer:
            used = FeedTrailer(data, size);
            break;
        }
        data += used;
        size -= used;
    }
    return status_;
}

StreamStatus GzipStream::Finish(ByteConsumer&) {
    if (status_ != StreamStatus::More)
        return status_;
    // A cut-off header after a complete member is trailing data like any other.
    const bool complete = state_ == State::NextMember || (state_ == State::Header && !firstMember_);
    status_ = complete ? StreamStatus::Ended : StreamStatus::Invalid;
    return status_;
}

size_t GzipStream::FeedHeader(const uint8_t* data, size_t size) {
    // The header is parsed from the gathered bytes plus this piece.
    const size_t before = pending_.size();
    const size_t take = std::min(size, kMaxHeader - before);
    pending_.insert(pending_.end(), data, data + take);
    size_t length = 0;
    switch (ParseGzipHeader(pending_.data(), pending_.size(), length)) {
    case GzipHeaderResult::NeedMore:
        return take;
    case GzipHeaderResult::Invalid:
        pending_.clear();
        status_ = firstMember_ ? StreamStatus::Invalid : StreamStatus::Ended;
        return size;
    case GzipHeaderResult::Complete:
        break;
    }
    pending_.clear();
    if (!inflater_)
        inflater_ = std::make_unique<Inflater>();
    if (!inflater_->ready) {
        if (inflateInit2(&inflater_->z, -MAX_WBITS) != Z_OK) {
            status_ = StreamStatus::NoMemory;
            return size;
        }
        inflater_->ready = true;
    } else if (inflateReset(&inflater_->z) != Z_OK) {
        status_ = StreamStatus::Invalid;
        return size;
    }
    if (output_.empty())
        output_.resize(kDecodedPieceSize);
    crc_ = static_cast<uint32_t>(crc32(0, nullptr, 0));
    length_ = 0;
    state_ = State::Body;
    firstMember_ = false;
    return length - before;
}

size_t GzipStream::FeedBody(const uint8_t* data, size_t size, ByteConsumer& out) {
    z_stream& z = inflater_->z;
    z.next_in = const_cast<Bytef*>(data);
    // zlib counts in 32-bit units; a larger piece is taken in several turns.
    z.avail_in = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    const uInt offered = z.avail_in;
    for (;;) {
        z.next_out = output_.data();
        z.avail_out = static_cast<uInt>(output_.size());
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t produced = output_.size() - z.avail_out;
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            status_ = rc == Z_MEM_ERROR ? StreamStatus::NoMemory : StreamStatus::Invalid;
            return size;
        }
        if (produced > 0) {
            crc_ = static_cast<uint32_t>(crc32(crc_, output_.data(), static_cast<uInt>(produced)));
            length_ += static_cast<uint32_t>(produced);
            if (!out.Consume(output_.data(), produced)) {
                status_ = StreamStatus::Stopped;
                return size;
            }
        }
        if (rc == Z_STREAM_END) {
            state_ = State::Trailer;
            break;
        }
        if (rc == Z_BUF_ERROR) {
            // No progress is possible: fine when the piece is used up, damage otherwise.
            if (z.avail_in != 0)
                status_ = StreamStatus::Invalid;
            break;
        }
        // Input used up and the output not full: wait for the next piece.
        if (z.avail_in == 0 && z.avail_out != 0)
            break;
    }
    return offered - z.avail_in;
}

size_t GzipStream::FeedTrailer(const uint8_t* data, size_t size) {
    const size_t take = std::min(size, 8 - pending_.size());
    pending_.insert(pending_.end(), data, data + take);
    if (pending_.size() < 8)
        return take;
    const bool good = Le32(pending_.data()) == crc_ && Le32(pending_.data() + 4) == length_;
    pending_.clear();
    if (!good)
        status_ = StreamStatus::Invalid;
    else
        state_ = State::NextMember;
    return take;
}

} // namespace km::tar
