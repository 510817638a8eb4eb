#include "Fakes.h"
#include "Schedule.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct SideRow
{
    const char *text;
    TDateTime expected; // 0: not a date-time
};

const TDateTime kXmasEve = At(2026, 12, 24);

} // namespace

TEST(ScheduleGrammar, OneSide)
{
    const SideRow rows[] = {
        {"12/24/2026 9:30 am", kXmasEve + 9.5 * kHour},
        {"12/24/2026 9:30 AM", kXmasEve + 9.5 * kHour},
        {"12/24/2026 1:00 PM", kXmasEve + 13 * kHour},
        {"12/24/2026 am 9:30", kXmasEve + 9.5 * kHour},
        {"12/24/2026 pm 1:00", kXmasEve + 13 * kHour},
        {"12/24/2026 pm1", kXmasEve + 13 * kHour},
        {"12/24/2026 9:30 amx", kXmasEve + 9.5 * kHour},
        {"12/24/2026 9:30 am ET", kXmasEve + 9.5 * kHour},
        {"12/24/2026 4:00 p.m.", kXmasEve + 4 * kHour},
        {"12/24/2026 13:00", kXmasEve + 13 * kHour},
        {"12/24/2026 09:30", kXmasEve + 9.5 * kHour},
        {"12/24/2026 12:00 am", kXmasEve},
        {"12/24/2026 12:30 pm", kXmasEve + 12.5 * kHour},
        {"12/24/2026 1:30:30.5 pm", kXmasEve + 1.5 * kHour + 30 * kSecond},
        {"12/24/2026 1:30:30 pm", kXmasEve + 13.5 * kHour + 30 * kSecond},
        {"12/24/2026", kXmasEve},
        {"12/24/2026/", kXmasEve},
        {"12 / 24 / 2026   9 : 30 am", kXmasEve + 9.5 * kHour},
        {"12/24/26 9:30 am", kXmasEve + 9.5 * kHour},
        {"12/24/7", At(2007, 12, 24)},
        {"12/24/99", At(2099, 12, 24)},
        {"12/24/026", At(26, 12, 24)},
        {"12/24 9:30 am", kXmasEve + 9.5 * kHour},
        {"0012/024/2026", kXmasEve},
        // Five digits read as a four-digit year and the next item: the hour 0.
        {"12/24/20260 9:30", kXmasEve},
        {"02/29/2028", At(2028, 2, 29)},
        {"02/29/2000", At(2000, 2, 29)},
        {"9:30 am", 9.5 * kHour},
        {"23:59:59", 1 - kSecond},
        // Not date-times.
        {"02/29/2027", 0},
        {"02/29/2100", 0},
        {"13/01/2026", 0},
        {"12/32/2026", 0},
        {"12/24/2026 13:00 pm", 0},
        {"12/24/2026 0:30 am", 0},
        {"12/24/2026 24:00", 0},
        {"12/24/2026 9:60", 0},
        {"12/24/2026 9:", 0},
        {"12/24/2026\t9:30 am", 0},
        {"12/24/2026 closed", 0},
        {"12/24/", 0},
        {"2026", 0},
        {"9:30 am ET", 0},
        {"", 0},
        {"\xEF\xBB\xBF"
         "12/24/2026 9:30 am",
            0},
        {"12/30/1899", 0},
        {"0:00", 0},
    };
    for (const SideRow &r : rows) {
        const TDateTime v = ParseScheduleDateTime(r.text, 2026);
        if (r.expected == 0)
            EXPECT_EQ(v, 0) << '"' << r.text << '"';
        else
            EXPECT_NEAR(v, r.expected, 1e-9) << '"' << r.text << '"';
    }
}

TEST(ScheduleGrammar, TwoDigitYearsFollowTheLocalCentury)
{
    EXPECT_NEAR(ParseScheduleDateTime("12/24/26", 2099), At(2026, 12, 24), 1e-9);
    EXPECT_NEAR(ParseScheduleDateTime("12/24/26", 2100), At(2126, 12, 24), 1e-9);
    EXPECT_NEAR(ParseScheduleDateTime("12/24", 2031), At(2031, 12, 24), 1e-9);
    EXPECT_EQ(ParseScheduleDateTime("02/29", 2027), 0);
}

