#pragma once
// MSZIP: every block is "CK" followed by a complete deflate stream whose back references may
// reach into the previous block's 32 KiB of output.
#include "archive/cab/CabDecoder.h"

#include <vector>
#include <zlib.h>

namespace km::cab {

class MszipDecoder : public CabDecoder {
public:
    MszipDecoder();
    ~MszipDecoder() override;
    MszipDecoder(const MszipDecoder&) = delete;
    MszipDecoder& operator=(const MszipDecoder&) = delete;

    bool ok() const { return ready_; }
    bool DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override;

private:
    z_stream stream_{};
    bool ready_ = false;
    std::vector<uint8_t> dictionary_;
};

} // namespace km::cab
