#pragma once
// Decompresses a GZIP file (RFC 1952) given in pieces of any size: member header, raw
// deflate through zlib, and the CRC-32/length trailer, which is checked. Members that follow
// are decoded too, as gunzip does; bytes after the last member that do not start another
// valid member are ignored.
#include "archive/tar_gzip/Decompressor.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace km::tar {

enum class GzipHeaderResult { NeedMore, Invalid, Complete };

// Reads a member header from the start of `data`. Refused: another method than deflate, and
// the header-CRC (0x02), extra-field (0x04), encrypted (0x20) and reserved flags. The original
// name (0x08) and the comment (0x10) are skipped. On Complete `length` is the header's size.
GzipHeaderResult ParseGzipHeader(const uint8_t* data, size_t size, size_t& length);

class GzipStream : public Decompressor {
public:
    GzipStream();
    ~GzipStream() override;
    GzipStream(const GzipStream&) = delete;
    GzipStream& operator=(const GzipStream&) = delete;

    StreamStatus Feed(const uint8_t* data, size_t size, ByteConsumer& out) override;
    // The input has ended: a member cut short is an error.
    StreamStatus Finish(ByteConsumer& out) override;

private:
    enum class State { Header, Body, Trailer, NextMember };
    struct Inflater;

    size_t FeedHeader(const uint8_t* data, size_t size);
    size_t FeedBody(const uint8_t* data, size_t size, ByteConsumer& out);
    size_t FeedTrailer(const uint8_t* data, size_t size);

    StreamStatus status_ = StreamStatus::More;
    State state_ = State::Header;
    bool firstMember_ = true;
    std::vector<uint8_t> pending_; // header or trailer bytes gathered across pieces
    std::unique_ptr<Inflater> inflater_;
    std::vector<uint8_t> output_;
    uint32_t crc_ = 0;
    uint32_t length_ = 0; // uncompressed length modulo 2^32, as the trailer stores it
};

} // namespace km::tar
