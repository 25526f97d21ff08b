// The archive the ZipEngine is about to update, freshen or delete from, from any source and
// held in memory. Whatever it accepts must lie inside the volume: entries in front of the
// central directory, none overlapping another or the leading bytes, so that copying them
// along reads only bytes that are there. The accepted names then go through the selection
// (the comment read as a pattern list) and the view record, as the engine's actions do.
#include "archive/zip/CentralDirectory.h"
#include "archive/zip/ZipBytes.h"
#include "archive/zip/ZipOldArchive.h"
#include "archive/zip/ZipPatterns.h"
#include "archive/zip/ZipRecords.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    km::zip::ZipMemoryAccess in(data, size);
    km::zip::ZipOldArchive old;
    if (!km::zip::ReadZipOldArchive(in, &old))
        return 0;

    std::vector<const km::zip::ZipOldEntry*> byStart;
    for (const km::zip::ZipOldEntry& e : old.entries)
        byStart.push_back(&e);
    std::sort(byStart.begin(), byStart.end(),
              [](const auto* a, const auto* b) { return a->start < b->start; });
    uint64_t previousEnd = old.prefixLength;
    static std::vector<uint8_t> copy;
    for (const km::zip::ZipOldEntry* e : byStart) {
        if (e->start < previousEnd || e->length < km::zip::kLocalHeaderSize ||
            e->length > size - e->start)
            std::abort();
        previousEnd = e->start + e->length;
        copy.resize(static_cast<size_t>(e->length));
        if (!in.ReadAt(e->start, copy.data(), copy.size()))
            std::abort();
        // The copy rewrites the central header's disk and offset fields in place.
        if (e->central.size() < km::zip::kCentralHeaderSize ||
            km::zip::Le32(reinterpret_cast<const uint8_t*>(e->central.data())) !=
                km::zip::kCentralHeaderSig)
            std::abort();
    }
    if (previousEnd > size || old.comment.size() > 0xffff)
        std::abort();

    km::zip::ZipPatternList include;
    include.AddListText(old.comment);
    const km::zip::ZipPatternList exclude;
    for (const km::zip::ZipOldEntry& e : old.entries) {
        if (e.entry.name.size() > km::zip::kMaxNameLength)
            std::abort();
        (void)km::zip::ZipNameSelected(include, exclude, e.entry.name, (size & 1) != 0);
        (void)km::zip::FormatView(km::zip::ViewFieldsOf(e.entry, "-"));
    }
    return 0;
}
