#include "Fakes.h"

#include <gtest/gtest.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Local clock on UTC in December: Eastern = local - 5 h, so the fake clock is set 5 h ahead.
constexpr double kEst = 5 * kHour;

const char *const kTwoDays = "12/07/2026 9:30 am - 12/07/2026 4:00 pm\n"
                             "12/08/2026 9:30 am - 12/08/2026 4:00 pm\n"
                             "12/08/2026 4:00 pm - 12/08/2026 8:00 pm\n";

struct Answer
{
    bool ok;
    bool open;
    double remaining;
};

Answer Ask(Rig &rig, TDateTime eastern)
{
    rig.clock.now = eastern + kEst;
    Answer a {};
    a.ok = rig.engine.NextEvent(a.remaining, a.open);
    return a;
}

} // namespace

TEST(NextEvent, WalksThroughADay)
{
    struct Row
    {
        const char *what;
        TDateTime eastern;
        bool ok, open;
        double remaining;
    };
    const Row rows[] = {
        {"before the first session: closed, counting to its open", At(2026, 12, 7, 8, 0), true,
            false, 1.5 * kHour},
        {"exactly at the first open: closed, 0 left", At(2026, 12, 7, 9, 30), true, false, 0},
        {"inside", At(2026, 12, 7, 12, 0), true, true, 4 * kHour},
        {"exactly at a close: open, 0 left", At(2026, 12, 7, 16, 0), true, true, 0},
        {"overnight", At(2026, 12, 7, 16, 0, 1), true, false, 17.5 * kHour - kSecond},
        {"exactly at the next open: still closed", At(2026, 12, 8, 9, 30), true, false, 0},
        {"across the seam stays open", At(2026, 12, 8, 16, 0, 1), true, true, 4 * kHour - kSecond},
        {"after the last close", At(2026, 12, 8, 20, 0, 1), false, false, 0},
    };
    Rig rig;
    rig.Schedule(kTwoDays);
    rig.clock.now = At(2026, 12, 7, 0, 0) + kEst;
    rig.engine.LoadSchedule();
    for (const Row &r : rows) {
        const Answer a = Ask(rig, r.eastern);
        EXPECT_EQ(a.ok, r.ok) << r.what;
        if (!r.ok)
            continue;
        EXPECT_EQ(a.open, r.open) << r.what;
        EXPECT_NEAR(a.remaining, r.remaining, 1e-7) << r.what;
    }
}

TEST(NextEvent, CursorOnlyMovesForwardUntilAReset)
{
    Rig rig;
    rig.Schedule(kTwoDays);
    rig.clock.now = At(2026, 12, 8, 0, 0) + kEst;
    rig.engine.LoadSchedule();
    Ask(rig, At(2026, 12, 8, 17, 0));
    EXPECT_EQ(rig.engine.FCursor, 2);
    // The clock goes back a day: without a reset the cursor stays where it was, and the session
    // it points at has not closed yet.
    Answer a = Ask(rig, At(2026, 12, 7, 12, 0));
    EXPECT_EQ(rig.engine.FCursor, 2);
    EXPECT_TRUE(a.open);
    EXPECT_NEAR(a.remaining, 32 * kHour, 1e-7);
    rig.engine.SyncClock();
    EXPECT_EQ(rig.engine.FCursor, 0);
    a = Ask(rig, At(2026, 12, 7, 12, 0));
    EXPECT_TRUE(a.open);
    EXPECT_NEAR(a.remaining, 4 * kHour, 1e-7);
}

TEST(NextEvent, EmptyScheduleHasNoAnswer)
{
    Rig rig;
    rig.Schedule("");
    rig.engine.LoadSchedule();
    EXPECT_FALSE(Ask(rig, At(2026, 12, 8, 12, 0)).ok);
    EXPECT_TRUE(rig.http.urls.empty()) << "an empty local file still overrides the download";
}

