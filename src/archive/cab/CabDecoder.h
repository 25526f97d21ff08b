#pragma once
// One decompressor per folder: it turns each data block, in order, into exactly the block's
// uncompressed size. State (dictionary, trees) carries from block to block within a folder.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace km::cab {

class CabDecoder {
public:
    virtual ~CabDecoder() = default;
    // false when the input is not a valid encoding of `outSize` bytes.
    virtual bool DecodeBlock(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) = 0;
};

// The decoder of a folder's compression field; none and `error` set to an FDI error code when
// the type (or its window size) is not supported.
std::unique_ptr<CabDecoder> MakeCabDecoder(uint16_t compression, int& error);

} // namespace km::cab
