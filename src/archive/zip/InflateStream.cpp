#include "archive/zip/InflateStream.h"

#include <vector>
#include <zlib.h>

namespace km::zip {

namespace {

class InflateGuard {
public:
    explicit InflateGuard(z_stream* z) : z_(z) {}
    ~InflateGuard() { inflateEnd(z_); }
    InflateGuard(const InflateGuard&) = delete;
    InflateGuard& operator=(const InflateGuard&) = delete;

private:
    z_stream* z_;
};

} // namespace

DecodeStatus InflateRaw(ZipByteSource& in, ZipByteSink& out, uint64_t expectedSize) {
    z_stream z{};
    const int init = inflateInit2(&z, -15);
    if (init == Z_MEM_ERROR)
        return DecodeStatus::OutOfMemory;
    if (init != Z_OK)
        return DecodeStatus::Corrupt;
    InflateGuard guard(&z);
    std::vector<uint8_t> input(64 * 1024);
    std::vector<uint8_t> output(32 * 1024);
    bool inputEnded = false;
    uint64_t total = 0;
    for (;;) {
        if (z.avail_in == 0 && !inputEnded) {
            const size_t n = in.Read(input.data(), input.size());
            inputEnded = n == 0;
            z.next_in = input.data();
            z.avail_in = static_cast<uInt>(n);
        }
        const uInt availIn = z.avail_in;
        z.next_out = output.data();
        z.avail_out = static_cast<uInt>(output.size());
        const int ret = inflate(&z, Z_NO_FLUSH);
        const size_t produced = output.size() - z.avail_out;
        if (produced > expectedSize - total)
            return DecodeStatus::Corrupt;
        total += produced;
        if (produced != 0 && !out.Write(output.data(), produced))
            return DecodeStatus::Stopped;
        switch (ret) {
        case Z_STREAM_END:
            return DecodeStatus::Ok;
        case Z_MEM_ERROR:
            return DecodeStatus::OutOfMemory;
        case Z_DATA_ERROR:
        case Z_NEED_DICT:
        case Z_STREAM_ERROR:
            return DecodeStatus::Corrupt;
        default:
            break;
        }
        if (inputEnded && produced == 0 && z.avail_in == availIn)
            return DecodeStatus::Truncated;
    }
}

} // namespace km::zip
