#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// A weekday on which the exchange does not keep its regular hours.
struct MarketHoliday
{
    enum Kind { Closed, EarlyClose };
    int64_t Day = 0; // days since 1899-12-30
    Kind Type = Closed;
    std::string Name;
};

// The exchange's full holidays and 1:00 pm closes of one year, in date order.
std::vector<MarketHoliday> ExchangeHolidays(int year);

} // namespace quorvane
