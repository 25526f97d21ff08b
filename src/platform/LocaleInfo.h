#pragma once

namespace km {

// The separators and date order the panels format with; read once at start.
struct LocaleInfo {
    char thousandsSeparator = ',';
    char dateSeparator = '/';
    int dateOrder = 0; // 0 month-day-year, 1 day-month-year, 2 year-month-day
};

// Reads the C library's current locale (call after setlocale(LC_ALL, "")).
LocaleInfo ReadSystemLocale();

// The process-wide values; ReadSystemLocale() at start-up stores them here.
const LocaleInfo& CurrentLocale();
void SetCurrentLocale(const LocaleInfo& info);

} // namespace km
