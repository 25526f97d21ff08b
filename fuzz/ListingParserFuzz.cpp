// Parses hostile LIST and MLSD replies line by line, and the whole input as one
// line. A recognised line must give a name inside the line that cannot name or
// leave the target directory; an unrecognised one must leave the result cleared.
#include "ftp/ListingParser.h"
#include "ftp/MlsdLine.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr int64_t kNow = 928195200; // 1999-06-01, so runs repeat

bool IsUnsafe(std::string_view name) {
    return name.empty() || name == "." || name == ".." || name.find('/') != name.npos ||
           std::memchr(name.data(), '\0', name.size()) != nullptr;
}

void CheckMlsd(const char* line, size_t length) {
    km::MlsdEntry entry;
    if (km::ParseMlsdLine(entry, line, length) == 0) {
        if (entry.name.data() != nullptr || entry.isDirectory || entry.isFile || entry.hasSize ||
            entry.size != 0 || entry.hasTime || entry.modifyUtc != 0 || entry.hasUnixMode ||
            entry.unixMode != 0)
            std::abort();
        return;
    }
    const std::string_view name = entry.name;
    if (name.data() < line || name.size() > length - static_cast<size_t>(name.data() - line) ||
        IsUnsafe(name) || entry.unixMode > 07777)
        std::abort();
}

void Check(const char* line, size_t length) {
    CheckMlsd(line, length);
    km::ListingLineInfo info;
    if (km::ParseListingLine(info, line, length, kNow) == 0) {
        if (info.name != nullptr || info.nameLength != 0 || info.size != 0 || info.time != 0)
            std::abort();
        return;
    }
    if (info.name < line || info.nameLength < 0 ||
        static_cast<size_t>(info.nameLength) > length - static_cast<size_t>(info.name - line))
        std::abort();
    if (IsUnsafe(km::ListingEntryName(info)))
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
