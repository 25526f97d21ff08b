#include "fileops/attributes/DateTimeText.h"

#include <cstdio>

namespace km {
namespace {

// Reads up to `count` unsigned numbers separated by runs of blanks or of the
// bytes of `separators`; false unless exactly `count` were found and nothing else.
bool ReadNumbers(std::string_view text, std::string_view separators, int* out, int count) {
    int found = 0;
    size_t i = 0;
    const auto isGap = [separators](char c) {
        return c == ' ' || c == '\t' || separators.find(c) != std::string_view::npos;
    };
    while (i < text.size()) {
        if (isGap(text[i])) {
            ++i;
            continue;
        }
        if (text[i] < '0' || text[i] > '9' || found == count)
            return false;
        int value = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            // Four digits is the widest field a date or time has.
            if (++digits > 4)
                return false;
            value = value * 10 + (text[i] - '0');
            ++i;
        }
        out[found++] = value;
    }
    return found == count;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

} // namespace

DateTimeTexts FormatDateTime(const std::tm& local, const LocaleInfo& locale) {
    const int year = ((local.tm_year + 1900) % 100 + 100) % 100;
    const int month = local.tm_mon + 1;
    const int day = local.tm_mday;
    int a = month, b = day, c = year;
    if (locale.dateOrder == 1) {
        a = day;
        b = month;
    } else if (locale.dateOrder == 2) {
        a = year;
        b = month;
        c = day;
    }
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d", local.tm_hour, local.tm_min);
    return {JoinDateFields(a, b, c, locale), time};
}

DateTimeTexts FormatDateTime(int64_t seconds, const LocaleInfo& locale) {
    const time_t t = static_cast<time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return FormatDateTime(local, locale);
}

std::optional<int64_t> ParseDateTime(std::string_view date, std::string_view time,
                                     const LocaleInfo& locale) {
    int d[3];
    int t[2];
    const std::string separators = locale.dateSeparator + locale.dateSeparator2 + locale.dateSuffix;
    if (!ReadNumbers(date, separators, d, 3) || !ReadNumbers(time, ":", t, 2))
        return std::nullopt;
    int year = d[2], month = d[0], day = d[1];
    if (locale.dateOrder == 1) {
        day = d[0];
        month = d[1];
    } else if (locale.dateOrder == 2) {
        year = d[0];
        month = d[1];
        day = d[2];
    }
    if (year < 81)
        year += 2000;
    else if (year < 100)
        year += 1900;
    // The file times the panels hold begin in 1601.
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return std::nullopt;
    if (t[0] > 23 || t[1] > 59)
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = t[0];
    local.tm_min = t[1];
    local.tm_isdst = -1; // the platform decides daylight saving
    const time_t result = mktime(&local);
    // With seconds 0, -1 is never a real answer (one second before 1970 UTC).
    if (result == static_cast<time_t>(-1))
        return std::nullopt;
    return static_cast<int64_t>(result);
}

} // namespace km
