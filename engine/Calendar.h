#pragma once

#include <cstdint>

namespace quorvane {

// Days since 1899-12-30 00:00; the fraction is the time of day. Local, UTC and Eastern values
// share this type; which zone a value is in is said where it is used.
using TDateTime = double;

constexpr double SecondsPerDay = 86400.0;
constexpr double OneSecond = 1.0 / SecondsPerDay;

struct CivilDate
{
    int Year = 0;
    int Month = 0;
    int Day = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// The proleptic Gregorian calendar for years 1 to 9999, as the schedule grammar asks.
bool IsValidDate(int year, int month, int day);
// Day number relative to 1899-12-30 (negative before it); no range check.
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);
// 0 = Sunday .. 6 = Saturday.
int DayOfWeek(int64_t days);
// The date of the n-th (1-based) given weekday of a month; n = -1 asks for the last one.
int64_t NthWeekdayOfMonth(int year, int month, int weekday, int n);
int64_t EasterSunday(int year);

struct TimeOfDay
{
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// Splits a value into its date and time of day, rounding to the millisecond as the display does.
void DecodeDateTime(TDateTime value, CivilDate &date, TimeOfDay &time);

} // namespace quorvane
