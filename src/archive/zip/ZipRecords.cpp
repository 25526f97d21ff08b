#include "archive/zip/ZipRecords.h"

#include "archive/zip/CentralDirectory.h"

#include "archive/zip/ZipCallbacks.h"
#include "archive/zip/ZipDosTime.h"

#include <charconv>
#include <cstdio>

namespace km::zip {

namespace {

// A name may hold any byte but NUL; '|' and the escape byte itself are escaped, so that
// RecordFields gives every field back as it was.
void field(std::string& out, std::string_view text) {
    for (const char c : text) {
        if (c == '|' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '|';
}

void field(std::string& out, uint64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
    out += '|';
}

void signedField(std::string& out, int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
    out += '|';
}

std::string versionText(uint16_t version) {
    const unsigned v = version & 0xffu;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u", v / 10, v % 10);
    return buf;
}

constexpr size_t kMaxFields = kMaxRecordLength - kRecordPrefixLength;

} // namespace

unsigned ProgressPercent(uint64_t done, uint64_t size) {
    if (size == 0)
        return 0;
    return static_cast<unsigned>(static_cast<unsigned __int128>(done) * 100 / size);
}

std::string FormatProgress(const ProgressFields& f) {
    std::string out;
    out.reserve(f.archive.size() + f.name.size() + 96);
    field(out, f.archive);
    field(out, f.name);
    field(out, f.size);
    field(out, f.done);
    field(out, static_cast<uint64_t>(f.percent));
    field(out, f.count);
    field(out, f.index);
    field(out, f.totalBytes);
    field(out, f.totalDone);
    return out;
}

ViewFields ViewFieldsOf(const ZipEntry& e, std::string_view archive) {
    ViewFields v;
    v.archive = archive;
    v.name = e.name;
    v.uncompressed = e.uncompressedSize;
    v.compressed = e.compressedSize;
    v.encrypted = e.encrypted();
    v.dosDate = e.dosDate;
    v.dosTime = e.dosTime;
    v.externalAttributes = e.externalAttributes;
    v.method = e.method;
    v.flags = e.flags;
    v.crc = e.crc;
    v.internalAttributes = e.internalAttributes;
    v.versionMadeBy = e.versionMadeBy;
    v.versionNeeded = e.versionNeeded;
    v.extra = e.extra;
    return v;
}

int ViewPercent(uint64_t uncompressed, uint64_t compressed, bool encrypted) {
    if (uncompressed == 0)
        return 0;
    const __int128 u = uncompressed;
    __int128 c = compressed;
    if (encrypted)
        c -= 12;
    // C division truncates toward zero; the texts are defined by that rule.
    const __int128 perMille = ((u - c) * 1000 + u / 2) / u;
    return static_cast<int>((perMille + 5) / 10);
}

int ViewMethodCode(uint16_t method, uint16_t flags) {
    if (method > 8)
        return 255;
    if (method == 8)
        return 80 + ((flags >> 1) & 3);
    return method * 10;
}

std::string FormatView(const ViewFields& f) {
    std::string out;
    out.reserve(f.archive.size() + f.name.size() + 128);
    field(out, f.archive);
    // Split at the last separator: a directory entry "a/b/" gives "a/b" and an empty name.
    const size_t slash = f.name.rfind('/');
    if (slash == std::string_view::npos) {
        field(out, std::string_view());
        field(out, f.name);
    } else {
        field(out, f.name.substr(0, slash));
        field(out, f.name.substr(slash + 1));
    }
    field(out, f.uncompressed);
    field(out, f.compressed);
    signedField(out, ViewPercent(f.uncompressed, f.compressed, f.encrypted));
    field(out, DosDateText(f.dosDate));
    field(out, DosTimeText(f.dosTime));
    field(out, static_cast<uint64_t>(f.externalAttributes));
    field(out, static_cast<uint64_t>(ViewMethodCode(f.method, f.flags)));
    field(out, f.encrypted ? "1" : "0");
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(f.crc));
    field(out, crc);
    field(out, (f.internalAttributes & 1) ? "0" : "1");
    field(out, versionText(f.versionMadeBy));
    field(out, versionText(f.versionNeeded));
    uint16_t id = 0;
    std::string_view data;
    if (f.extra.size() >= 4) {
        const auto* p = reinterpret_cast<const unsigned char*>(f.extra.data());
        id = static_cast<uint16_t>(p[0] | (p[1] << 8));
        const size_t declared = static_cast<size_t>(p[2] | (p[3] << 8));
        data = f.extra.substr(4, declared);
    }
    field(out, static_cast<uint64_t>(id));
    field(out, static_cast<uint64_t>(data.size()));
    // The raw bytes come last so that they are what gets cut when the record is full,
    // escapes counted.
    size_t room = out.size() + 1 < kMaxFields ? kMaxFields - out.size() - 1 : 0;
    size_t take = 0;
    for (; take < data.size(); ++take) {
        const size_t width = data[take] == '|' || data[take] == '\\' ? 2 : 1;
        if (width > room)
            break;
        room -= width;
    }
    field(out, data.substr(0, take));
    return out;
}

std::string FormatComment(std::string_view archive, uint64_t statedLength,
                          std::string_view comment) {
    std::string out;
    field(out, archive);
    field(out, statedLength);
    if (out.size() < kMaxFields)
        out.append(comment.substr(0, kMaxFields - out.size()));
    return out;
}

std::string FormatProblem(std::string_view archive, std::string_view name, int code) {
    std::string out;
    field(out, archive);
    field(out, name);
    signedField(out, code);
    return out;
}

std::string FormatDiskRequest(std::string_view archive, uint32_t disk) {
    std::string out;
    field(out, archive);
    field(out, static_cast<uint64_t>(disk));
    return out;
}

std::string OverwriteQuestionText(std::string_view question, std::string_view existingName,
                                  uint64_t existingSize, std::string_view existingDate,
                                  std::string_view newName, uint64_t newSize,
                                  std::string_view newDate) {
    std::string out(question);
    out += "\n\nExisting file: ";
    out += existingName;
    out += "\n" + std::to_string(existingSize) + " bytes  ";
    out += existingDate;
    out += "\n\nNew file: ";
    out += newName;
    out += "\n" + std::to_string(newSize) + " bytes  ";
    out += newDate;
    return out;
}

std::string FormatOverwriteQuery(std::string_view archive, std::string_view name,
                                 uint64_t existingSize, std::string_view existingDate,
                                 uint64_t newSize, std::string_view newDate) {
    std::string out;
    field(out, archive);
    field(out, name);
    field(out, existingSize);
    field(out, existingDate);
    field(out, name);
    field(out, newSize);
    field(out, newDate);
    return out;
}

std::vector<std::string> RecordFields(std::string_view text) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '|')
            out.emplace_back();
        else if (text[i] == '\\' && i + 1 < text.size())
            out.back() += text[++i];
        else
            out.back() += text[i];
    }
    return out;
}

bool ApplyOverwriteAnswer(int answer, int& mode) {
    switch (answer) {
    case 1:
        mode = 11;
        return true;
    case 0:
        return true;
    case 3:
        mode = 12;
        return false;
    default:
        return false;
    }
}

} // namespace km::zip
