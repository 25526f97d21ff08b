#include "ftp/ListingParser.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <limits>

namespace km {

namespace {

constexpr int64_t kSecondsPerDay = 86400;
// A date without a year that lies less than this far back keeps its past year.
constexpr int64_t kPastWindow = 350 * kSecondsPerDay;
constexpr int64_t kVmsBlockSize = 512;
// Years 0001 to 9999, so date arithmetic on any injected clock stays in range.
constexpr int64_t kEarliestNow = -62135596800;
constexpr int64_t kLatestNow = 253402300799;

std::atomic<ListingClock> g_clock{nullptr};

int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool IsLeapYear(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days from 0001-01-01 to January 1st of `year`.
int64_t DaysBeforeYear(int64_t year) {
    const int64_t y = year - 1;
    return y * 365 + FloorDiv(y, 4) - FloorDiv(y, 100) + FloorDiv(y, 400);
}

int64_t DateSeconds(int64_t year, int month, int day) {
    static constexpr int kDaysBeforeMonth[12] = {0,   31,  59,  90,  120, 151,
                                                 181, 212, 243, 273, 304, 334};
    int64_t days = DaysBeforeYear(year) - DaysBeforeYear(1970) + kDaysBeforeMonth[month] + day - 1;
    if (month >= 2 && IsLeapYear(year))
        ++days;
    return days * kSecondsPerDay;
}

int64_t YearOf(int64_t seconds) {
    const int64_t days = FloorDiv(seconds, kSecondsPerDay);
    int64_t year = 1970 + FloorDiv(days * 400, 146097);
    while (DateSeconds(year, 0, 1) > seconds)
        --year;
    while (DateSeconds(year + 1, 0, 1) <= seconds)
        ++year;
    return year;
}

int64_t SystemLocalClock() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr)
        return static_cast<int64_t>(t);
    return DateSeconds(local.tm_year + 1900LL, local.tm_mon, local.tm_mday) +
           local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
}

int64_t Now(const int64_t* fixedNow) {
    int64_t now;
    if (fixedNow != nullptr) {
        now = *fixedNow;
    } else {
        ListingClock clock = g_clock.load(std::memory_order_relaxed);
        now = clock != nullptr ? clock() : SystemLocalClock();
    }
    return now < kEarliestNow ? kEarliestNow : (now > kLatestNow ? kLatestNow : now);
}

// Starting with the year before the present one and going upward, the first year in
// which the date lies less than the window back. The date in the following year is
// always in the future, so at most three years are tried.
int64_t GuessYear(int month, int day, int64_t now) {
    const int64_t current = YearOf(now);
    for (int64_t year = current - 1; year < current + 1; ++year) {
        if (now - DateSeconds(year, month, day) < kPastWindow)
            return year;
    }
    return current + 1;
}

// A token of decimal digits only, at most `max`. Servers that send anything else in a
// number column get the line skipped instead of a made-up size or date.
bool ReadNumber(std::string_view token, int64_t max, int64_t& value) {
    if (token.empty())
        return false;
    int64_t v = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return false;
        if (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, c - '0', &v) || v > max)
            return false;
    }
    value = v;
    return true;
}

int MonthOf(std::string_view token) {
    static constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() != 3)
        return -1;
    char lower[3];
    for (int i = 0; i < 3; ++i) {
        const char c = token[i];
        lower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (int m = 0; m < 12; ++m) {
        if (std::memcmp(lower, kMonths[m], 3) == 0)
            return m;
    }
    return -1;
}

bool IsBlankOrTab(char c) {
    return c == ' ' || c == '\t';
}

bool IsSafeName(const ListingLineInfo& info) {
    // What ListingEntryName cuts off is checked too: a caller may still look at it.
    const std::string_view raw(info.name, static_cast<std::size_t>(info.nameLength));
    if (raw.find('/') != std::string_view::npos || raw.find('\0') != std::string_view::npos)
        return false;
    return IsSafeListedName(ListingEntryName(info));
}

