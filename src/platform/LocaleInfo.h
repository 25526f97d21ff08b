#pragma once
#include <string>

namespace km {

// The separators and date order the panels format with; read once at start.
// Separators are UTF-8 text: U+202F groups digits in French, and Japanese
// dates read 26年12月10日.
struct LocaleInfo {
    std::string thousandsSeparator = ",";
    std::string dateSeparator = "/";  // between the first and second date field
    std::string dateSeparator2 = "/"; // between the second and third
    std::string dateSuffix;           // after the third (日 in Japanese), mostly empty
    int dateOrder = 0; // 0 month-day-year, 1 day-month-year, 2 year-month-day

    // A locale with one separator in both places and no suffix.
    static LocaleInfo WithDateSeparator(std::string separator, int order) {
        LocaleInfo l;
        l.dateSeparator = l.dateSeparator2 = std::move(separator);
        l.dateOrder = order;
        return l;
    }
};

// Reads the C library's current locale (call after setlocale(LC_ALL, "")).
LocaleInfo ReadSystemLocale();

// The three date fields joined in the locale's order with its separators:
// `a`, `b`, `c` are already ordered; each is written with two digits.
std::string JoinDateFields(int a, int b, int c, const LocaleInfo& locale);

// The process-wide values; ReadSystemLocale() at start-up stores them here.
const LocaleInfo& CurrentLocale();
void SetCurrentLocale(const LocaleInfo& info);

} // namespace km
