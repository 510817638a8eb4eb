#include "ScheduleTool.h"
#include "Calendar.h"
#include "MarketCalendar.h"
#include "Schedule.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>

using namespace quorvane;

namespace {

struct ToolRun
{
    int status;
    std::string out, err;
};

ToolRun Tool(const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    const int status = RunScheduleTool(args, out, err);
    return {status, out.str(), err.str()};
}

int64_t D(int y, int m, int d)
{
    return DaysFromCivil(y, m, d);
}

} // namespace

TEST(ScheduleTool, TheBundledScheduleMatchesTheExchangeCalendars)
{
    struct Year
    {
        int year;
        std::vector<int64_t> closed, early;
        size_t sessions = 251;
    };
    const Year years[] = {
        {2025,
            {D(2025, 1, 1), D(2025, 1, 9), D(2025, 1, 20), D(2025, 2, 17), D(2025, 4, 18),
                D(2025, 5, 26), D(2025, 6, 19), D(2025, 7, 4), D(2025, 9, 1), D(2025, 11, 27),
                D(2025, 12, 25)},
            {D(2025, 7, 3), D(2025, 11, 28), D(2025, 12, 24)}, 250},
        {2026,
            {D(2026, 1, 1), D(2026, 1, 19), D(2026, 2, 16), D(2026, 4, 3), D(2026, 5, 25),
                D(2026, 6, 19), D(2026, 7, 3), D(2026, 9, 7), D(2026, 11, 26), D(2026, 12, 25)},
            {D(2026, 11, 27), D(2026, 12, 24)}},
        {2027,
            {D(2027, 1, 1), D(2027, 1, 18), D(2027, 2, 15), D(2027, 3, 26), D(2027, 5, 31),
                D(2027, 6, 18), D(2027, 7, 5), D(2027, 9, 6), D(2027, 11, 25), D(2027, 12, 24)},
            {D(2027, 11, 26)}},
        {2028,
            {D(2028, 1, 17), D(2028, 2, 21), D(2028, 4, 14), D(2028, 5, 29), D(2028, 6, 19),
                D(2028, 7, 4), D(2028, 9, 4), D(2028, 11, 23), D(2028, 12, 25)},
            {D(2028, 7, 3), D(2028, 11, 24)}},
    };
    // The bundled schedule itself, read by the program's own parser.
    std::ifstream bundled(QUORVANE_BUNDLED_SCHEDULE, std::ios::binary);
    std::stringstream text;
    text << bundled.rdbuf();
    const std::vector<std::string> lines = SplitScheduleLines(text.str());
    size_t sessionLines = 0;
    for (const std::string &l : lines)
        sessionLines += !l.empty() && l[0] != '#';
    TSchedule sessions;
    ParseSchedule(lines, sessions, 2026);
    ASSERT_EQ(sessions.size(), sessionLines);

    for (const Year &y : years) {
        std::set<int64_t> days;
        std::set<int64_t> early;
        for (const TSession &s : sessions) {
            const int64_t day = static_cast<int64_t>(s.Open);
            if (CivilFromDays(day).Year != y.year)
                continue;
            days.insert(day);
            EXPECT_NEAR(s.Open - day, 9.5 / 24, 1e-9);
            if (s.Close - day < 15.0 / 24)
                early.insert(day);
        }
        EXPECT_EQ(days.size(), y.sessions) << y.year;
        for (int64_t c : y.closed) {
            EXPECT_EQ(days.count(c), 0u) << y.year << " " << c;
        }
        EXPECT_EQ(early, std::set<int64_t>(y.early.begin(), y.early.end())) << y.year;
        for (const TSession &s : sessions) {
            if (early.count(static_cast<int64_t>(s.Open))) {
                EXPECT_NEAR(s.Close - static_cast<int64_t>(s.Open), 13.0 / 24, 1e-9);
            }
        }
    }
}

TEST(ScheduleTool, TheBundledScheduleIsItsOutputForTenYearsAndMore)
{
    std::ifstream bundled(QUORVANE_BUNDLED_SCHEDULE, std::ios::binary);
    ASSERT_TRUE(bundled) << "the build wrote no schedule.txt";
    std::stringstream text;
    text << bundled.rdbuf();
    std::vector<std::string> args;
    std::istringstream words(QUORVANE_SCHEDULE_ARGS);
    for (std::string w; words >> w;)
        args.push_back(w);
    EXPECT_EQ(text.str(), Tool(args).out);
    TSchedule sessions;
    ParseSchedule(SplitScheduleLines(text.str()), sessions, 2026);
    ASSERT_FALSE(sessions.empty());
    const int first = CivilFromDays(static_cast<int64_t>(sessions.front().Open)).Year;
    const int last = CivilFromDays(static_cast<int64_t>(sessions.back().Open)).Year;
    EXPECT_EQ(first, std::stoi(args.at(0)));
    EXPECT_EQ(last, std::stoi(args.at(1)));
    EXPECT_GE(last - first, 10) << "a release would ship a calendar that ends within ten years";
}

