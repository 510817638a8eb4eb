#include "EasternTime.h"
#include "Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

using namespace quorvane;
using namespace quorvane::test;

namespace {

constexpr double kEst = 5 * kHour;
constexpr double kTick = 0.1 * kSecond;

struct Played
{
    std::string file;
    double eastern;
};

// A trading day on 12/08/2026 with the four alarms a fresh install has.
struct TradingDays
{
    TradingDays()
    {
        rig.Schedule("12/07/2026 9:30 am - 12/07/2026 4:00 pm\n"
                     "12/08/2026 9:30 am - 12/08/2026 4:00 pm\n"
                     "12/09/2026 9:30 am - 12/09/2026 4:00 pm\n");
        for (const char *s : {"0_min_before_opening.wav", "15_min_before_opening.wav",
                 "0_min_before_closing.wav", "60_min_before_closing.wav"})
            rig.Sound(s);
        rig.engine.LoadSchedule();
    }

    // Ticks every 100 ms of fake time from one Eastern instant to another, recording plays.
    void Run(TDateTime from, TDateTime to)
    {
        const long n = std::lround((to - from) / kTick);
        for (long i = 0; i <= n; ++i) {
            rig.clock.now = from + i * kTick + kEst;
            const size_t before = rig.player.played.size();
            try {
                rig.engine.Timer11Timer();
            } catch (const Exception &e) {
                errors.push_back(e.what());
            }
            if (rig.player.played.size() > before)
                plays.push_back({rig.player.played.back().substr(10), from + i * kTick});
        }
    }

    Rig rig;
    std::vector<Played> plays;
    std::vector<std::string> errors;
};

class TickScenario : public ::testing::Test, protected TradingDays
{
protected:
    using TradingDays::Run;
};

} // namespace

TEST_F(TickScenario, ClosedMarketCountsDownAndSoundsAtFifteenMinutesAndTheOpening)
{
    Run(At(2026, 12, 8, 9, 0), At(2026, 12, 8, 9, 31));
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[0].file, "15_min_before_opening.wav");
    EXPECT_NEAR(plays[0].eastern, At(2026, 12, 8, 9, 15), 1.01 * kTick);
    EXPECT_EQ(plays[1].file, "0_min_before_opening.wav");
    EXPECT_NEAR(plays[1].eastern, At(2026, 12, 8, 9, 30), 1.01 * kTick);
    EXPECT_GE(plays[1].eastern, At(2026, 12, 8, 9, 30));
    EXPECT_TRUE(errors.empty());
}

TEST_F(TickScenario, OpenMarketSoundsAtAnHourAndTheClose)
{
    Run(At(2026, 12, 8, 14, 50), At(2026, 12, 8, 16, 2));
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[0].file, "60_min_before_closing.wav");
    EXPECT_NEAR(plays[0].eastern, At(2026, 12, 8, 15, 0), 1.01 * kTick);
    EXPECT_EQ(plays[1].file, "0_min_before_closing.wav");
    EXPECT_NEAR(plays[1].eastern, At(2026, 12, 8, 16, 0), 1.01 * kTick);
    EXPECT_EQ(rig.display.Text(Label::Status), "Market Closed");
    EXPECT_EQ(rig.display.Color(Label::Status), clRed);
}

TEST_F(TickScenario, AnyMinuteCountWithAFileSounds)
{
    rig.Sound("7_min_before_closing.wav");
    Run(At(2026, 12, 8, 15, 52), At(2026, 12, 8, 15, 54));
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].file, "7_min_before_closing.wav");
    EXPECT_NEAR(plays[0].eastern, At(2026, 12, 8, 15, 53), 1.01 * kTick);
}

TEST(TickAlarms, TheBoxDecidesWhereTheOptionsOfferOneAndTheFileElsewhere)
{
    struct Row
    {
        int32_t minutes;
        bool closing;
        int box; // -1 none offered, 0 unticked, 1 ticked
        bool file, sounds;
    };
    const Row rows[] = {{1, true, 0, true, false}, {1, true, 1, true, true},
        {5, false, 1, true, true}, {5, false, 1, false, false}, {0, true, 0, true, false},
        {0, false, 1, true, true}, {7, true, -1, true, true}, {7, true, -1, false, false}};
    for (const Row &r : rows) {
        TradingDays day;
        const std::string file = std::to_string(r.minutes)
            + (r.closing ? "_min_before_closing.wav" : "_min_before_opening.wav");
        if (r.file)
            day.rig.Sound(file);
        else
            day.rig.files.files.erase("/q/sounds/" + file);
        if (r.box >= 0)
            day.rig.settings.boxes[{r.minutes, r.closing}] = r.box == 1;
        const TDateTime at
            = (r.closing ? At(2026, 12, 8, 16, 0) : At(2026, 12, 8, 9, 30)) - r.minutes * kMinute;
        day.Run(at - 3 * kSecond, at + 3 * kSecond);
        ASSERT_EQ(day.plays.size(), r.sounds ? 1u : 0u) << file << " box " << r.box;
        if (r.sounds) {
            EXPECT_NEAR(day.plays[0].eastern, at, 1.01 * kTick) << file;
        }
    }
}

