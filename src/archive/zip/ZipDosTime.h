#pragma once
// DOS date and time fields of ZIP headers, their conversions (local time) and record texts.
#include <cstdint>
#include <string>

namespace km::zip {

// Seconds since the epoch of a DOS date and time read as local time.
int64_t DosToUnixLocal(uint16_t date, uint16_t time);

// (date << 16) | time of a moment in local time; dates before 1980 give 1980-01-01 00:00.
uint32_t UnixToDosLocal(int64_t seconds);

// "%u-%02u-%02u": four-digit year, month (a month outside 1..12 is written as 6), day.
std::string DosDateText(uint16_t date);

// "%02u:%02u:%02u" with seconds = DOS seconds x 2.
std::string DosTimeText(uint16_t time);

// "%2u %s %u %2u:%02u": day, English month name, year, hour, minute (the overwrite query).
std::string QueryDateText(uint16_t date, uint16_t time);

} // namespace km::zip