bool ParseUnix(ListingLineInfo& r, const char* line, std::size_t length, const int64_t* fixedNow) {
    const char type = line[0];
    r.isDirectory = (type == 'd' || type == 'l') ? 1 : 0;
    r.isFile = (type == '-' || type == 'l') ? 1 : 0;
    // The size column of a device holds its device numbers ("major, minor").
    const bool device = type == 'b' || type == 'c';

    int state = 1;
    int64_t size = 0;
    bool sizeIsNumber = false;
    int month = 0;
    int64_t day = 0;
    std::size_t tokenStart = 0;
    std::size_t nameStart = 0;
    for (std::size_t i = 1; i < length && state < 8; ++i) {
        if (line[i] != ' ') {
            if (line[i - 1] == ' ')
                tokenStart = i;
            continue;
        }
        if (line[i - 1] == ' ')
            continue;
        const std::string_view token(line + tokenStart, i - tokenStart);
        switch (state) {
        case 1:
            state = 2;
            break;
        case 2:
            // A 6-character word such as "folder" stands where Mac servers leave out
            // the link count and owner.
            state = (token.size() == 6 && token[0] == 'f') ? 4 : 3;
            break;
        case 3:
            state = 4;
            break;
        case 4:
            sizeIsNumber = ReadNumber(token, std::numeric_limits<int64_t>::max(), size);
            state = 5;
            break;
        case 5: {
            const int m = MonthOf(token);
            if (m < 0) {
                // Group names may contain blanks: the last number before the month wins.
                sizeIsNumber = ReadNumber(token, std::numeric_limits<int64_t>::max(), size);
                break;
            }
            if (!sizeIsNumber) {
                if (!device)
                    return false;
                size = 0;
            }
            month = m;
            state = 6;
            break;
        }
        case 6:
            if (!ReadNumber(token, 31, day) || day < 1)
                return false;
            state = 7;
            break;
        case 7: {
            const bool hMm = token.size() == 4 && token[1] == ':';
            const bool hhMm = token.size() == 5 && token[2] == ':';
            if (hMm || hhMm) {
                const std::size_t colon = hMm ? 1 : 2;
                int64_t hour = 0;
                int64_t minute = 0;
                if (!ReadNumber(token.substr(0, colon), 23, hour) ||
                    !ReadNumber(token.substr(colon + 1), 59, minute))
                    return false;
                const int64_t year = GuessYear(month, static_cast<int>(day), Now(fixedNow));
                r.timeKind = ListingDateTime;
                r.time =
                    DateSeconds(year, month, static_cast<int>(day)) + hour * 3600 + minute * 60;
            } else {
                int64_t year = 0;
                if (token.size() != 4 || !ReadNumber(token, 9999, year))
                    return false;
                r.timeKind = ListingDateOnly;
                r.time = DateSeconds(year, month, static_cast<int>(day));
            }
            // Blanks after the single separator belong to the name.
            nameStart = i + 1;
            state = 8;
            break;
        }
        }
    }
    if (state != 8)
        return false;

    r.sizeKind = ListingSizeGiven;
    r.size = size;
    r.name = line + nameStart;
    std::size_t nameLength = length - nameStart;
    if (type == 'l') {
        // Drop the link target.
        const std::string_view name(r.name, nameLength);
        const std::size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos)
            nameLength = arrow;
    }
    // Some servers pad the name column with three blanks.
    if ((line[1] == ' ' || line[1] == '[') && nameLength > 3 &&
        std::memcmp(r.name, "   ", 3) == 0) {
        r.name += 3;
        nameLength -= 3;
    }
    r.nameLength = static_cast<int32_t>(nameLength);
    return true;
}

