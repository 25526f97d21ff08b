#pragma once
// The date and time fields of the attribute dialogs: "dd-dd-dd" in the
// locale's short-date order with its separator, and "hh:mm".
#include "platform/LocaleInfo.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace km {

struct DateTimeTexts {
    std::string date; // e.g. "24-12-98", or "26年12月10日"
    std::string time; // 5 characters
};

// The fields for a broken-down local time.
DateTimeTexts FormatDateTime(const std::tm& local, const LocaleInfo& locale);

// The fields for a time in seconds since 1970, shown in local time.
DateTimeTexts FormatDateTime(int64_t seconds, const LocaleInfo& locale);

// Reads the typed fields as local time: three numbers separated by the
// locale's separator (or blanks) in its order, a two-digit year widened
// (below 81: 20xx, 81-99: 19xx), and hour:minute. Seconds are 0.
// Returns seconds since 1970, or nothing for texts that are not three and
// two numbers or that name an impossible date or time.
std::optional<int64_t> ParseDateTime(std::string_view date, std::string_view time,
                                     const LocaleInfo& locale);

} // namespace km
