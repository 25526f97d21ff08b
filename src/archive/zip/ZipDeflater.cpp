#include "archive/zip/ZipDeflater.h"

namespace km::zip {

namespace {

struct Tuning {
    int zlibLevel;
    int good;
    int lazy;
    int nice;
    int chain;
};

// The zlib levels the three engine levels correspond to, stated explicitly so a zlib with
// other defaults still produces the same streams.
constexpr Tuning kTunings[3] = {
    {3, 4, 6, 32, 32},
    {6, 8, 16, 128, 128},
    {9, 32, 258, 258, 4096},
};

} // namespace

ZipDeflater::~ZipDeflater() {
    if (started_)
        deflateEnd(&z_);
}

bool ZipDeflater::Start(int level) {
    const Tuning& t = kTunings[level < 1 ? 0 : level > 3 ? 2 : level - 1];
    if (deflateInit2(&z_, t.zlibLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    started_ = true;
    return deflateTune(&z_, t.good, t.lazy, t.nice, t.chain) == Z_OK;
}

bool ZipDeflater::Feed(const uint8_t* data, size_t length, bool finish, std::vector<uint8_t>& out) {
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = static_cast<uInt>(length);
    for (;;) {
        uint8_t buffer[32 * 1024];
        z_.next_out = buffer;
        z_.avail_out = sizeof buffer;
        const int rc = deflate(&z_, finish ? Z_FINISH : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR)
            return false;
        out.insert(out.end(), buffer, buffer + (sizeof buffer - z_.avail_out));
        if (z_.data_type == Z_TEXT)
            text_ = true;
        else if (z_.data_type == Z_BINARY)
            text_ = false;
        if (finish ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0))
            return true;
        if (rc == Z_BUF_ERROR && z_.avail_in == 0 && !finish)
            return true;
    }
}

} // namespace km::zip
