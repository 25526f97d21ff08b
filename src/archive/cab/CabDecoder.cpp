#include "archive/cab/CabDecoder.h"

#include "archive/cab/CabFormat.h"
#include "archive/cab/FdiErrors.h"
#include "archive/cab/LzxDecoder.h"
#include "archive/cab/MszipDecoder.h"
#include "archive/cab/QuantumDecoder.h"

#include <cstring>

namespace km::cab {

namespace {

class StoredDecoder : public CabDecoder {
public:
    bool DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        if (inSize != outSize)
            return false;
        if (outSize != 0)
            std::memcpy(out, in, outSize);
        return true;
    }
};

} // namespace

std::unique_ptr<CabDecoder> MakeCabDecoder(uint16_t compression, int& error) {
    error = FDIERROR_NONE;
    switch (compression & kCompressionMask) {
    case kCompressionNone:
        return std::make_unique<StoredDecoder>();
    case kCompressionMszip: {
        auto d = std::make_unique<MszipDecoder>();
        if (!d->ok()) {
            error = FDIERROR_ALLOC_FAIL;
            return nullptr;
        }
        return d;
    }
    case kCompressionLzx: {
        const int bits = (compression >> 8) & 0x1F;
        if (!LzxDecoder::ValidWindowBits(bits))
            break;
        return std::make_unique<LzxDecoder>(bits);
    }
    case kCompressionQuantum: {
        const int bits = (compression >> 8) & 0x1F;
        if (!QuantumDecoder::ValidWindowBits(bits))
            break;
        return std::make_unique<QuantumDecoder>(bits);
    }
    default:
        break;
    }
    error = FDIERROR_BAD_COMPR_TYPE;
    return nullptr;
}

} // namespace km::cab
