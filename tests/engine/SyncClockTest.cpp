#include "EasternTime.h"
#include "Fakes.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

TEST(SyncClock, TakesEasternTimeFromTheServerOrFallsBackSilently)
{
    struct Case
    {
        const char *what;
        bool useSntp, fail, silent;
        double serverAhead;
        double expectedOffset; // local minus Eastern, local clock on UTC in December
        size_t queries;
    };
    const double est = 5 * kHour;
    const Case cases[] = {
        {"off: system clock, no traffic", false, false, false, 0, est, 0},
        {"server hours ahead of our clock", true, false, false, 3 * kHour, est - 3 * kHour, 1},
        {"server behind", true, false, false, -97 * kMinute, est + 97 * kMinute, 1},
        {"query raises", true, true, false, 3 * kHour, est, 1},
        {"no reply", true, false, true, 3 * kHour, est, 1},
    };
    for (const Case &c : cases) {
        Rig rig;
        rig.settings.useSntp = c.useSntp;
        rig.settings.server = "ntp.example.test";
        rig.settings.port = 1123;
        rig.sntp.fail = c.fail;
        rig.sntp.silent = c.silent;
        rig.sntp.serverAhead = c.serverAhead;
        rig.clock.now = At(2026, 12, 8, 14, 0, 0);
        rig.engine.FCursor = 3;
        rig.engine.FPrevState = -1;
        rig.engine.SyncClock();
        EXPECT_NEAR(rig.engine.FClockOffset, c.expectedOffset, 0.0011 * kSecond) << c.what;
        ASSERT_EQ(rig.sntp.calls.size(), c.queries) << c.what;
        if (c.queries) {
            EXPECT_EQ(rig.sntp.calls[0].host, "ntp.example.test");
            EXPECT_EQ(rig.sntp.calls[0].port, 1123);
            EXPECT_EQ(rig.sntp.calls[0].timeout, 3500);
        }
        EXPECT_EQ(rig.engine.FCursor, 0) << c.what;
        EXPECT_EQ(rig.engine.FPrevState, 0) << c.what;
        EXPECT_EQ(ZoneLabel, "EST ");
    }
}

TEST(SyncClock, ZoneLabelFollowsTheServersDateNotOurs)
{
    Rig rig;
    rig.settings.useSntp = true;
    rig.clock.now = At(2026, 12, 8, 14, 0, 0);
    rig.sntp.serverAhead = At(2026, 7, 1, 14, 0, 0) - rig.clock.now;
    rig.engine.SyncClock();
    EXPECT_EQ(ZoneLabel, "EDT ");
    EXPECT_NEAR(rig.engine.EasternNow(), At(2026, 7, 1, 10, 0, 0), 0.0011 * kSecond);
}
