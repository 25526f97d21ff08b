// Parses hostile LIST replies line by line, and the whole input as one line. A
// recognised line must give a name inside the line that cannot name or leave the
// target directory; an unrecognised one must leave the result cleared.
#include "ftp/ListingParser.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr int64_t kNow = 928195200; // 1999-06-01, so runs repeat

void Check(const char* line, size_t length) {
    km::ListingLineInfo info;
    if (km::ParseListingLine(info, line, length, kNow) == 0) {
        if (info.name != nullptr || info.nameLength != 0 || info.size != 0 || info.time != 0)
            std::abort();
        return;
    }
    if (info.name < line || info.nameLength < 0 ||
        static_cast<size_t>(info.nameLength) > length - static_cast<size_t>(info.name - line))
        std::abort();
    const std::string_view name = km::ListingEntryName(info);
    if (name.empty() || name == "." || name == ".." || name.find('/') != name.npos ||
        std::memchr(name.data(), '\0', name.size()) != nullptr)
        std::abort();
    if (info.size < 0 || (info.isDirectory != 0 && info.isDirectory != 1) ||
        (info.isFile != 0 && info.isFile != 1))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    size_t start = 0;
    while (start < size) {
        const void* lf = std::memchr(text + start, '\n', size - start);
        const size_t end =
            lf != nullptr ? static_cast<size_t>(static_cast<const char*>(lf) - text) + 1 : size;
        Check(text + start, end - start);
        start = end;
    }
    Check(text, size);
    return 0;
}