bool ParseVms(ListingLineInfo& r, const char* line, std::size_t length) {
    // A line feed does not end the name: the panel joins a wrapped long name with
    // its continuation line and cuts the name at the line feed itself.
    std::size_t i = 0;
    while (i < length && line[i] != ' ' && line[i] != '\r' && line[i] != '\t')
        ++i;
    const void* semicolon = std::memchr(line + 1, ';', length - 1);
    if (semicolon == nullptr)
        return false;
    const std::size_t version =
        static_cast<std::size_t>(static_cast<const char*>(semicolon) - line);
    r.isDirectory = (version > 4 && std::memcmp(line + version - 4, ".DIR", 4) == 0) ? 1 : 0;
    r.isFile = r.isDirectory ? 0 : 1;
    r.name = line;
    r.nameLength = static_cast<int32_t>(i);

    // A name alone (trailing blanks and the line end aside) has no size and no time.
    while (i < length && !IsBlankOrTab(line[i]))
        ++i;
    while (i < length && line[i] == ' ')
        ++i;
    std::size_t rest = i;
    while (rest < length && (line[rest] == '\r' || line[rest] == '\n'))
        ++rest;
    if (rest == length)
        return true;

    // Size: the used blocks, before any "/allocated".
    std::size_t digitsEnd = i;
    while (digitsEnd < length && line[digitsEnd] >= '0' && line[digitsEnd] <= '9')
        ++digitsEnd;
    int64_t blocks = 0;
    if (!ReadNumber(std::string_view(line + i, digitsEnd - i), std::numeric_limits<int64_t>::max(),
                    blocks) ||
        __builtin_mul_overflow(blocks, kVmsBlockSize, &r.size))
        return false;
    r.sizeKind = ListingSizeGiven;
    i = digitsEnd;
    while (i < length && !IsBlankOrTab(line[i]))
        ++i;
    if (i == length)
        return false;

    // Date DD-MMM-YYYY.
    while (i < length && IsBlankOrTab(line[i]))
        ++i;
    std::size_t end = i;
    while (end < length && line[end] != '-')
        ++end;
    int64_t day = 0;
    if (end == length || !ReadNumber(std::string_view(line + i, end - i), 31, day) || day < 1)
        return false;
    i = end;
    while (i < length && line[i] == '-')
        ++i;
    end = i;
    while (end < length && line[end] != '-' && line[end] != '\t')
        ++end;
    const int month = MonthOf(std::string_view(line + i, end - i));
    if (end == length || month < 0)
        return false;
    i = end;
    while (i < length && line[i] == '-')
        ++i;
    end = i;
    while (end < length && !IsBlankOrTab(line[end]))
        ++end;
    int64_t year = 0;
    if (end == length || end - i != 4 || !ReadNumber(std::string_view(line + i, 4), 9999, year))
        return false;
    i = end;

    // Time HH:MM[:SS]; a missing time is midnight, a minute cut off by the line end 0.
    while (i < length && IsBlankOrTab(line[i]))
        ++i;
    int64_t hour = 0;
    int64_t minute = 0;
    end = i;
    while (end < length && line[end] != ':')
        ++end;
    if (end < length) {
        if (!ReadNumber(std::string_view(line + i, end - i), 23, hour))
            return false;
        i = end;
        while (i < length && line[i] == ':')
            ++i;
        end = i;
        while (end < length && line[end] != ':' && !IsBlankOrTab(line[end]))
            ++end;
        if (end < length && !ReadNumber(std::string_view(line + i, end - i), 59, minute))
            return false;
    }
    r.timeKind = ListingDateTime;
    r.time = DateSeconds(year, month, static_cast<int>(day)) + hour * 3600 + minute * 60;
    return true;
}

int DaysInMonth(int64_t year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (month == 1 && IsLeapYear(year)) ? 29 : kDays[month];
}

std::size_t DigitsEnd(const char* line, std::size_t length, std::size_t from) {
    while (from < length && line[from] >= '0' && line[from] <= '9')
        ++from;
    return from;
}

std::size_t BlanksEnd(const char* line, std::size_t length, std::size_t from) {
    while (from < length && line[from] == ' ')
        ++from;
    return from;
}

enum class DosLine { NotDos, Rejected, Parsed };

