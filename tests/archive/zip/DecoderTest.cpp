// The decoders on their own, fed in tiny uneven pieces, and on broken input.
#include "ZipTestSupport.h"
#include "support/TempDir.h"

#include "archive/zip/CentralDirectory.h"
#include "archive/zip/Explode.h"
#include "archive/zip/InflateStream.h"
#include "archive/zip/Unshrink.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <zlib.h>

namespace km::test {
namespace {

using zip::DecodeStatus;

// Hands out 1 to 7 bytes at a time.
class ChunkedSource : public zip::ZipByteSource {
public:
    explicit ChunkedSource(std::string data) : data_(std::move(data)) {}
    size_t Read(uint8_t* dst, size_t max) override {
        const size_t n = std::min({max, data_.size() - at_, 1 + (at_ * 7919) % 7});
        std::memcpy(dst, data_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::string data_;
    size_t at_ = 0;
};

class StringSink : public zip::ZipByteSink {
public:
    bool Write(const uint8_t* data, size_t length) override {
        out.append(reinterpret_cast<const char*>(data), length);
        return out.size() < limit;
    }
    std::string out;
    size_t limit = SIZE_MAX;
};

struct RawEntry {
    zip::LocalHeader header;
    std::string data;
};

// The first entry of a PKZIP 1.x fixture (sizes in the local header).
RawEntry FirstEntry(const std::string& fixture) {
    const std::string bytes = ReadAll(Fixture(fixture));
    RawEntry e;
    EXPECT_TRUE(zip::ParseLocalHeader(reinterpret_cast<const uint8_t*>(bytes.data()), &e.header));
    const size_t start = 30 + e.header.nameLength + e.header.extraLength;
    e.data = bytes.substr(start, e.header.compressedSize);
    return e;
}

DecodeStatus Decode(const RawEntry& e, StringSink& sink, const std::string& data) {
    ChunkedSource in(data);
    if (e.header.method == 1)
        return zip::Unshrink(in, sink, e.header.uncompressedSize);
    return zip::Explode(in, sink, e.header.uncompressedSize, (e.header.flags & 2) != 0,
                        (e.header.flags & 4) != 0);
}

TEST(Decoders, ShrinkAndImplodeInTinyPieces) {
    for (const char* f : {"SHRUNK.ZIP", "Zip.shrink.zip", "imploding-4Kdict-2trees.zip",
                          "imploding-8Kdict-3trees.zip", "lorem-ipsum-implode.zip"}) {
        const RawEntry e = FirstEntry(f);
        StringSink sink;
        EXPECT_EQ(Decode(e, sink, e.data), DecodeStatus::Ok) << f;
        EXPECT_EQ(sink.out.size(), e.header.uncompressedSize) << f;
        EXPECT_EQ(Crc(sink.out), e.header.crc) << f;
        // Cut short, the decoder says so and stops.
        StringSink cut;
        EXPECT_EQ(Decode(e, cut, e.data.substr(0, e.data.size() / 2)), DecodeStatus::Truncated)
            << f;
        // A sink that refuses more stops it at once.
        StringSink refusing;
        refusing.limit = 1;
        EXPECT_EQ(Decode(e, refusing, e.data), DecodeStatus::Stopped) << f;
    }
}

TEST(Decoders, GarbageNeverCrashesOrOverruns) {
    std::mt19937 rng(3);
    for (int round = 0; round < 300; ++round) {
        std::string junk(static_cast<size_t>(rng() % 600), '\0');
        for (auto& c : junk)
            c = static_cast<char>(rng());
        RawEntry e;
        e.header.uncompressedSize = 5000;
        e.header.method = round % 2 ? 1 : 6;
        e.header.flags = static_cast<uint16_t>(rng() & 6);
        StringSink sink;
        const DecodeStatus st = Decode(e, sink, junk);
        EXPECT_LE(sink.out.size(), 5000u);
        if (st == DecodeStatus::Ok) {
            EXPECT_EQ(sink.out.size(), 5000u);
        }
    }
    // A tree description that lists more lengths than symbols.
    RawEntry e;
    e.header.uncompressedSize = 10;
    StringSink sink;
    EXPECT_EQ(Decode(e, sink, std::string("\x01\xff\xff", 3)), DecodeStatus::Corrupt);
}

TEST(Decoders, InflateMatchesZlibAndRejectsOverlongOutput) {
    std::string plain;
    for (int i = 0; i < 20000; ++i)
        plain += static_cast<char>('a' + (i * i) % 23);
    uLongf size = compressBound(plain.size());
    std::string packed(size, '\0');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data());
    z.avail_out = static_cast<uInt>(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    ChunkedSource in(packed);
    StringSink sink;
    EXPECT_EQ(zip::InflateRaw(in, sink, plain.size()), DecodeStatus::Ok);
    EXPECT_EQ(sink.out, plain);
    ChunkedSource again(packed);
    StringSink shorter;
    EXPECT_EQ(zip::InflateRaw(again, shorter, plain.size() - 1), DecodeStatus::Corrupt);
    ChunkedSource cut(packed.substr(0, packed.size() - 10));
    StringSink partial;
    EXPECT_EQ(zip::InflateRaw(cut, partial, plain.size()), DecodeStatus::Truncated);
}

TEST(Checksums, Crc32MatchesZlibInAnyPieces) {
    std::mt19937 rng(11);
    std::string data(100003, '\0');
    for (auto& c : data)
        c = static_cast<char>(rng());
    uint32_t ours = 0;
    for (size_t at = 0; at < data.size();) {
        const size_t n = std::min<size_t>(1 + rng() % 97, data.size() - at);
        ours = zip::Crc32Update(ours, reinterpret_cast<const uint8_t*>(data.data()) + at, n);
        at += n;
    }
    EXPECT_EQ(ours, crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                          static_cast<uInt>(data.size())));
    EXPECT_EQ(Crc("123456789"), 0xcbf43926u);
}

TEST(Checksums, TraditionalEncryptionRoundTripAndHeaderCheck) {
    zip::ZipCrypto enc;
    enc.Init("pass");
    uint8_t header[12];
    for (int i = 0; i < 12; ++i)
        header[i] = enc.EncryptByte(static_cast<uint8_t>(i == 11 ? 0xab : i));
    zip::ZipCrypto dec;
    dec.Init("pass");
    EXPECT_TRUE(dec.CheckHeader(header, 0xab));
    EXPECT_EQ(dec.DecryptByte(enc.EncryptByte('Q')), 'Q');
}

} // namespace
} // namespace km::test
