#pragma once
// Writes an entry's data blocks at their offsets: a gap between blocks stays a hole in the
// file, and a file that ends in a hole still gets its full length.
#include "archive/extract/ExtractTarget.h"

#include <cstddef>
#include <cstdint>

namespace km {

class SparseOutput {
public:
    explicit SparseOutput(ExtractFile& file) : file_(file) {}

    // 0 or an errno value. Requires: offsets grow and blocks do not overlap.
    int Put(int64_t offset, const void* data, size_t size);
    // For an entry with holes: a hole up to `size` (-1: unknown) where the last block ended
    // short of it. 0 or errno.
    int Finish(int64_t size);

private:
    ExtractFile& file_;
    int64_t position_ = 0;
    bool holes_ = false;
};

} // namespace km
