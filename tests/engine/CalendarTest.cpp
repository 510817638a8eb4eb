#include "Calendar.h"

#include <gtest/gtest.h>

using namespace quorvane;

TEST(Calendar, DayNumbersMatchTheDateTimeEpoch)
{
    EXPECT_EQ(DaysFromCivil(1899, 12, 30), 0);
    EXPECT_EQ(DaysFromCivil(1900, 1, 1), 2);
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 25569);
    EXPECT_EQ(DaysFromCivil(1899, 12, 29), -1);
    for (int64_t d : {-700000, -1, 0, 2, 25569, 46000, 2958465}) {
        const CivilDate c = CivilFromDays(d);
        EXPECT_EQ(DaysFromCivil(c.Year, c.Month, c.Day), d);
    }
}

TEST(Calendar, EasterSundaysAcrossTwoCenturies)
{
    struct Row
    {
        int year, month, day;
    };
    const Row rows[] = {{1961, 4, 2}, {1974, 4, 14}, {1981, 4, 19}, {1993, 4, 11}, {2000, 4, 23},
        {2008, 3, 23}, {2011, 4, 24}, {2019, 4, 21}, {2026, 4, 5}, {2027, 3, 28}, {2028, 4, 16},
        {2038, 4, 25}, {2049, 4, 18}, {2095, 4, 24}};
    for (const Row &r : rows)
        EXPECT_EQ(EasterSunday(r.year), DaysFromCivil(r.year, r.month, r.day)) << r.year;
}

TEST(Calendar, WeekdayRules)
{
    EXPECT_EQ(DayOfWeek(DaysFromCivil(2026, 12, 8)), 2); // a Tuesday
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 0, 2), DaysFromCivil(2026, 3, 8));
    EXPECT_EQ(NthWeekdayOfMonth(2026, 11, 0, 1), DaysFromCivil(2026, 11, 1));
    EXPECT_EQ(NthWeekdayOfMonth(2026, 5, 1, -1), DaysFromCivil(2026, 5, 25));
    EXPECT_EQ(NthWeekdayOfMonth(2027, 11, 4, 4), DaysFromCivil(2027, 11, 25));
}