TEST_F(TickScenario, AnAlarmFallingDuringASoundPlaysLate)
{
    rig.Sound("14_min_before_opening.wav");
    rig.player.length = 90 * kSecond; // 09:15:00 to 09:16:30 covers the 14-minute boundary
    Run(At(2026, 12, 8, 9, 14), At(2026, 12, 8, 9, 16, 45));
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_EQ(plays[1].file, "14_min_before_opening.wav");
    // On the first tick after the 15-minute sound has ended.
    const double ended = plays[0].eastern + 90 * kSecond;
    EXPECT_GE(plays[1].eastern, ended - 1e-9);
    EXPECT_LT(plays[1].eastern, ended + 1.01 * kTick);
}

TEST_F(TickScenario, TwoBoundariesDuringOneSoundAreSkipped)
{
    rig.Sound("14_min_before_opening.wav");
    rig.Sound("13_min_before_opening.wav");
    rig.player.length = 150 * kSecond; // 09:15:00 to 09:17:30 covers 14 and 13
    Run(At(2026, 12, 8, 9, 14), At(2026, 12, 8, 9, 20));
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].file, "15_min_before_opening.wav");
    EXPECT_EQ(rig.engine.FPrevMinutes, 10);
}

TEST_F(TickScenario, ClockJumpsSynchroniseAndSilenceTheTick)
{
    rig.settings.useSntp = true;
    Run(At(2026, 12, 8, 9, 14, 50), At(2026, 12, 8, 9, 14, 51));
    EXPECT_EQ(rig.sntp.calls.size(), 2u) << "the first tick synchronises twice";
    EXPECT_EQ(rig.sntp.calls[0].timeout, 3500);

    // 9 s forward across the 15-minute boundary: no sync, the alarm sounds.
    Run(At(2026, 12, 8, 9, 15, 0.5), At(2026, 12, 8, 9, 15, 0.5));
    EXPECT_EQ(rig.sntp.calls.size(), 2u);
    ASSERT_EQ(plays.size(), 1u);

    // 11 s forward across the opening: a sync, and the tick only records the new state.
    Run(At(2026, 12, 8, 9, 29, 55), At(2026, 12, 8, 9, 29, 55));
    EXPECT_EQ(rig.sntp.calls.size(), 3u);
    Run(At(2026, 12, 8, 9, 30, 6), At(2026, 12, 8, 9, 30, 6));
    EXPECT_EQ(rig.sntp.calls.size(), 4u);
    EXPECT_EQ(plays.size(), 1u);
    EXPECT_EQ(rig.engine.FPrevState, 1);
}

TEST_F(TickScenario, AQueryInFlightHoldsNothingUpAndIsJoined)
{
    rig.settings.useSntp = true;
    rig.sntp.deferred = true;
    rig.sntp.serverAhead = 2 * kMinute; // our clock is two minutes slow
    Run(At(2026, 12, 8, 9, 10, 0), At(2026, 12, 8, 9, 10, 3));
    EXPECT_EQ(rig.sntp.calls.size(), 1u) << "start-up sends one query";
    EXPECT_EQ(rig.display.Text(Label::Countdown), "0:19:57") << "the system clock stands in";
    rig.engine.SyncClock(); // "Synchronize Clock" while the query runs joins it
    Run(At(2026, 12, 8, 9, 10, 30), At(2026, 12, 8, 9, 10, 30)); // a set clock joins it too
    EXPECT_EQ(rig.sntp.calls.size(), 1u);

    rig.engine.FCursor = 1;
    rig.sntp.Answer();
    EXPECT_NEAR(rig.engine.FClockOffset, kEst - 2 * kMinute, 0.0011 * kSecond);
    EXPECT_EQ(rig.engine.FCursor, 0);
    EXPECT_EQ(rig.engine.FPrevState, 0) << "a two-minute correction clears the alarm memory";
    Run(At(2026, 12, 8, 9, 10, 30.1), At(2026, 12, 8, 9, 10, 30.1));
    EXPECT_EQ(rig.display.Text(Label::Countdown), "0:17:29");

    // An answer that lands after a wait is not late by the wait: it is taken at AnsweredAt.
    rig.engine.SyncClock();
    rig.clock.Pass(2 * kSecond);
    SntpDone done = std::move(rig.sntp.pending);
    done({rig.clock.now - 2 * kSecond, 2 * kMinute, 0, rig.clock.now - 2 * kSecond});
    EXPECT_NEAR(rig.engine.FClockOffset, kEst - 2 * kMinute, 0.0011 * kSecond);
}

