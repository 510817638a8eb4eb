#pragma once

#include "Calendar.h"
#include "Clock.h"
#include "Schedule.h"
#include "Seams.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quorvane {

// The status when no session lies ahead: no schedule, or one that has run out.
inline constexpr char ScheduleNeedsUpdate[] = "The schedule needs update";

// Everything the engine talks to; the program passes the real ones, tests pass fakes.
struct TEngineServices
{
    const IClock *Clock = nullptr;
    const IClockSettings *Settings = nullptr;
    ISntpSource *Sntp = nullptr;
    IHttpFetch *Http = nullptr;
    const IFileSystem *Files = nullptr;
    ISoundPlayer *Player = nullptr;
    IDisplay *Display = nullptr;
};

// The market clock: Eastern time with its offset, the schedule and its cursor, the tick and its
// alarm memory. The main window owns one and drives it from its timers and commands.
class TMarketEngine
{
public:
    // appDir ends with "/"; scheduleUrl is where the schedule is fetched when no local file exists.
    TMarketEngine(const TEngineServices &services, std::string appDir, std::string scheduleUrl);

    TDateTime EasternNow();
    void DeriveOffsetFromSystemClock();
    // With SNTP on, starts a query, or joins the one in flight, and returns at once; the answer
    // is applied when it arrives. Until the first answer Eastern time comes from the system clock.
    void SyncClock();
    // A local schedule is read at once; a download is started, or joined, and applied on arrival.
    void LoadSchedule();
    bool NextEvent(double &remaining, bool &open);
    // The same at a given instant of Eastern time, as EasternNow gives it.
    bool NextEvent(TDateTime eastern, double &remaining, bool &open);
    // One tick. An alarm that cannot be played raises once; the alarm counts as played.
    void Timer11Timer();
    // Milliseconds from now until the next tick: just after the next whole second of Eastern
    // time, when the clock shown turns whatever the phase of the local clock or of the time
    // server's, or sooner should the countdown turn first. While a sound plays, just after the
    // next tenth, so an alarm it holds back sounds as soon as it ends.
    int32_t MsToNextTick();
    // The same from plain numbers: the Eastern clock and the time until the countdown next turns
    // (infinite when nothing counts down), in ms, for a period of 100 or 1000 ms.
    static int32_t MsToNextWake(double easternMs, double untilTurnMs, double periodMs);
    // Runs when a synchronisation moves Eastern time against the local clock or a schedule is
    // adopted: what is shown may change before the next tick, and the tick's phase with it.
    std::function<void()> OnRephase;

    const std::string &AppDir() const { return FAppDir; }

    // Engine state, public for the window's read-only use and for tests.
    double FClockOffset = 0;
    bool FSynced = false;
    TSchedule FSessions;
    int32_t FCursor = 0;
    TDateTime FLastTick = 0;
    int32_t FPrevState = 0;
    int32_t FPrevMinutes = 0;
    double FLastElapsed = 0; // the monotonic clock at the previous tick
    bool FSyncPending = false;
    bool FDownloadPending = false;
    bool FOffsetFromServer = false; // FClockOffset came from an SNTP answer
    TDateTime FNextTurn = 0; // Eastern time when the countdown or the time left next turns

private:
    double SystemClockOffset() const;
    void SyncClockAnswered(const SntpAnswer &answer);
    void SetClockOffset(double offset);
    void ClockStepped(double step);
    void AdoptSchedule(const std::string &text, bool downloaded);
    void ShowTexts(const std::string &countdown, const std::string &status);
    void CheckAlarm(double remaining, bool open);

    TEngineServices S;
    std::string FAppDir;
    std::string FScheduleUrl;
};

} // namespace quorvane
