#include "fileops/attributes/DateTimeText.h"

#include <ctime>
#include <gtest/gtest.h>

using namespace km;

namespace {

LocaleInfo Locale(int order, char separator) {
    return LocaleInfo::WithDateSeparator(std::string(1, separator), order);
}

std::tm Local(int64_t seconds) {
    const time_t t = static_cast<time_t>(seconds);
    std::tm out{};
    localtime_r(&t, &out);
    return out;
}

int64_t MakeLocal(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&t));
}

void ExpectDate(const std::optional<int64_t>& parsed, int year, int month, int day, int hour,
                int minute) {
    ASSERT_TRUE(parsed.has_value());
    const std::tm t = Local(*parsed);
    EXPECT_EQ(t.tm_year + 1900, year);
    EXPECT_EQ(t.tm_mon + 1, month);
    EXPECT_EQ(t.tm_mday, day);
    EXPECT_EQ(t.tm_hour, hour);
    EXPECT_EQ(t.tm_min, minute);
    EXPECT_EQ(t.tm_sec, 0);
}

TEST(DateTimeText, TypedDatesFollowTheLocaleOrder) {
    const LocaleInfo dmy = Locale(1, '.');
    ExpectDate(ParseDateTime("31.12.99", "23:59", dmy), 1999, 12, 31, 23, 59);
    ExpectDate(ParseDateTime("1.1.05", "0:00", dmy), 2005, 1, 1, 0, 0);
    ExpectDate(ParseDateTime("05/03/15", "12:30", Locale(2, '/')), 2005, 3, 15, 12, 30);
    ExpectDate(ParseDateTime("12/24/98", "13:05", Locale(0, '/')), 1998, 12, 24, 13, 5);
}

TEST(DateTimeText, TwoDigitYearsAreWidenedAtEightyOne) {
    const LocaleInfo mdy = Locale(0, '/');
    ExpectDate(ParseDateTime("1/1/80", "10:00", mdy), 2080, 1, 1, 10, 0);
    ExpectDate(ParseDateTime("1/1/81", "10:00", mdy), 1981, 1, 1, 10, 0);
    ExpectDate(ParseDateTime("1/1/00", "10:00", mdy), 2000, 1, 1, 10, 0);
    ExpectDate(ParseDateTime("1/1/1999", "10:00", mdy), 1999, 1, 1, 10, 0);
    // Leap days only where the widened year has one.
    ExpectDate(ParseDateTime("2/29/00", "10:00", mdy), 2000, 2, 29, 10, 0);
    EXPECT_FALSE(ParseDateTime("2/29/01", "10:00", mdy));
}

TEST(DateTimeText, RejectsTextsThatAreNotADateAndTime) {
    const LocaleInfo mdy = Locale(0, '/');
    const char* badDates[] = {"",         "12/24",    "12/24/98/1", "13/01/98",
                              "00/10/98", "04/31/98", "12/00/98",   "12-24-98",
                              "ab/cd/ef", "1/1/150",  "12/24/9x",   "99999/1/1"};
    for (const char* date : badDates)
        EXPECT_FALSE(ParseDateTime(date, "10:00", mdy)) << date;
    const char* badTimes[] = {"", "12", "24:00", "12:60", "1:2:3", "-1:00", "12.30"};
    for (const char* time : badTimes)
        EXPECT_FALSE(ParseDateTime("12/24/98", time, mdy)) << time;
    // Blanks around the numbers are harmless.
    ExpectDate(ParseDateTime(" 12/24/98 ", " 9:05", mdy), 1998, 12, 24, 9, 5);
}

TEST(DateTimeText, PrefillPutsTheFieldsInLocaleOrder) {
    std::tm t{};
    t.tm_year = 98;
    t.tm_mon = 11;
    t.tm_mday = 24;
    t.tm_hour = 13;
    t.tm_min = 5;
    DateTimeTexts texts = FormatDateTime(t, Locale(0, '/'));
    EXPECT_EQ(texts.date, "12/24/98");
    EXPECT_EQ(texts.time, "13:05");
    EXPECT_EQ(FormatDateTime(t, Locale(1, '.')).date, "24.12.98");
    EXPECT_EQ(FormatDateTime(t, Locale(2, '-')).date, "98-12-24");
    t.tm_year = 105;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 0;
    EXPECT_EQ(FormatDateTime(t, Locale(1, '.')).date, "02.01.05");
}

TEST(DateTimeText, PrefilledFieldsReadBackAsTheSameMinute) {
    const int64_t when = MakeLocal(2011, 7, 9, 8, 42);
    for (int order = 0; order < 3; ++order) {
        const LocaleInfo locale = Locale(order, order == 1 ? '.' : '/');
        const DateTimeTexts texts = FormatDateTime(when + 37, locale);
        EXPECT_EQ(ParseDateTime(texts.date, texts.time, locale), when) << order;
    }
}

} // namespace