TEST_F(TickScenario, ALateTickIsNoSetClock)
{
    struct Row
    {
        const char *what;
        double wall, monotonic; // seconds each clock moved between two ticks
        bool syncs;
    };
    const Row rows[] = {
        {"the event loop held for 15 s", 15, 15, false},
        {"the clock set 11 s forward", 11, 0, true},
        {"the clock set 11 s back", -11, 0, true},
        {"the clock set 9 s forward", 9, 0, false},
        {"held 20 s while the clock was set back 12 s", 8, 20, true},
    };
    for (const Row &r : rows) {
        Rig fresh;
        fresh.settings.useSntp = true;
        fresh.clock.now = At(2026, 12, 8, 10, 0, 0) + kEst;
        fresh.engine.Timer11Timer();
        const size_t before = fresh.sntp.calls.size();
        fresh.clock.now += r.wall * kSecond;
        fresh.clock.elapsed += r.monotonic;
        fresh.engine.Timer11Timer();
        EXPECT_EQ(fresh.sntp.calls.size() > before, r.syncs) << r.what;
    }
}

TEST_F(TickScenario, ARoutineSyncLandingOnAnAlarmTickKeepsTheAlarm)
{
    rig.settings.useSntp = true;
    rig.sntp.serverAhead = 0.0004 * kSecond;
    Run(At(2026, 12, 8, 9, 14, 58), At(2026, 12, 8, 9, 14, 59.9));
    rig.sntp.deferred = true;
    rig.engine.SyncClock(); // the refresh timer
    rig.clock.now = At(2026, 12, 8, 9, 15, 0) + kEst;
    rig.sntp.Answer();
    rig.engine.Timer11Timer();
    Run(At(2026, 12, 8, 9, 15, 0.1), At(2026, 12, 8, 9, 15, 2));
    ASSERT_EQ(rig.player.played.size(), 1u);
    EXPECT_EQ(rig.player.played[0], "/q/sounds/15_min_before_opening.wav");
}

TEST_F(TickScenario, AfterASyncTheTicksFallJustAfterTheTenthsOfTheServersTime)
{
    rig.settings.useSntp = true;
    rig.clock.now = At(2026, 12, 8, 10, 0, 0.0123) + kEst;
    rig.engine.Timer11Timer();
    int rephased = 0;
    rig.engine.OnRephase = [&rephased] { ++rephased; };
    rig.sntp.serverAhead = 0.437 * kSecond;
    rig.engine.SyncClock(); // the refresh timer
    EXPECT_EQ(rephased, 1) << "the window is not told to re-arm its tick";
    auto msIntoTenth = [this] {
        const double ms = (rig.clock.now - rig.engine.FClockOffset) / kSecond * 1000;
        return ms - 100 * std::floor(ms / 100);
    };
    for (int i = 0; i < 25; ++i) {
        rig.clock.Pass(rig.engine.MsToNextTick() / 1000.0 * kSecond);
        rig.engine.Timer11Timer();
        EXPECT_NEAR(rig.clock.now - rig.engine.FClockOffset, rig.clock.now + 0.437 * kSecond - kEst,
            0.002 * kSecond);
        // Never a hair before a tenth, never late enough to be seen.
        EXPECT_GT(msIntoTenth(), 0.5) << "tick " << i;
        EXPECT_LT(msIntoTenth(), 2.5) << "tick " << i;
    }
}

TEST(TickWakes, JustAfterTheNextSecondOrTheCountdownsTurnAndEveryTenthWhileASoundPlays)
{
    struct Row
    {
        double easternMs, untilTurnMs, periodMs;
        int32_t expected;
    };
    const double none = std::numeric_limits<double>::infinity();
    const double day = 46364.0 * 86400000;
    const Row rows[] = {
        {day + 12.3, none, 1000, 989},
        {day + 1, none, 1000, 1000}, // the tick that has just turned a second
        {day + 999.5, none, 1000, 2}, // a hair early: the second is not shown yet
        {day, none, 1000, 1001},
        {day + 200, 300.5, 1000, 302}, // a countdown off the clock's seconds turns first
        {day + 200, 1500, 1000, 801},
        {day + 200, 0.2, 1000, 2},
        {day + 234.5, none, 100, 67}, // a sound plays
        {day + 234.5, 20, 100, 21},
        {std::numeric_limits<double>::quiet_NaN(), none, 1000, 1000},
    };
    for (const Row &r : rows)
        EXPECT_EQ(TMarketEngine::MsToNextWake(r.easternMs, r.untilTurnMs, r.periodMs), r.expected)
            << std::fixed << r.easternMs - day << " ms, turn " << r.untilTurnMs << ", period "
            << r.periodMs;
}

