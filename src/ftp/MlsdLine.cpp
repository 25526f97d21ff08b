#include "ftp/MlsdLine.h"

#include "ftp/ListingParser.h"

#include <limits>

namespace km {

namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        char d = b[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (d >= 'A' && d <= 'Z')
            d = static_cast<char>(d - 'A' + 'a');
        if (c != d)
            return false;
    }
    return true;
}

// Digits only in the given base, no sign or blanks, at most `max`.
bool ReadUnsigned(std::string_view text, unsigned base, uint64_t max, uint64_t& value) {
    if (text.empty())
        return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c >= static_cast<char>('0' + base))
            return false;
        if (__builtin_mul_overflow(v, base, &v) ||
            __builtin_add_overflow(v, static_cast<uint64_t>(c - '0'), &v) || v > max)
            return false;
    }
    value = v;
    return true;
}

bool Parse(MlsdEntry& out, const char* line, std::size_t length) {
    const std::string_view text(line, length);
    // Only the first blank ends the facts; the name may hold more.
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return false;
    std::string_view name = text.substr(blank + 1);
    if (!name.empty() && name.back() == '\n')
        name.remove_suffix(1);
    while (!name.empty() && name.back() == '\r')
        name.remove_suffix(1);
    if (!IsSafeListedName(name))
        return false;

    std::string_view facts = text.substr(0, blank);
    bool hasSizd = false;
    uint64_t sizd = 0;
    while (!facts.empty()) {
        const std::size_t semicolon = facts.find(';');
        if (semicolon == std::string_view::npos)
            return false;
        const std::string_view fact = facts.substr(0, semicolon);
        facts.remove_prefix(semicolon + 1);
        const std::size_t equals = fact.find('=');
        if (equals == 0 || equals == std::string_view::npos)
            return false;
        const std::string_view key = fact.substr(0, equals);
        const std::string_view value = fact.substr(equals + 1);
        if (EqualsIgnoreCase(key, "type")) {
            if (EqualsIgnoreCase(value, "cdir") || EqualsIgnoreCase(value, "pdir"))
                return false;
            out.isDirectory = EqualsIgnoreCase(value, "dir");
            out.isFile = EqualsIgnoreCase(value, "file");
            if (EqualsIgnoreCase(value, "OS.unix=symlink"))
                out.isDirectory = out.isFile = true;
        } else if (EqualsIgnoreCase(key, "size")) {
            out.size = 0;
            out.hasSize = ReadUnsigned(value, 10, std::numeric_limits<uint64_t>::max(), out.size);
        } else if (EqualsIgnoreCase(key, "sizd")) {
            sizd = 0;
            hasSizd = ReadUnsigned(value, 10, std::numeric_limits<uint64_t>::max(), sizd);
        } else if (EqualsIgnoreCase(key, "modify")) {
            out.modifyUtc = 0;
            out.hasTime = ParseFtpTimeValue(value, out.modifyUtc);
        } else if (EqualsIgnoreCase(key, "UNIX.mode")) {
            uint64_t mode = 0;
            out.hasUnixMode = ReadUnsigned(value, 8, 07777, mode);
            out.unixMode = static_cast<uint32_t>(mode);
        }
    }
    if (!out.hasSize && hasSizd && out.isDirectory) {
        out.hasSize = true;
        out.size = sizd;
    }
    out.name = name;
    return true;
}

} // namespace

bool ParseFtpTimeValue(std::string_view text, int64_t& seconds) {
    constexpr std::size_t kDigits = 14;
    if (text.size() < kDigits)
        return false;
    const std::string_view fraction = text.substr(kDigits);
    if (!fraction.empty() &&
        (fraction.size() < 2 || fraction[0] != '.' ||
         fraction.find_first_not_of("0123456789", 1) != std::string_view::npos))
        return false;
    uint64_t field[6] = {};
    static constexpr std::size_t kStart[6] = {0, 4, 6, 8, 10, 12};
    static constexpr std::size_t kWidth[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        if (!ReadUnsigned(text.substr(kStart[i], kWidth[i]), 10, 9999, field[i]))
            return false;
    }
    return ListingCalendarSeconds(static_cast<int64_t>(field[0]), static_cast<int>(field[1]),
                                  static_cast<int>(field[2]), static_cast<int>(field[3]),
                                  static_cast<int>(field[4]), static_cast<int>(field[5]), seconds);
}

int ParseMlsdLine(MlsdEntry& out, const char* line, std::size_t length) {
    out = MlsdEntry{};
    if (line == nullptr || !Parse(out, line, length)) {
        out = MlsdEntry{};
        return 0;
    }
    return 1;
}

} // namespace km
