#include "archive/cab/MszipDecoder.h"

#include "archive/cab/CabFormat.h"

namespace km::cab {

MszipDecoder::MszipDecoder() {
    ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
}

MszipDecoder::~MszipDecoder() {
    if (ready_)
        inflateEnd(&stream_);
}

bool MszipDecoder::DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) {
    if (!ready_ || inSize < 2 || in[0] != 'C' || in[1] != 'K' || outSize > kMaxBlockUncompressed)
        return false;
    if (inflateReset(&stream_) != Z_OK)
        return false;
    if (!dictionary_.empty() && inflateSetDictionary(&stream_, dictionary_.data(),
                                                     static_cast<uInt>(dictionary_.size())) != Z_OK)
        return false;
    stream_.next_in = const_cast<Bytef*>(in + 2);
    stream_.avail_in = static_cast<uInt>(inSize - 2);
    stream_.next_out = out;
    stream_.avail_out = static_cast<uInt>(outSize);
    const int rc = inflate(&stream_, Z_FINISH);
    // Some encoders leave the final-block bit off; a full block of output is enough.
    if (stream_.avail_out != 0 || (rc != Z_STREAM_END && rc != Z_OK && rc != Z_BUF_ERROR))
        return false;

    constexpr size_t kWindow = 32768;
    if (outSize >= kWindow) {
        dictionary_.assign(out + outSize - kWindow, out + outSize);
    } else {
        dictionary_.insert(dictionary_.end(), out, out + outSize);
        if (dictionary_.size() > kWindow)
            dictionary_.erase(dictionary_.begin(),
                              dictionary_.begin() +
                                  static_cast<long>(dictionary_.size() - kWindow));
    }
    return true;
}

} // namespace km::cab