TEST(TickWakes, WakingOnlyWhenSomethingCanChangeShowsAndSoundsAsEveryTenthDid)
{
    struct Row
    {
        const char *what;
        TDateTime from, to;
        bool extended;
        double soundSeconds;
        size_t plays;
    };
    const Row rows[] = {
        {"the opening's alarms", At(2026, 12, 8, 9, 13, 58.37), At(2026, 12, 8, 9, 31), false, 2,
            3},
        {"a long sound holding an alarm back", At(2026, 12, 8, 9, 14, 10.25),
            At(2026, 12, 8, 9, 17), false, 90.0437, 2},
        {"the close into after hours", At(2026, 12, 8, 14, 59, 57.6), At(2026, 12, 8, 16, 0, 9),
            true, 1.5, 2},
        {"after hours ending", At(2026, 12, 8, 19, 59, 55.5), At(2026, 12, 8, 20, 0, 5), true, 2,
            0},
        {"the schedule running out", At(2026, 12, 9, 15, 59, 50.73), At(2026, 12, 9, 16, 0, 5),
            false, 2, 1},
    };
    const double probe = 0.1 * kSecond;
    for (const Row &r : rows) {
        // As the tick ran before: just after every tenth. And as it runs now.
        TradingDays tenths, wakes;
        for (TradingDays *d : {&tenths, &wakes}) {
            d->rig.Sound("14_min_before_opening.wav");
            d->rig.settings.extendedHours = r.extended;
            d->rig.player.length = r.soundSeconds * kSecond;
            d->rig.clock.now = r.from + kEst;
        }
        TDateTime next[2] = {r.from + kEst, r.from + kEst};
        long ticks[2] = {0, 0};
        auto tickUntil = [&](int i, TradingDays &d, TDateTime until) {
            while (next[i] <= until) {
                d.rig.clock.Pass(next[i] - d.rig.clock.now);
                const size_t before = d.rig.player.played.size();
                d.rig.engine.Timer11Timer();
                ++ticks[i];
                if (d.rig.player.played.size() > before)
                    d.plays.push_back({d.rig.player.played.back().substr(10), d.rig.clock.now});
                const double east = (d.rig.clock.now - d.rig.engine.FClockOffset) * 86400000;
                const int32_t ms = i == 0 ? TMarketEngine::MsToNextWake(
                                       east, std::numeric_limits<double>::infinity(), 100)
                                          : d.rig.engine.MsToNextTick();
                next[i] += ms / 1000.0 * kSecond;
            }
        };
        int wrong = 0;
        for (TDateTime at = r.from + kEst + 0.05 * kSecond; at < r.to + kEst; at += probe) {
            tickUntil(0, tenths, at);
            tickUntil(1, wakes, at);
            for (Label l : {Label::Clock, Label::Countdown, Label::Status}) {
                if (wakes.rig.display.Text(l) != tenths.rig.display.Text(l) && ++wrong < 5)
                    ADD_FAILURE() << r.what << " at " << std::fixed << (at - kEst - r.from) * 86400
                                  << " s: " << wakes.rig.display.Text(l) << " instead of "
                                  << tenths.rig.display.Text(l);
            }
            if (wakes.rig.display.Color(Label::Status) != tenths.rig.display.Color(Label::Status))
                ++wrong;
        }
        EXPECT_EQ(wrong, 0) << r.what;
        EXPECT_EQ(tenths.plays.size(), r.plays) << r.what;
        ASSERT_EQ(wakes.plays.size(), tenths.plays.size()) << r.what;
        for (size_t i = 0; i < wakes.plays.size(); ++i) {
            EXPECT_EQ(wakes.plays[i].file, tenths.plays[i].file) << r.what;
            EXPECT_NEAR(wakes.plays[i].eastern, tenths.plays[i].eastern, 0.005 * kSecond)
                << r.what << ": " << wakes.plays[i].file;
        }
        EXPECT_TRUE(wakes.errors.empty() && tenths.errors.empty()) << r.what;
        // Once a second, and every tenth only while a sound plays.
        const double seconds = (r.to - r.from) / kSecond;
        EXPECT_LE(ticks[1], std::lround(seconds + 11 * r.soundSeconds * wakes.plays.size()) + 2)
            << r.what;
    }
}

