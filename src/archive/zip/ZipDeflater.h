#pragma once
// Raw deflate (zlib, no header) with the engine's three parameter sets, and the text-or-binary
// classification zlib makes of the data on the way.
#include <cstddef>
#include <cstdint>
#include <vector>
#include <zlib.h>

namespace km::zip {

class ZipDeflater {
public:
    ZipDeflater() = default;
    ~ZipDeflater();
    ZipDeflater(const ZipDeflater&) = delete;
    ZipDeflater& operator=(const ZipDeflater&) = delete;

    // level 1 fast, 2 normal, 3 maximum; false when zlib cannot start.
    bool Start(int level);
    // Compresses `length` bytes (finish: the last piece); the output is appended to `out`.
    bool Feed(const uint8_t* data, size_t length, bool finish, std::vector<uint8_t>& out);
    bool isText() const { return text_; }

private:
    z_stream z_{};
    bool started_ = false;
    bool text_ = false;
};

} // namespace km::zip
