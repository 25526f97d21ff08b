// Raw RAR 1.5 and 2.0 packed streams from any source, decoded one entry after another with one
// Unpacker, as an extraction pass over a solid archive does. Each entry is a 6-byte header
// (flags: bit 0 RAR 2.0 else 1.5, bit 1 solid; a 3-byte unpacked size; a 2-byte packed size,
// little-endian) and then its packed bytes. The output may never exceed the size asked for,
// and a success delivers exactly that size.
#include "archive/rar/RarUnpack.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Keeps a run short: a few bytes can ask for a great deal of output.
constexpr uint64_t kMaxUnpacked = 1u << 16;
constexpr int kMaxEntries = 4;

class Packed : public km::rar::PackedInput {
public:
    explicit Packed(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    size_t Read(uint8_t* buffer, size_t count) override {
        const size_t n = std::min(count, bytes_.size() - at_);
        if (n != 0)
            std::memcpy(buffer, bytes_.data() + at_, n);
        at_ += n;
        return n;
    }

private:
    std::vector<uint8_t> bytes_;
    size_t at_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    km::rar::Unpacker unpacker;
    if (!unpacker.Valid())
        return 0;
    size_t at = 0;
    for (int entry = 0; entry < kMaxEntries && size - at >= 6; ++entry) {
        const uint8_t flags = data[at];
        const uint64_t unpacked =
            std::min<uint64_t>(kMaxUnpacked, static_cast<uint64_t>(data[at + 1]) |
                                                 static_cast<uint64_t>(data[at + 2]) << 8 |
                                                 static_cast<uint64_t>(data[at + 3]) << 16);
        size_t packed = static_cast<size_t>(data[at + 4] | data[at + 5] << 8);
        at += 6;
        packed = std::min(packed, size - at);
        Packed input(std::vector<uint8_t>(data + at, data + at + packed));
        at += packed;
        uint64_t delivered = 0;
        const km::rar::UnpackedOutput output = [&](const uint8_t*, size_t count) {
            delivered += count;
            return true;
        };
        const km::rar::UnpackResult result =
            unpacker.Unpack(flags & 1 ? 20 : 15, (flags & 2) != 0, unpacked, input, output);
        if (delivered > unpacked || (result == km::rar::UnpackResult::Ok && delivered != unpacked))
            std::abort();
        if (result == km::rar::UnpackResult::Aborted)
            std::abort(); // the output never asked to stop
    }
    return 0;
}