TEST(TickSteps, ASmallStepBackKeepsTheSessionTheClockIsIn)
{
    struct Row
    {
        const char *what;
        TDateTime event; // set back 8 s from 3 s after this opening or closing
        const char *countdownAfterStep;
    };
    const Row rows[] = {
        {"the schedule's first opening", At(2026, 12, 7, 9, 30), "6:30:05"},
        {"a later opening", At(2026, 12, 8, 9, 30), "6:30:05"},
        {"a closing", At(2026, 12, 8, 16, 0), "0:00:05"},
    };
    for (const Row &r : rows) {
        TradingDays day;
        day.Run(r.event - 10 * kSecond, r.event + 3 * kSecond);
        ASSERT_EQ(day.plays.size(), 1u) << r.what;
        day.Run(r.event - 5 * kSecond, r.event - 5 * kSecond);
        EXPECT_EQ(day.rig.engine.FCursor, r.event < At(2026, 12, 8) ? 0 : 1) << r.what;
        EXPECT_EQ(day.rig.display.Text(Label::Countdown), r.countdownAfterStep) << r.what;
        day.Run(r.event - 4.9 * kSecond, r.event - 0.1 * kSecond);
        EXPECT_EQ(day.rig.display.Text(Label::Status), "Market Open") << r.what;
        day.Run(r.event, r.event + 3 * kSecond);
        if (day.plays[0].file == "0_min_before_opening.wav") {
            EXPECT_EQ(day.plays.size(), 1u) << r.what << ": nothing plays a second time";
            EXPECT_EQ(day.rig.display.Text(Label::Status), "Market Open") << r.what;
        } else {
            EXPECT_EQ(day.plays.back().file, "0_min_before_closing.wav") << r.what;
            EXPECT_GE(day.plays.back().eastern, r.event) << r.what;
            EXPECT_EQ(day.rig.display.Text(Label::Status), "Market Closed") << r.what;
        }
    }
}

TEST_F(TickScenario, TheLastSessionsCloseSoundsBeforeTheScheduleRunsOut)
{
    Run(At(2026, 12, 9, 15, 59, 50), At(2026, 12, 9, 16, 0, 5));
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].file, "0_min_before_closing.wav");
    EXPECT_NEAR(plays[0].eastern, At(2026, 12, 9, 16, 0), 1.01 * kTick);
    EXPECT_EQ(rig.display.Text(Label::Countdown), "--:--:--");
    EXPECT_EQ(rig.display.Text(Label::Status), "The schedule needs update");
    EXPECT_EQ(rig.display.Color(Label::Status), clWhite) << "not the closed colour";
}

TEST_F(TickScenario, MissingFilesAreSkippedAndUnplayableOnesReportedOnce)
{
    rig.files.files.erase("/q/sounds/15_min_before_opening.wav");
    rig.player.broken.insert("/q/sounds/0_min_before_opening.wav");
    Run(At(2026, 12, 8, 9, 14), At(2026, 12, 8, 9, 35));
    EXPECT_TRUE(plays.empty());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("0_min_before_opening.wav"), std::string::npos);
    EXPECT_EQ(rig.engine.FPrevState, 1);
}

TEST_F(TickScenario, LabelsAreWrittenOnlyWhenTheyChange)
{
    Run(At(2026, 12, 8, 10, 0, 0), At(2026, 12, 8, 10, 0, 0));
    EXPECT_EQ(rig.display.Text(Label::Clock), "EST 10:00 AM");
    EXPECT_EQ(rig.display.Text(Label::Countdown), "6:00:00");
    EXPECT_EQ(rig.display.Text(Label::Status), "Market Open");
    EXPECT_EQ(rig.display.Color(Label::Status), clLime);
    Run(At(2026, 12, 8, 10, 0, 0.5), At(2026, 12, 8, 10, 0, 0.5));
    rig.display.writes = 0;
    Run(At(2026, 12, 8, 10, 0, 0.6), At(2026, 12, 8, 10, 0, 1.4));
    EXPECT_EQ(rig.display.writes, 1) << "only the countdown moves, once";
    rig.display.writes = 0;
    Run(At(2026, 12, 8, 10, 0, 1.5), At(2026, 12, 8, 10, 0, 1.9));
    EXPECT_EQ(rig.display.writes, 0);
}

