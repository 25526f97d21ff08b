#include "archive/zip/ZipDosTime.h"

#include <cstdio>
#include <ctime>

namespace km::zip {

int64_t DosToUnixLocal(uint16_t date, uint16_t time) {
    std::tm tm{};
    tm.tm_year = ((date >> 9) & 0x7f) + 80;
    tm.tm_mon = ((date >> 5) & 0x0f) - 1;
    tm.tm_mday = date & 0x1f;
    tm.tm_hour = (time >> 11) & 0x1f;
    tm.tm_min = (time >> 5) & 0x3f;
    tm.tm_sec = (time & 0x1f) * 2;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

uint32_t UnixToDosLocal(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80)
        return (1u << 5 | 1u) << 16;
    if (tm.tm_year > 80 + 127)
        tm.tm_year = 80 + 127;
    const uint32_t date =
        static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    const uint32_t dtime =
        static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return date << 16 | dtime;
}

std::string DosDateText(uint16_t date) {
    unsigned month = (date >> 5) & 0x0f;
    if (month < 1 || month > 12)
        month = 6;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u-%02u-%02u", ((date >> 9) & 0x7fu) + 1980u, month,
                  date & 0x1fu);
    return buf;
}

std::string DosTimeText(uint16_t time) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", (time >> 11) & 0x1fu, (time >> 5) & 0x3fu,
                  (time & 0x1fu) * 2u);
    return buf;
}

std::string QueryDateText(uint16_t date, uint16_t time) {
    static const char* const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    unsigned month = (date >> 5) & 0x0f;
    const char* name = (month >= 1 && month <= 12) ? kMonths[month - 1] : kMonths[0];
    char buf[64];
    std::snprintf(buf, sizeof buf, "%2u %s %u %2u:%02u", date & 0x1fu, name,
                  ((date >> 9) & 0x7fu) + 1980u, (time >> 11) & 0x1fu, (time >> 5) & 0x3fu);
    return buf;
}

} // namespace km::zip
