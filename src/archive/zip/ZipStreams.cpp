#include "archive/zip/ZipStreams.h"

#include <algorithm>
#include <vector>

namespace km::zip {

bool LsbBitReader::fill(unsigned count) {
    while (have_ < count) {
        if (at_ == end_) {
            end_ = in_.Read(buf_, sizeof buf_);
            at_ = 0;
            if (end_ == 0)
                return false;
        }
        bits_ |= static_cast<uint64_t>(buf_[at_++]) << have_;
        have_ += 8;
    }
    return true;
}

bool LsbBitReader::Bits(unsigned count, uint32_t* value) {
    if (!fill(count))
        return false;
    *value = static_cast<uint32_t>(bits_ & ((1u << count) - 1));
    bits_ >>= count;
    have_ -= count;
    return true;
}

DecodeStatus CopyStored(ZipByteSource& in, ZipByteSink& out, uint64_t size) {
    std::vector<uint8_t> buf(32 * 1024);
    while (size > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size, buf.size()));
        const size_t got = in.Read(buf.data(), want);
        if (got == 0)
            return DecodeStatus::Truncated;
        if (!out.Write(buf.data(), got))
            return DecodeStatus::Stopped;
        size -= got;
    }
    return DecodeStatus::Ok;
}

} // namespace km::zip