// MM-DD-YY[YY], HH:MM[AM|PM], then <DIR> or a size, then one blank and the name.
// A line of that shape whose numbers are out of range is skipped; any other line
// is left to the VMS reader.
DosLine ParseDos(ListingLineInfo& r, const char* line, std::size_t length) {
    const std::size_t dayStart = 3;
    const std::size_t yearStart = 6;
    if (length <= yearStart || DigitsEnd(line, length, 0) != 2 || line[2] != '-' ||
        DigitsEnd(line, length, dayStart) != yearStart - 1 || line[yearStart - 1] != '-')
        return DosLine::NotDos;
    const std::size_t yearEnd = DigitsEnd(line, length, yearStart);
    if ((yearEnd - yearStart != 2 && yearEnd - yearStart != 4) || yearEnd == length ||
        line[yearEnd] != ' ')
        return DosLine::NotDos;

    // H:MM or HH:MM, with AM or PM straight after it on 12-hour servers.
    std::size_t i = BlanksEnd(line, length, yearEnd);
    const std::size_t hourStart = i;
    std::size_t end = DigitsEnd(line, length, i);
    if (end - i < 1 || end - i > 2 || end == length || line[end] != ':')
        return DosLine::NotDos;
    const std::size_t hourEnd = end;
    i = end + 1;
    end = DigitsEnd(line, length, i);
    if (end - i != 2)
        return DosLine::NotDos;
    const std::size_t minuteStart = i;
    i = end;
    char halfDay = 0;
    if (i + 1 < length && line[i + 1] == 'M' && (line[i] == 'A' || line[i] == 'P')) {
        halfDay = line[i];
        i += 2;
    }
    if (i == length || line[i] != ' ')
        return DosLine::NotDos;

    i = BlanksEnd(line, length, i);
    const bool directory =
        length - i > 5 && std::memcmp(line + i, "<DIR>", 5) == 0 && line[i + 5] == ' ';
    std::size_t nameStart = 0;
    std::size_t sizeEnd = i;
    if (directory) {
        // IIS pads <DIR> with ten blanks to the width of its size column; blanks past
        // those belong to the name. Other servers pad less.
        constexpr std::size_t kDirPadding = 10;
        const std::size_t blanks = BlanksEnd(line, length, i + 5) - (i + 5);
        nameStart = i + 5 + (blanks >= kDirPadding ? kDirPadding : blanks);
    } else {
        sizeEnd = DigitsEnd(line, length, i);
        if (sizeEnd == i || sizeEnd == length || line[sizeEnd] != ' ')
            return DosLine::NotDos;
        // Exactly one blank: further blanks belong to the name.
        nameStart = sizeEnd + 1;
    }

    int64_t month = 0;
    int64_t day = 0;
    int64_t year = 0;
    int64_t hour = 0;
    int64_t minute = 0;
    ReadNumber(std::string_view(line, 2), 99, month);
    ReadNumber(std::string_view(line + dayStart, 2), 99, day);
    ReadNumber(std::string_view(line + yearStart, yearEnd - yearStart), 9999, year);
    ReadNumber(std::string_view(line + hourStart, hourEnd - hourStart), 99, hour);
    ReadNumber(std::string_view(line + minuteStart, 2), 99, minute);
    if (yearEnd - yearStart == 2)
        year += year >= 70 ? 1900 : 2000;
    if (halfDay != 0) {
        if (hour < 1 || hour > 12)
            return DosLine::Rejected;
        // 12:xxAM is just after midnight, 12:xxPM just after noon.
        hour = hour % 12 + (halfDay == 'P' ? 12 : 0);
    }
    if (!ListingCalendarSeconds(year, static_cast<int>(month), static_cast<int>(day),
                                static_cast<int>(hour), static_cast<int>(minute), 0, r.time))
        return DosLine::Rejected;
    if (!directory && !ReadNumber(std::string_view(line + i, sizeEnd - i),
                                  std::numeric_limits<int64_t>::max(), r.size))
        return DosLine::Rejected;

    r.isDirectory = directory ? 1 : 0;
    r.isFile = directory ? 0 : 1;
    r.sizeKind = ListingSizeGiven;
    r.timeKind = ListingDateTime;
    r.name = line + nameStart;
    r.nameLength = static_cast<int32_t>(length - nameStart);
    return DosLine::Parsed;
}

int Parse(ListingLineInfo& result, const char* line, std::size_t length, const int64_t* fixedNow) {
    result = ListingLineInfo{};
    // nameLength is 32-bit; no listing line comes near that.
    if (line == nullptr || length < 2 ||
        length > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    bool recognised = false;
    switch (line[0]) {
    case '-':
    case 'b':
    case 'c':
    case 'd':
    case 'l':
    case 'p':
    case 's':
        recognised = ParseUnix(result, line, length, fixedNow);
        break;
    case '+':
        break;
    default:
        if (line[0] >= '0' && line[0] <= '9') {
            const DosLine dos = ParseDos(result, line, length);
            if (dos != DosLine::NotDos) {
                recognised = dos == DosLine::Parsed;
                break;
            }
        }
        recognised = ParseVms(result, line, length);
        break;
    }
    if (!recognised || !IsSafeName(result)) {
        result = ListingLineInfo{};
        return 0;
    }
    return 1;
}

} // namespace

int ParseListingLine(ListingLineInfo& result, const char* line, std::size_t length) {
    return Parse(result, line, length, nullptr);
}

int ParseListingLine(ListingLineInfo& result, const char* line, std::size_t length, int64_t now) {
    return Parse(result, line, length, &now);
}

void SetListingClock(ListingClock clock) {
    g_clock.store(clock, std::memory_order_relaxed);
}

std::string_view ListingEntryName(const ListingLineInfo& info) {
    if (info.name == nullptr || info.nameLength <= 0)
        return {};
    std::string_view name(info.name, static_cast<std::size_t>(info.nameLength));
    const std::size_t lastLineFeed = name.rfind('\n');
    if (lastLineFeed != std::string_view::npos)
        name = name.substr(0, lastLineFeed);
    while (!name.empty() && name.back() == '\r')
        name.remove_suffix(1);
    return name;
}

bool IsSafeListedName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool ListingCalendarSeconds(int64_t year, int month, int day, int hour, int minute, int second,
                            int64_t& seconds) {
    if (year < 0 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month - 1) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 60)
        return false;
    seconds = DateSeconds(year, month - 1, day) + hour * 3600LL + minute * 60LL + second;
    return true;
}

} // namespace km
