#include "EasternTime.h"
#include "Fakes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Runs a block under another zone and puts the old one back.
class ZoneScope
{
public:
    explicit ZoneScope(const char *tz)
    {
        const char *old = std::getenv("TZ");
        saved = old ? old : "";
        had = old != nullptr;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ZoneScope()
    {
        if (had)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string saved;
    bool had = false;
};

NtpTimestamp NtpOfUtc(TDateTime utc)
{
    ZoneScope zone("UTC");
    return DateTimeToNtp(utc);
}

} // namespace

TEST(EasternTime, SummerTimeFollowsTheUsRuleInUtc)
{
    struct Row
    {
        TDateTime utc;
        const char *label;
    };
    const Row rows[] = {
        {At(2026, 3, 8, 6, 59, 59), "EST "},
        {At(2026, 3, 8, 7, 0, 0), "EDT "},
        {At(2026, 11, 1, 5, 59, 59), "EDT "},
        {At(2026, 11, 1, 6, 0, 0), "EST "},
        {At(2027, 3, 14, 6, 59, 59), "EST "},
        {At(2027, 3, 14, 7, 0, 0), "EDT "},
        {At(2027, 11, 7, 5, 59, 59), "EDT "},
        {At(2027, 11, 7, 6, 0, 0), "EST "},
        // The old fixed window would call these summer; the real rule does not.
        {At(2026, 3, 3, 12, 0, 0), "EST "},
        {At(2026, 11, 1, 12, 0, 0), "EST "},
        {At(2026, 7, 15, 12, 0, 0), "EDT "},
        {At(2026, 1, 15, 12, 0, 0), "EST "},
        {At(2026, 12, 31, 23, 0, 0), "EST "},
    };
    for (const Row &r : rows) {
        const NtpTimestamp t = NtpOfUtc(r.utc);
        const double bias = EasternBias(t.Seconds, t.Fraction);
        EXPECT_EQ(ZoneLabel, r.label) << r.utc;
        EXPECT_DOUBLE_EQ(bias, (std::string(r.label) == "EDT " ? 240 : 300) / 1440.0);
        EXPECT_NEAR(NtpToEastern(t.Seconds, t.Fraction), r.utc - bias, 1e-9);
    }
}

TEST(EasternTime, WallClockTimesMapToTheirInstants)
{
    const TDateTime rows[][2] = {
        {At(2027, 3, 14, 1, 59, 59), At(2027, 3, 14, 6, 59, 59)},
        {At(2027, 3, 14, 2, 30), At(2027, 3, 14, 7, 30)}, // skipped: read an hour on
        {At(2027, 3, 14, 3, 0), At(2027, 3, 14, 7, 0)},
        {At(2027, 11, 7, 1, 30), At(2027, 11, 7, 5, 30)}, // repeated: the summer-time pass
        {At(2027, 11, 7, 2, 0), At(2027, 11, 7, 7, 0)},
        {At(2027, 7, 1, 9, 30), At(2027, 7, 1, 13, 30)},
        {At(2027, 12, 1, 9, 30), At(2027, 12, 1, 14, 30)},
    };
    for (const auto &r : rows)
        EXPECT_NEAR(EasternWallToUtc(r[0]), r[1], 1e-9) << r[0];
}

TEST(EasternTime, NtpConversionsKeepTheirArithmetic)
{
    ZoneScope zone("UTC");
    NtpTimestamp t = DateTimeToNtp(2.0);
    EXPECT_EQ(t.Seconds, 0u);
    EXPECT_EQ(t.Fraction, 0u);

    // The divisor is 2^32 + 1: all bits set is still 999 ms.
    const TDateTime whole = NtpToUtc(0x80000000u, 0);
    EXPECT_NEAR(NtpToUtc(0x80000000u, 0xFFFFFFFFu) - whole, 0.999 * kSecond, 1e-6 * kSecond);
    EXPECT_EQ(NtpToUtc(0x80000000u, 4294967), whole);
    EXPECT_NEAR(NtpToUtc(0x80000000u, 4294968) - whole, 0.001 * kSecond, 1e-6 * kSecond);

    t = DateTimeToNtp(2.0 + 10.5 / 86400.0);
    EXPECT_EQ(t.Seconds, 10u);
    EXPECT_EQ(t.Fraction, 2147483648u);
    EXPECT_NEAR(NtpToLocal(0x80000000u + 10, t.Fraction), whole + 10.499 * kSecond, 1e-6 * kSecond);

    // The era wrap takes off 2^32, the length of an era.
    t = DateTimeToNtp(2.0 + (4294967297.0 + 1.0) / 86400.0);
    EXPECT_EQ(t.Seconds, 2u);

    // Dates after 1968 have the top bit set and still read as unsigned.
    const TDateTime y2026 = At(2026, 12, 8, 14, 30, 15);
    t = DateTimeToNtp(y2026);
    EXPECT_GT(t.Seconds, 0x80000000u);
    EXPECT_NEAR(NtpToLocal(t.Seconds, t.Fraction), y2026, 1e-9);
}

TEST(EasternTime, TheNextNtpEraReadsRight)
{
    struct Row
    {
        TDateTime utc;
        uint32_t seconds;
    };
    const TDateTime eraOne = At(2036, 2, 7, 6, 28, 16);
    const Row rows[] = {
        {At(1968, 1, 20, 3, 14, 8), 0x80000000u},
        {At(2026, 12, 8, 14, 30, 15), 4005729015u},
        {eraOne - kSecond, 0xFFFFFFFFu},
        {eraOne, 0},
        {eraOne + kSecond, 1},
        {At(2036, 3, 1, 12, 0, 0), 2007104},
        {At(2104, 2, 26, 9, 42, 23), 0x7FFFFFFFu},
    };
    for (const Row &r : rows) {
        // Half a second on, so that the noise of a DateTime cannot tip the whole second.
        const NtpTimestamp t = NtpOfUtc(r.utc + 0.5 * kSecond);
        EXPECT_EQ(t.Seconds, r.seconds) << r.utc;
        EXPECT_NEAR(NtpToUtc(t.Seconds, t.Fraction), r.utc + 0.499 * kSecond, 1e-5 * kSecond)
            << r.utc;
        EXPECT_NEAR(NtpToUtc(r.seconds, 0), r.utc, 1e-5 * kSecond) << r.utc;
        EXPECT_NEAR(NtpToEastern(r.seconds, 0), r.utc - EasternBias(r.seconds, 0), 1e-5 * kSecond);
    }
}

TEST(EasternTime, TheLabelChangesAtTheSwitchInAnyMachineZone)
{
    struct Row
    {
        TDateTime utc;
        const char *before;
        const char *after;
    };
    const Row rows[] = {
        {At(2026, 3, 8, 7, 0), "EST 01:59 AM", "EDT 03:00 AM"},
        {At(2026, 11, 1, 6, 0), "EDT 01:59 AM", "EST 01:00 AM"},
        {At(2027, 3, 14, 7, 0), "EST 01:59 AM", "EDT 03:00 AM"},
        {At(2027, 11, 7, 6, 0), "EDT 01:59 AM", "EST 01:00 AM"},
        {At(2028, 3, 12, 7, 0), "EST 01:59 AM", "EDT 03:00 AM"},
        {At(2028, 11, 5, 6, 0), "EDT 01:59 AM", "EST 01:00 AM"},
    };
    struct Zone
    {
        const char *tz;
        double ahead;
    };
    for (const Zone z : {Zone {"UTC", 0}, Zone {"Asia/Tokyo", 9 * kHour}}) {
        ZoneScope zone(z.tz);
        for (const Row &r : rows) {
            Rig rig;
            // Within a tick: the offset the system clock gives is good to a millisecond.
            for (int i = -10; i <= 1; ++i) {
                rig.clock.now = r.utc + i * 0.1 * kSecond + z.ahead;
                rig.engine.Timer11Timer();
                if (i == -1) {
                    EXPECT_EQ(rig.display.Text(Label::Clock), r.before) << z.tz << " " << r.utc;
                }
            }
            EXPECT_EQ(rig.display.Text(Label::Clock), r.after) << z.tz << " " << r.utc;
        }
    }
}

TEST(EasternTime, ATickInTheNextNtpEra)
{
    Rig rig;
    rig.Schedule("03/03/2036 9:30 am - 03/03/2036 4:00 pm\n");
    rig.engine.LoadSchedule();
    rig.clock.now = At(2036, 3, 1, 12, 0, 0);
    rig.engine.Timer11Timer();
    EXPECT_NEAR(rig.engine.FClockOffset, 5 * kHour, 0.0011 * kSecond);
    EXPECT_EQ(rig.display.Text(Label::Clock), "EST 07:00 AM");
    EXPECT_EQ(rig.display.Text(Label::Countdown), "50:30:00");
}

TEST(EasternTime, RoundTripLosesAtMostAMillisecond)
{
    for (const char *tz : {"UTC", "Asia/Tokyo", "America/Los_Angeles"}) {
        ZoneScope zone(tz);
        for (double s : {0.0, 0.25, 0.5, 0.999, 0.0004}) {
            const TDateTime local = At(2026, 6, 1, 9, 30, 7 + s);
            const NtpTimestamp t = DateTimeToNtp(local);
            EXPECT_NEAR(NtpToLocal(t.Seconds, t.Fraction), local, 0.0011 / 86400.0) << tz << s;
        }
    }
}

TEST(EasternTime, OffsetFromUtcReadsTheMachineZone)
{
    {
        ZoneScope zone("UTC");
        EXPECT_DOUBLE_EQ(OffsetFromUTC(), 0.0);
    }
    {
        ZoneScope zone("EST5");
        EXPECT_DOUBLE_EQ(OffsetFromUTC(), 300 / 1440.0);
    }
    {
        ZoneScope zone("JST-9");
        EXPECT_DOUBLE_EQ(OffsetFromUTC(), -540 / 1440.0);
    }
}

TEST(EasternTime, SystemClockOffsetIsZeroWhenTheMachineRunsOnEasternTime)
{
    ZoneScope zone("America/New_York");
    TSystemClock real;
    Rig rig;
    rig.clock.now = real.Now();
    rig.engine.DeriveOffsetFromSystemClock();
    EXPECT_NEAR(rig.engine.FClockOffset, 0.0, 0.0011 / 86400.0);
}

TEST(EasternTime, OnlyTheFirstEasternNowSynchronises)
{
    Rig rig;
    rig.settings.useSntp = true;
    rig.clock.now = At(2026, 12, 8, 15, 0, 0);
    EXPECT_FALSE(rig.engine.FSynced);
    const TDateTime e = rig.engine.EasternNow();
    EXPECT_TRUE(rig.engine.FSynced);
    EXPECT_EQ(rig.sntp.calls.size(), 1u);
    EXPECT_NEAR(e, At(2026, 12, 8, 10, 0, 0), 1e-8);
    rig.engine.EasternNow();
    EXPECT_EQ(rig.sntp.calls.size(), 1u);
}