TEST(LoadSchedule, LocalFileWinsAndRefreshPicksUpLaterSessions)
{
    Rig rig;
    rig.Schedule("12/07/2026 9:30 am - 12/07/2026 4:00 pm\n");
    rig.clock.now = At(2026, 12, 8, 12, 0) + kEst;
    rig.engine.LoadSchedule();
    EXPECT_FALSE(Ask(rig, At(2026, 12, 8, 12, 0)).ok);
    rig.Schedule(kTwoDays);
    rig.engine.LoadSchedule();
    const Answer a = Ask(rig, At(2026, 12, 8, 12, 0));
    EXPECT_TRUE(a.ok);
    EXPECT_TRUE(a.open);
    EXPECT_TRUE(rig.http.urls.empty());
}

TEST(LoadSchedule, DownloadsOnlyWithoutALocalFile)
{
    Rig rig;
    rig.engine.FPrevState = 1;
    rig.engine.FCursor = 0;
    rig.http.answer = {kTwoDays, true};
    rig.engine.LoadSchedule();
    ASSERT_EQ(rig.http.urls.size(), 1u);
    EXPECT_EQ(rig.http.urls[0], "http://vendor.test/timer/schedule.txt");
    EXPECT_EQ(rig.http.lastTimeout, 5000);
    EXPECT_EQ(rig.engine.FSessions.size(), 3u);
    EXPECT_EQ(rig.engine.FPrevState, 0);
}

TEST(LoadSchedule, AFailedDownloadKeepsTheScheduleItHas)
{
    Rig rig;
    rig.http.answer = {kTwoDays, true};
    rig.engine.LoadSchedule();
    ASSERT_EQ(rig.engine.FSessions.size(), 3u);
    rig.engine.FCursor = 2;
    rig.engine.FPrevState = -1;
    // A log-in portal's page and an empty body are complete transfers without a session.
    for (const Download &failure :
        {Download {"", false}, Download {"<html>404 Not Found</html>", false},
            Download {"12/07/2026 9:30 am - 12/07/2026 4:00 pm\n12/08/20", false},
            Download {"<html><form action=/login>Sign in to the hotel Wi-Fi</form></html>", true},
            Download {"", true}}) {
        rig.http.answer = failure;
        EXPECT_NO_THROW(rig.engine.LoadSchedule());
        EXPECT_EQ(rig.engine.FSessions.size(), 3u);
        EXPECT_EQ(rig.engine.FCursor, 2);
        EXPECT_EQ(rig.engine.FPrevState, -1);
    }
}

TEST(LoadSchedule, ADownloadInFlightIsJoinedAndAppliedOnArrival)
{
    Rig rig;
    rig.http.deferred = true;
    rig.http.answer = {kTwoDays, true};
    rig.engine.LoadSchedule();
    rig.engine.LoadSchedule();
    EXPECT_EQ(rig.http.urls.size(), 1u);
    EXPECT_TRUE(rig.engine.FSessions.empty());
    rig.engine.FPrevState = 1;
    rig.http.Answer();
    EXPECT_EQ(rig.engine.FSessions.size(), 3u);
    EXPECT_EQ(rig.engine.FPrevState, 0);
    rig.engine.LoadSchedule();
    EXPECT_EQ(rig.http.urls.size(), 2u);
}

TEST(LoadSchedule, AnUnreadableLocalFileRaisesAndChangesNothing)
{
    Rig rig;
    rig.Schedule(kTwoDays);
    rig.engine.LoadSchedule();
    rig.engine.FCursor = 1;
    rig.engine.FPrevState = 1;
    rig.files.unreadable.insert("/q/schedule.txt");
    try {
        rig.engine.LoadSchedule();
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_STREQ(e.what(), "Cannot open file \"/q/schedule.txt\". Permission denied");
    }
    EXPECT_EQ(rig.engine.FSessions.size(), 3u);
    EXPECT_EQ(rig.engine.FCursor, 1);
    EXPECT_EQ(rig.engine.FPrevState, 1);
    EXPECT_TRUE(rig.http.urls.empty());
}