TEST(TickTexts, CountdownAndClockFormats)
{
    struct Row
    {
        TDateTime eastern;
        const char *clock;
        const char *countdown;
        const char *status;
    };
    // Opening Monday 12/14/2026 9:30 after an early close on Friday 12/11.
    const TDateTime open = At(2026, 12, 14, 9, 30);
    const Row rows[] = {
        {At(2026, 12, 11, 16, 0), "EST 04:00 PM", "65:30:00", "Market Closed"},
        {open - (26 * kHour + 3 * kMinute + 4.9 * kSecond), "EST 07:26 AM", "26:03:04",
            "Market Closed"},
        {open - 0.95 * kSecond, "EST 09:29 AM", "0:00:00", "Market Closed"},
        {open - (5 * kMinute + 9 * kSecond), "EST 09:24 AM", "0:05:09", "Market Closed"},
        {At(2026, 12, 14, 0, 30), "EST 12:30 AM", "9:00:00", "Market Closed"},
        {At(2026, 12, 14, 12, 5), "EST 12:05 PM", "3:55:00", "Market Open"},
        {At(2026, 12, 16, 12, 0), "EST 12:00 PM", "--:--:--", "The schedule needs update"},
    };
    for (const Row &r : rows) {
        Rig rig;
        rig.Schedule("12/11/2026 9:30 am - 12/11/2026 1:00 pm\n"
                     "12/14/2026 9:30 am - 12/14/2026 4:00 pm\n");
        rig.engine.LoadSchedule();
        rig.clock.now = r.eastern + kEst;
        rig.engine.Timer11Timer();
        EXPECT_EQ(rig.display.Text(Label::Clock), r.clock);
        EXPECT_EQ(rig.display.Text(Label::Countdown), r.countdown) << r.clock;
        EXPECT_EQ(rig.display.Text(Label::Status), r.status) << r.clock;
    }
}

