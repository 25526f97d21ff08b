#include "archive/tar_gzip/Decompressor.h"

#include "archive/tar_gzip/Bzip2Stream.h"
#include "archive/tar_gzip/GzipStream.h"
#include "archive/tar_gzip/XzStream.h"
#include "archive/tar_gzip/ZstdStream.h"

namespace km::tar {

Compression CompressionOf(std::string_view b) {
    using namespace std::string_view_literals;
    if (b.substr(0, 2) == "\x1F\x8B"sv)
        return Compression::Gzip;
    if (b.substr(0, 6) == "\xFD" "7zXZ\0"sv)
        return Compression::Xz;
    if (b.size() >= 4 && b.substr(0, 3) == "BZh"sv && b[3] >= '1' && b[3] <= '9')
        return Compression::Bzip2;
    if (b.substr(0, 4) == "\x28\xB5\x2F\xFD"sv)
        return Compression::Zstd;
    return Compression::None;
}

std::unique_ptr<Decompressor> MakeDecompressor(Compression kind) {
    switch (kind) {
    case Compression::Gzip:
        return std::make_unique<GzipStream>();
    case Compression::Xz:
        return std::make_unique<XzStream>();
    case Compression::Bzip2:
        return std::make_unique<Bzip2Stream>();
    case Compression::Zstd:
        return std::make_unique<ZstdStream>();
    case Compression::None:
        break;
    }
    return nullptr;
}

} // namespace km::tar
