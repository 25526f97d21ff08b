#include "archive/other/OtherFormats.h"

#include <archive.h>
#include <iterator>

namespace km {

namespace {

struct Format {
    int code;
    int (*enable)(struct archive*);
    const char* label;
};

// ZIP, TAR, CAB and RAR 1.5-2.x have the program's own readers; libarchive's would bypass
// their rules, so they are left out on purpose.
constexpr Format kFormats[] = {
    {ARCHIVE_FORMAT_7ZIP, archive_read_support_format_7zip, "7-Zip"},
    {ARCHIVE_FORMAT_RAR, archive_read_support_format_rar, "RAR"},
    {ARCHIVE_FORMAT_RAR_V5, archive_read_support_format_rar5, "RAR 5"},
    {ARCHIVE_FORMAT_ISO9660, archive_read_support_format_iso9660, "ISO 9660"},
    {ARCHIVE_FORMAT_CPIO, archive_read_support_format_cpio, "cpio"},
    {ARCHIVE_FORMAT_AR, archive_read_support_format_ar, "ar"},
    {ARCHIVE_FORMAT_XAR, archive_read_support_format_xar, "xar"},
    {ARCHIVE_FORMAT_LHA, archive_read_support_format_lha, "LHA"},
};

void enableFilters(struct archive* reader) {
    // The filters libarchive decodes itself. lrzip, lzop and grzip are left out: here they
    // would start external programs, which merely looking at a file must never do.
    archive_read_support_filter_bzip2(reader);
    archive_read_support_filter_compress(reader);
    archive_read_support_filter_gzip(reader);
    archive_read_support_filter_lz4(reader);
    archive_read_support_filter_lzip(reader);
    archive_read_support_filter_lzma(reader);
    archive_read_support_filter_rpm(reader);
    archive_read_support_filter_uu(reader);
    archive_read_support_filter_xz(reader);
    archive_read_support_filter_zstd(reader);
}

} // namespace

void EnableOtherFormats(struct archive* reader) {
    enableFilters(reader);
    for (const Format& f : kFormats)
        f.enable(reader);
}

size_t OtherFormatCount() {
    return std::size(kFormats);
}

int EnableOneOtherFormat(struct archive* reader, size_t index) {
    enableFilters(reader);
    kFormats[index].enable(reader);
    return kFormats[index].code;
}

std::string OtherFormatLabel(int formatCode, bool rpm, const std::string& firstEntry) {
    const int base = formatCode & ARCHIVE_FORMAT_BASE_MASK;
    for (const Format& f : kFormats) {
        if (f.code != base)
            continue;
        if (rpm)
            return "RPM"; // its payload is a cpio archive
        if (base == ARCHIVE_FORMAT_AR && firstEntry == "debian-binary")
            return "ar (deb)";
        return f.label;
    }
    return {};
}

bool HasRpmFilter(struct archive* reader) {
    for (int i = 0; i < archive_filter_count(reader); ++i) {
        if (archive_filter_code(reader, i) == ARCHIVE_FILTER_RPM)
            return true;
    }
    return false;
}

} // namespace km
