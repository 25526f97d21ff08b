#pragma once
// Which entries of a RAR 5 archive are encrypted. libarchive 3.6 reads RAR 5 headers but
// ignores their encryption records and hands out the cipher text as the file's bytes; this
// walk over the headers (RAR 5.0 archive format, RARLAB's technote) finds them, so such an
// entry is refused instead of written as garbage.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace km {

struct Rar5Encryption {
    bool headersEncrypted = false; // an archive encryption header: nothing else is readable
    std::set<std::string> files;   // names of file headers with an encryption record
};

// Up to `size` bytes at `offset`; fewer at the end.
using ReadAtFn = std::function<size_t(uint64_t offset, uint8_t* out, size_t size)>;

// Walks the archive from the first RAR 5 signature followed by a sound main header in the
// first 4 MiB (a self-extractor's stub comes first) until the end header or the first
// damaged header.
Rar5Encryption ScanRar5Encryption(const ReadAtFn& readAt);

} // namespace km
