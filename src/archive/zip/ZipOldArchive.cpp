#include "archive/zip/ZipOldArchive.h"

#include "archive/zip/EndRecordFinder.h"
#include "archive/zip/ZipBytes.h"

#include <algorithm>
#include <numeric>

namespace km::zip {

bool ReadZipOldArchive(ZipRandomAccess& in, ZipOldArchive* out) {
    out->entries.clear();
    EndRecord end;
    // Streaming writers end even small archives with ZIP64 records; their values count.
    if (FindEndRecord(in, 0, &end) != EndSearchResult::Found || !ApplyZip64EndRecord(in, &end) ||
        end.thisDisk != 0 || end.centralDisk != 0)
        return false;
    const uint64_t size = in.Size();
    const uint64_t cdEnd = end.centralOffset + end.centralSize;
    const uint64_t cdLimit = end.zip64 ? end.zip64Position : end.position;
    if (end.centralOffset > size || end.centralSize > size || cdEnd > cdLimit)
        return false;
    // Bytes in front of the archive (a self-extractor) shift every stored offset.
    const uint64_t extra = cdLimit - cdEnd;
    std::vector<uint8_t> cd(static_cast<size_t>(end.centralSize));
    out->comment.resize(end.commentLength);
    if (!in.ReadAt(end.centralOffset + extra, cd.data(), cd.size()) ||
        !in.ReadAt(end.position + 22, reinterpret_cast<uint8_t*>(out->comment.data()),
                   out->comment.size()))
        return false;
    size_t at = 0;
    for (uint64_t i = 0; i < end.totalEntries; ++i) {
        ZipOldEntry e;
        CentralLengths len;
        if (cd.size() - at < kCentralHeaderSize || !ParseCentralHeader(&cd[at], &e.entry, &len) ||
            cd.size() - at - kCentralHeaderSize <
                static_cast<size_t>(len.name) + len.extra + len.comment)
            return false;
        const size_t total = kCentralHeaderSize + len.name + len.extra + len.comment;
        e.central.assign(reinterpret_cast<const char*>(&cd[at]), total);
        const std::string raw(reinterpret_cast<const char*>(&cd[at + kCentralHeaderSize]),
                              len.name);
        e.entry.extra.assign(reinterpret_cast<const char*>(&cd[at + kCentralHeaderSize + len.name]),
                             len.extra);
        // Saturated sizes and offset are in the ZIP64 block; one missing there stays
        // saturated, and the checks below refuse what then does not fit the file.
        ApplyZip64Extra(e.entry.extra, &e.entry);
        e.entry.name = NormaliseStoredName(raw, e.entry.versionMadeBy);
        e.start = e.entry.localHeaderOffset + extra;
        if (e.start + kLocalHeaderSize > end.centralOffset + extra)
            return false;
        out->entries.push_back(std::move(e));
        at += total;
    }
    // An entry reaches to the next local header (or the central directory): this takes its
    // data descriptor along, whatever form it has.
    std::vector<size_t> order(out->entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return out->entries[a].start < out->entries[b].start; });
    out->prefixLength = end.centralOffset + extra;
    for (size_t k = 0; k < order.size(); ++k) {
        ZipOldEntry& e = out->entries[order[k]];
        const uint64_t next =
            k + 1 < order.size() ? out->entries[order[k + 1]].start : end.centralOffset + extra;
        const uint64_t needed = kLocalHeaderSize + e.entry.compressedSize;
        if (next - e.start < needed)
            return false;
        e.length = next - e.start;
        out->prefixLength = std::min(out->prefixLength, e.start);
    }
    return true;
}

} // namespace km::zip