TEST(ScheduleGrammar, DatesBeforeTheEpochSubtractTheTime)
{
    EXPECT_NEAR(ParseScheduleDateTime("12/29/1899 6:00", 2026), -1 - 0.25, 1e-12);
}

TEST(ScheduleGrammar, LinesSplitAtEveryLineEndAndStopAtNul)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitScheduleLines("a\r\nb\nc\rd"), (V {"a", "b", "c", "d"}));
    EXPECT_EQ(SplitScheduleLines("a\r\r\nb\n"), (V {"a", "", "b"}));
    EXPECT_EQ(SplitScheduleLines(std::string("a\nb\0c\nd", 7)), (V {"a", "b"}));
    EXPECT_EQ(SplitScheduleLines(""), V {});
}

TEST(ParseSchedule, WorkedLines)
{
    const std::vector<std::string> lines = {
        "# Regular and early-close sessions",
        "",
        "11/25/2026 9:30 am - 11/25/2026 4:00 pm",
        "11/26/2026 closed for the holiday",
        "11/27/2026 9:30 am - 11/27/2026 1:00 pm   # early close",
        "11/30/2026 09:30 - 11/30/2026 16:00",
        "11/30/2026 15:00 - 11/30/2026 17:00",
        "12/01/2026 9:30 am - 4:00 pm",
        "2026-12-02 09:30 - 2026-12-02 16:00",
        "# closed - holiday",
        "12/03/2026 9:30 am\t-\t12/03/2026 4:00 pm\t",
        "12/04/2026 9:30 a.m. - 12/04/2026 4:00 p.m.",
        "12/07/2026 4:00 pm - 12/07/2026 9:30 am",
        "12/08/2026 9:30 am - 12/08/2026 9:30 am",
    };
    TSchedule s;
    ParseSchedule(lines, s, 2026);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_NEAR(s[0].Open, At(2026, 11, 25, 9, 30), 1e-9);
    EXPECT_NEAR(s[0].Close, At(2026, 11, 25, 16, 0), 1e-9);
    EXPECT_NEAR(s[1].Close, At(2026, 11, 27, 13, 0), 1e-9);
    EXPECT_NEAR(s[2].Open, At(2026, 11, 30, 9, 30), 1e-9);
    EXPECT_NEAR(s[3].Open, At(2026, 12, 3, 9, 30), 1e-9);
}

TEST(ParseSchedule, OrderRules)
{
    struct Case
    {
        const char *name;
        std::vector<std::string> lines;
        size_t sessions;
    };
    const Case cases[] = {
        {"duplicate line", {"1/5/2026 9:30 - 1/5/2026 16:00", "1/5/2026 9:30 - 1/5/2026 16:00"}, 1},
        {"seam admitted", {"1/5/2026 9:30 - 1/5/2026 16:00", "1/5/2026 16:00 - 1/5/2026 18:00"}, 2},
        {"compared with the stored session, not the skipped line",
            {"1/5/2026 9:30 - 1/5/2026 16:00", "1/5/2026 10:00 - 1/5/2026 11:00",
                "1/5/2026 17:00 - 1/5/2026 18:00"},
            2},
        {"time-only sides make an 1899 session",
            {"9:30 am - 4:00 pm", "1/5/2026 9:30 - 1/5/2026 16:00"}, 2},
        {"midnight alone is zero", {"0:00 - 4:00 pm"}, 0},
        {"byte-order mark spoils only the first line",
            {"\xEF\xBB\xBF"
             "1/5/2026 9:30 - 1/5/2026 16:00",
                "1/6/2026 9:30 - 1/6/2026 16:00"},
            1},
    };
    for (const Case &c : cases) {
        TSchedule s;
        ParseSchedule(c.lines, s, 2026);
        EXPECT_EQ(s.size(), c.sessions) << c.name;
    }
}

TEST(ParseSchedule, CrOnlyFileReadsLikeCrLf)
{
    TSchedule a, b;
    ParseSchedule(SplitScheduleLines("1/5/2026 9:30 - 1/5/2026 16:00\r1/6/2026 9:30 - 1/6/2026 "
                                     "16:00\r"),
        a, 2026);
    ParseSchedule(SplitScheduleLines("1/5/2026 9:30 - 1/5/2026 16:00\r\n1/6/2026 9:30 - 1/6/2026 "
                                     "16:00\r\n"),
        b, 2026);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(a[1].Close, b[1].Close);
}