TEST(TickTexts, WholeMinutesLeftShowAsThemselves)
{
    Rig rig;
    rig.Schedule("12/14/2026 9:30 am - 12/14/2026 4:00 pm\n");
    rig.engine.LoadSchedule();
    int wrong = 0;
    // From 03:00 to the opening, and through the session to its close.
    for (TDateTime event : {At(2026, 12, 14, 9, 30), At(2026, 12, 14, 16, 0)}) {
        for (int m = 1; m <= (event == At(2026, 12, 14, 16, 0) ? 389 : 390); ++m) {
            rig.clock.now = event - m * kMinute + kEst;
            rig.engine.Timer11Timer();
            const std::string expected = std::to_string(m / 60) + ":" + (m % 60 < 10 ? "0" : "")
                + std::to_string(m % 60) + ":00";
            if (rig.display.Text(Label::Countdown) != expected || rig.engine.FPrevMinutes != m) {
                ++wrong;
                ADD_FAILURE() << m << " min before " << event << ": "
                              << rig.display.Text(Label::Countdown) << ", minutes "
                              << rig.engine.FPrevMinutes;
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(TickTexts, SummerTimeWeekendsCountTheirRealHours)
{
    struct Sample
    {
        TDateTime utc;
        const char *clock;
        const char *countdown;
    };
    struct Weekend
    {
        const char *schedule;
        TDateTime mondayOpenUtc;
        std::vector<Sample> samples;
    };
    const Weekend weekends[] = {
        {"03/06/2026 9:30 am - 03/06/2026 4:00 pm\n03/09/2026 9:30 am - 03/09/2026 4:00 pm\n",
            At(2026, 3, 9, 13, 30),
            {{At(2026, 3, 6, 21, 0, 5), "EST 04:00 PM", "64:29:55"},
                {At(2026, 3, 8, 6, 59, 59), "EST 01:59 AM", "30:30:01"},
                {At(2026, 3, 8, 7, 0, 0), "EDT 03:00 AM", "30:30:00"},
                {At(2026, 3, 9, 13, 30), "EDT 09:30 AM", "0:00:00"}}},
        {"10/30/2026 9:30 am - 10/30/2026 4:00 pm\n11/02/2026 9:30 am - 11/02/2026 4:00 pm\n",
            At(2026, 11, 2, 14, 30),
            {{At(2026, 10, 30, 20, 0, 5), "EDT 04:00 PM", "66:29:55"},
                {At(2026, 11, 1, 5, 59, 59), "EDT 01:59 AM", "32:30:01"},
                {At(2026, 11, 1, 6, 0, 0), "EST 01:00 AM", "32:30:00"},
                {At(2026, 11, 1, 8, 0, 0), "EST 03:00 AM", "30:30:00"},
                {At(2026, 11, 2, 14, 30), "EST 09:30 AM", "0:00:00"}}},
        {"03/12/2027 9:30 am - 03/12/2027 4:00 pm\n03/15/2027 9:30 am - 03/15/2027 4:00 pm\n",
            At(2027, 3, 15, 13, 30),
            {{At(2027, 3, 12, 21, 0, 5), "EST 04:00 PM", "64:29:55"},
                {At(2027, 3, 14, 6, 59, 59), "EST 01:59 AM", "30:30:01"},
                {At(2027, 3, 14, 7, 0, 0), "EDT 03:00 AM", "30:30:00"},
                {At(2027, 3, 15, 13, 30), "EDT 09:30 AM", "0:00:00"}}},
        {"11/05/2027 9:30 am - 11/05/2027 4:00 pm\n11/08/2027 9:30 am - 11/08/2027 4:00 pm\n",
            At(2027, 11, 8, 14, 30),
            {{At(2027, 11, 5, 20, 0, 5), "EDT 04:00 PM", "66:29:55"},
                {At(2027, 11, 7, 5, 59, 59), "EDT 01:59 AM", "32:30:01"},
                {At(2027, 11, 7, 6, 0, 0), "EST 01:00 AM", "32:30:00"},
                {At(2027, 11, 7, 8, 0, 0), "EST 03:00 AM", "30:30:00"},
                {At(2027, 11, 8, 14, 30), "EST 09:30 AM", "0:00:00"}}},
    };
    // The machine runs on UTC, so the fake clock is UTC. Ticks at most 9 s apart (no jump, so no
    // synchronisation all weekend), 100 ms apart from a quarter before the opening.
    for (const Weekend &w : weekends) {
        Rig rig;
        rig.Schedule(w.schedule);
        rig.Sound("15_min_before_opening.wav");
        rig.Sound("0_min_before_opening.wav");
        rig.Sound("0_min_before_closing.wav");
        rig.engine.LoadSchedule();
        std::vector<Played> plays; // at UTC instants here
        TDateTime at = w.samples.front().utc - 10 * kSecond;
        auto tickTo = [&](TDateTime to, double step) {
            const long n = std::max(1L, std::lround(std::ceil((to - at) / step - 1e-6)));
            const TDateTime from = at;
            for (long i = 1; i <= n; ++i) {
                rig.clock.now = i == n ? to : from + (to - from) * i / n;
                const size_t before = rig.player.played.size();
                rig.engine.Timer11Timer();
                if (rig.player.played.size() > before)
                    plays.push_back({rig.player.played.back().substr(10), rig.clock.now});
            }
            at = to;
        };
        rig.clock.now = at;
        rig.engine.Timer11Timer();
        for (const Sample &s : w.samples) {
            if (s.utc == w.mondayOpenUtc)
                tickTo(w.mondayOpenUtc - 16 * kMinute, 9 * kSecond);
            tickTo(s.utc, s.utc == w.mondayOpenUtc ? kTick : 9 * kSecond);
            EXPECT_EQ(rig.display.Text(Label::Clock), s.clock) << s.utc;
            EXPECT_EQ(rig.display.Text(Label::Countdown), s.countdown) << s.clock;
        }
        tickTo(w.mondayOpenUtc + 1 * kMinute, kTick);
        ASSERT_EQ(plays.size(), 3u) << w.schedule;
        EXPECT_EQ(plays[0].file, "0_min_before_closing.wav");
        EXPECT_EQ(plays[1].file, "15_min_before_opening.wav");
        EXPECT_NEAR(plays[1].eastern, w.mondayOpenUtc - 15 * kMinute, 1.01 * kTick) << w.schedule;
        EXPECT_EQ(plays[2].file, "0_min_before_opening.wav");
        EXPECT_NEAR(plays[2].eastern, w.mondayOpenUtc, 1.01 * kTick) << w.schedule;
    }
}

TEST(TickTexts, NoScheduleNeverPlaysAndShowsNeitherOpenNorClosed)
{
    Rig rig;
    rig.Sound("0_min_before_opening.wav");
    rig.engine.LoadSchedule(); // no file, and the download fails
    rig.display.colors[static_cast<int>(Label::Status)] = 0x123456;
    for (int i = 0; i < 50; ++i) {
        rig.clock.now = At(2026, 12, 8, 14, 29, 59.5) + i * kTick;
        rig.engine.Timer11Timer();
    }
    EXPECT_EQ(rig.display.Text(Label::Countdown), "--:--:--");
    EXPECT_EQ(rig.display.Text(Label::Status), "The schedule needs update");
    EXPECT_EQ(rig.display.Color(Label::Status), clWhite);
    EXPECT_EQ(rig.display.statusInkWhenSet, clWhite);
    EXPECT_TRUE(rig.player.played.empty());
}

TEST(TickTexts, ACloseBetweenTwoReadingsOfTheClockIsNoPreMarket)
{
    // Each tick starts a little earlier than the last, so that each reading of the clock within
    // one tick in turn is the first past the close.
    for (int k = 1; k <= 12; ++k) {
        Rig rig;
        rig.settings.extendedHours = true;
        rig.Schedule("11/24/2026 9:30 am - 11/24/2026 4:00 pm\n"
                     "11/25/2026 9:30 am - 11/25/2026 4:00 pm\n");
        rig.engine.LoadSchedule();
        rig.clock.now = At(2026, 11, 24, 16, 0) - 5 * kSecond + kEst;
        rig.engine.Timer11Timer();
        rig.clock.perRead = 0.001 * kSecond;
        rig.clock.now = At(2026, 11, 24, 16, 0) - k * 0.001 * kSecond + kEst;
        rig.clock.elapsed += 5 - k * 0.001;
        rig.engine.Timer11Timer();
        EXPECT_NE(rig.display.Text(Label::Status), "Pre-Market") << k;
    }
}

TEST(TickTexts, ExtendedHoursAroundTheRegularSessions)
{
    const char *C = "Market Closed", *O = "Market Open", *P = "Pre-Market", *A = "After Hours";
    // Status up to and at the boundary, countdown 1 s before and at it, then 1 s after.
    struct Seen
    {
        const char *status, *before, *at, *statusAfter, *after;
    };
    struct Row
    {
        TDateTime boundary;
        Seen off, on;
    };
    // A normal Tuesday, Wednesday before the holiday, Friday's early close, a weekend.
    const Row rows[] = {
        {At(2026, 11, 24, 4, 0), {C, "5:30:01", "5:30:00", C, "5:29:59"},
            {C, "0:00:01", "0:00:00", P, "5:29:59"}},
        {At(2026, 11, 24, 9, 30), {C, "0:00:01", "0:00:00", O, "6:29:59"},
            {P, "0:00:01", "0:00:00", O, "6:29:59"}},
        {At(2026, 11, 24, 16, 0), {O, "0:00:01", "0:00:00", C, "17:29:59"},
            {O, "0:00:01", "0:00:00", A, "3:59:59"}},
        {At(2026, 11, 24, 20, 0), {C, "13:30:01", "13:30:00", C, "13:29:59"},
            {A, "0:00:01", "0:00:00", C, "7:59:59"}},
        {At(2026, 11, 25, 16, 0), {O, "0:00:01", "0:00:00", C, "41:29:59"},
            {O, "0:00:01", "0:00:00", A, "3:59:59"}},
        {At(2026, 11, 25, 20, 0), {C, "37:30:01", "37:30:00", C, "37:29:59"},
            {A, "0:00:01", "0:00:00", C, "31:59:59"}},
        {At(2026, 11, 26, 4, 0), {C, "29:30:01", "29:30:00", C, "29:29:59"},
            {C, "24:00:01", "24:00:00", C, "23:59:59"}},
        {At(2026, 11, 27, 13, 0), {O, "0:00:01", "0:00:00", C, "68:29:59"},
            {O, "0:00:01", "0:00:00", A, "3:59:59"}},
        {At(2026, 11, 27, 17, 0), {C, "64:30:01", "64:30:00", C, "64:29:59"},
            {A, "0:00:01", "0:00:00", C, "58:59:59"}},
        {At(2026, 11, 30, 4, 0), {C, "5:30:01", "5:30:00", C, "5:29:59"},
            {C, "0:00:01", "0:00:00", P, "5:29:59"}},
    };
    const std::map<std::string, TColor> colours {
        {C, clRed}, {O, clLime}, {P, 0x0000BFFF}, {A, 0x0000BFFF}};
    std::vector<std::string> played[2];
    for (bool extended : {false, true}) {
        Rig rig;
        rig.settings.extendedHours = extended;
        rig.Schedule("11/24/2026 9:30 am - 11/24/2026 4:00 pm\n"
                     "11/25/2026 9:30 am - 11/25/2026 4:00 pm\n"
                     "11/27/2026 9:30 am - 11/27/2026 1:00 pm\n"
                     "11/30/2026 9:30 am - 11/30/2026 4:00 pm\n");
        rig.Sound("0_min_before_opening.wav");
        rig.Sound("0_min_before_closing.wav");
        rig.engine.LoadSchedule();
        for (const Row &r : rows) {
            const Seen &e = extended ? r.on : r.off;
            // Off the whole second, so the countdown shows a plain truncation.
            const double seconds[] = {-1.05, 0, 0.95};
            const char *countdowns[] = {e.before, e.at, e.after};
            for (int i = 0; i < 3; ++i) {
                rig.clock.now = r.boundary + seconds[i] * kSecond + kEst;
                rig.engine.Timer11Timer();
                const char *status = i < 2 ? e.status : e.statusAfter;
                const std::string where = std::to_string(r.boundary) + (extended ? " on " : " off ")
                    + std::to_string(seconds[i]) + " s";
                EXPECT_EQ(rig.display.Text(Label::Status), status) << where;
                EXPECT_EQ(rig.display.Color(Label::Status), colours.at(status)) << where;
                EXPECT_EQ(rig.display.statusInkWhenSet, colours.at(status)) << where;
                EXPECT_EQ(rig.display.Text(Label::Countdown), countdowns[i]) << where;
            }
        }
        played[extended] = rig.player.played;
    }
    EXPECT_EQ(played[0].size(), 4u);
    EXPECT_EQ(played[1], played[0]) << "the alarms keep to the regular opening and closings";
}