TEST(ScheduleTool, RulesAcrossYears)
{
    auto has = [](int year, int64_t day, MarketHoliday::Kind kind) {
        for (const MarketHoliday &h : ExchangeHolidays(year))
            if (h.Day == day && h.Type == kind)
                return true;
        return false;
    };
    // Good Friday from the Gregorian Easter, across two centuries.
    const int64_t goodFridays[] = {D(1999, 4, 2), D(2000, 4, 21), D(2008, 3, 21), D(2011, 4, 22),
        D(2019, 4, 19), D(2024, 3, 29), D(2025, 4, 18), D(2038, 4, 23), D(2043, 3, 27),
        D(2057, 4, 20), D(2086, 3, 29), D(2100, 3, 26)};
    for (int64_t day : goodFridays) {
        EXPECT_TRUE(has(CivilFromDays(day).Year, day, MarketHoliday::Closed)) << day;
    }
    // New Year's Day on a Saturday is no holiday; on a Sunday it moves to Monday.
    EXPECT_FALSE(has(2022, D(2021, 12, 31), MarketHoliday::Closed));
    EXPECT_FALSE(has(2021, D(2021, 12, 31), MarketHoliday::Closed));
    EXPECT_TRUE(has(2023, D(2023, 1, 2), MarketHoliday::Closed));
    // Juneteenth only from 2022.
    EXPECT_FALSE(has(2021, D(2021, 6, 18), MarketHoliday::Closed));
    EXPECT_TRUE(has(2022, D(2022, 6, 20), MarketHoliday::Closed));
    // July 3 and December 24 close early only from Monday to Thursday.
    EXPECT_TRUE(has(2025, D(2025, 7, 3), MarketHoliday::EarlyClose));
    EXPECT_FALSE(has(2026, D(2026, 7, 3), MarketHoliday::EarlyClose));
    EXPECT_TRUE(has(2026, D(2026, 7, 3), MarketHoliday::Closed));
    EXPECT_FALSE(has(2027, D(2027, 12, 24), MarketHoliday::EarlyClose));
}

TEST(ScheduleTool, OneOffClosuresAndEarlyCloses)
{
    const ToolRun run = Tool({"2026", "2026", "--closed", "2026-03-10", "--early", "2026-03-11"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("# 2026-03-10 closed: special closure\n"), std::string::npos);
    EXPECT_EQ(run.out.find("03/10/2026 9:30 am"), std::string::npos);
    EXPECT_NE(run.out.find("# 2026-03-11 early close: special early close\n"
                           "03/11/2026 9:30 am - 03/11/2026 1:00 pm\n"),
        std::string::npos);
    EXPECT_NE(run.out.find("--closed 2026-03-10 --early 2026-03-11"), std::string::npos);
}

TEST(ScheduleTool, BadInputWritesOneLineAndNothingElse)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"2026"},
        {"20x6", "2027"},
        {"2026", "twenty"},
        {"-1", "2027"},
        {"2028", "2026"},
        {"1900", "2100"},
        {"2026", "2026", "--closed", "2026-3-10"},
        {"2026", "2026", "--closed", "2026-02-30"},
        {"2026", "2026", "--early", "2026-13-01"},
        {"2026", "2026", "--closed", "2027-03-10"},
        {"2026", "2026", "--closed", "2026-03-14"},
        {"2026", "2026", "--closed"},
        {"2026", "2026", "--later", "2026-03-10"},
        {"2026", "2026", "-o"},
        {"2026", "2026", "-o", ""},
        {"2026", "-o", "2026"},
        {"2026", "2026", "-o", "a.txt", "-o", "b.txt"},
    };
    for (const auto &args : cases) {
        const ToolRun run = Tool(args);
        std::string shown;
        for (const auto &a : args)
            shown += a + " ";
        EXPECT_EQ(run.status, 2) << shown;
        EXPECT_TRUE(run.out.empty()) << shown;
        ASSERT_FALSE(run.err.empty()) << shown;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << shown;
    }
    EXPECT_EQ(Tool({"1900", "2099"}).status, 0);
}

TEST(ScheduleTool, TheProgramWritesToStandardOutputOnly)
{
    struct Case
    {
        std::string args;
        int status;
        std::string out;
        std::string file; // what FILE holds afterwards, when the arguments name one
    };
    // FILE starts as the user's own; "-o" replaces it only with a whole calendar.
    const std::string dir = ::testing::TempDir() + "schedule-tool-out";
    const std::string file = dir + "/schedule.txt";
    const std::string calendar = Tool({"2026", "2028"}).out;
    const Case cases[] = {
        {" 2027 2026", 2, "", ""},
        {" 2026 2028", 0, calendar, ""},
        {" 2026 2026 --closed 2026-03-14", 2, "", ""},
        {" 2026 2028 -o " + file, 0, "", calendar},
        {" -o " + file + " 2026 2028", 0, "", calendar},
        {" 2029 -o " + file, 2, "", "# mine\n"},
        {" 2026 2026 --closed 2026-03-14 -o " + file, 2, "", "# mine\n"},
        {" 2026 2028 -o " + dir + "/missing/schedule.txt", 1, "", "# mine\n"},
        {" 2026 2028 -o " + dir + "/taken", 1, "", "# mine\n"},
        // A link to the calendar kept elsewhere stays a link.
        {" 2026 2028 -o " + dir + "/link", 0, "", calendar},
    };
    for (const Case &c : cases) {
        // A folder in the way makes the last step fail after the calendar was written out.
        ASSERT_EQ(system(("rm -rf " + dir + " && mkdir -p " + dir
                      + "/taken/in && ln -s schedule.txt " + dir + "/link")
                             .c_str()),
            0);
        std::ofstream(file, std::ios::binary) << "# mine\n";
        const std::string command
            = std::string(QUORVANE_BIN_DIR "/quorvane-schedule") + c.args + " 2>/dev/null";
        FILE *p = popen(command.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        const int status = pclose(p);
        EXPECT_EQ(out, c.out) << c.args;
        ASSERT_TRUE(WIFEXITED(status)) << c.args;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.args;
        std::ifstream written(file, std::ios::binary);
        std::stringstream text;
        text << written.rdbuf();
        EXPECT_EQ(text.str(), c.file.empty() ? "# mine\n" : c.file) << c.args;
        EXPECT_EQ(system(("test -L " + dir + "/link && test \"$(ls " + dir
                      + " | tr '\\n' ' ')\" = 'link schedule.txt taken '")
                             .c_str()),
            0)
            << c.args;
    }
}
