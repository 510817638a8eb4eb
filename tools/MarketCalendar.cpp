#include "MarketCalendar.h"

#include "Calendar.h"

#include <algorithm>

namespace quorvane {

namespace {

constexpr int Sunday = 0, Monday = 1, Thursday = 4, Saturday = 6;

// A fixed-date holiday on a Saturday is kept on the Friday before, on a Sunday the Monday after.
int64_t Observed(int year, int month, int day)
{
    const int64_t d = DaysFromCivil(year, month, day);
    switch (DayOfWeek(d)) {
    case Saturday:
        return d - 1;
    case Sunday:
        return d + 1;
    default:
        return d;
    }
}

bool MondayToThursday(int64_t day)
{
    const int w = DayOfWeek(day);
    return w >= Monday && w <= Thursday;
}

} // namespace

std::vector<MarketHoliday> ExchangeHolidays(int year)
{
    using H = MarketHoliday;
    std::vector<H> days;
    // New Year's Day is not moved back into the old year: on a Saturday there is no holiday.
    const int64_t newYear = DaysFromCivil(year, 1, 1);
    if (DayOfWeek(newYear) != Saturday)
        days.push_back({Observed(year, 1, 1), H::Closed, "New Year's Day"});
    days.push_back(
        {NthWeekdayOfMonth(year, 1, Monday, 3), H::Closed, "Martin Luther King Jr. Day"});
    days.push_back({NthWeekdayOfMonth(year, 2, Monday, 3), H::Closed, "Washington's Birthday"});
    days.push_back({EasterSunday(year) - 2, H::Closed, "Good Friday"});
    days.push_back({NthWeekdayOfMonth(year, 5, Monday, -1), H::Closed, "Memorial Day"});
    if (year >= 2022)
        days.push_back({Observed(year, 6, 19), H::Closed, "Juneteenth National Independence Day"});
    days.push_back({Observed(year, 7, 4), H::Closed, "Independence Day"});
    days.push_back({NthWeekdayOfMonth(year, 9, Monday, 1), H::Closed, "Labor Day"});
    const int64_t thanksgiving = NthWeekdayOfMonth(year, 11, Thursday, 4);
    days.push_back({thanksgiving, H::Closed, "Thanksgiving Day"});
    // Christmas on a Saturday is observed on Friday 24 December, which then has no early close.
    days.push_back({Observed(year, 12, 25), H::Closed, "Christmas Day"});

    const int64_t july3 = DaysFromCivil(year, 7, 3);
    if (MondayToThursday(july3))
        days.push_back({july3, H::EarlyClose, "Independence Day eve"});
    days.push_back({thanksgiving + 1, H::EarlyClose, "day after Thanksgiving"});
    const int64_t dec24 = DaysFromCivil(year, 12, 24);
    if (MondayToThursday(dec24))
        days.push_back({dec24, H::EarlyClose, "Christmas Eve"});

    std::sort(days.begin(), days.end(), [](const H &a, const H &b) { return a.Day < b.Day; });
    return days;
}

} // namespace quorvane
