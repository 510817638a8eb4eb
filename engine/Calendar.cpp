#include "Calendar.h"

#include <cmath>

namespace quorvane {

namespace {
// 1970-01-01 counted from 0000-03-01 minus the count for 1899-12-30.
constexpr int64_t kEpochShift = 25569;
} // namespace

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day)
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1
        && day <= DaysInMonth(year, month);
}

// Civil-from-days and days-from-civil after Howard Hinnant's public-domain algorithms.
int64_t DaysFromCivil(int year, int month, int day)
{
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t mp = (month + 9) % 12;
    const int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + kEpochShift;
}

CivilDate CivilFromDays(int64_t days)
{
    const int64_t z = days - kEpochShift + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    CivilDate d;
    d.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    d.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    d.Year = static_cast<int>(yoe + era * 400 + (d.Month <= 2 ? 1 : 0));
    return d;
}

int DayOfWeek(int64_t days)
{
    // 1899-12-30 was a Saturday.
    const int64_t w = (days + 6) % 7;
    return static_cast<int>(w < 0 ? w + 7 : w);
}

int64_t NthWeekdayOfMonth(int year, int month, int weekday, int n)
{
    if (n < 0) {
        const int64_t last = DaysFromCivil(year, month, DaysInMonth(year, month));
        return last - (DayOfWeek(last) - weekday + 7) % 7;
    }
    const int64_t first = DaysFromCivil(year, month, 1);
    return first + (weekday - DayOfWeek(first) + 7) % 7 + 7 * (n - 1);
}

int64_t EasterSunday(int year)
{
    // Anonymous Gregorian computus (Meeus/Jones/Butcher).
    const int a = year % 19;
    const int b = year / 100;
    const int c = year % 100;
    const int d = b / 4;
    const int e = b % 4;
    const int f = (b + 8) / 25;
    const int g = (b - f + 1) / 3;
    const int h = (19 * a + b - d - g + 15) % 30;
    const int i = c / 4;
    const int k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7;
    const int m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31;
    const int day = (h + l - 7 * m + 114) % 31 + 1;
    return DaysFromCivil(year, month, day);
}

void DecodeDateTime(TDateTime value, CivilDate &date, TimeOfDay &time)
{
    // Work in whole milliseconds so 09:29:59.9996 does not show as 09:29 after 09:30 was meant.
    const double ms = std::floor(value * 86400000.0 + 0.5);
    const double day = std::floor(ms / 86400000.0);
    int64_t msOfDay = static_cast<int64_t>(ms - day * 86400000.0);
    date = CivilFromDays(static_cast<int64_t>(day));
    time.Hour = static_cast<int>(msOfDay / 3600000);
    msOfDay %= 3600000;
    time.Minute = static_cast<int>(msOfDay / 60000);
    msOfDay %= 60000;
    time.Second = static_cast<int>(msOfDay / 1000);
    time.Millisecond = static_cast<int>(msOfDay % 1000);
}

} // namespace quorvane
