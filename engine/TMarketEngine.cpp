#include "TMarketEngine.h"

#include "EasternTime.h"
#include "ExtendedHours.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace quorvane {

namespace {

// More than this between two ticks means the local clock was set, not that time passed.
constexpr double kClockJump = 1.0 / 8640.0;
constexpr int32_t kSntpTimeoutMs = 3500;
constexpr int32_t kDownloadTimeoutMs = 5000;
constexpr double kTickMs = 100;
constexpr double kIdleTickMs = 1000;
// A tick a hair early would show the second that is ending for a whole tick more; timer slack
// and rounding stay well inside this.
constexpr double kTickMarginMs = 1;

// How long until a time left, in days, shows one whole second less, in days: it is rounded to
// the microsecond before its seconds are taken.
double UntilSecondTurns(double days)
{
    const double us = std::round(days * SecondsPerDay * 1e6);
    if (!std::isfinite(us) || us < 0)
        return 1 / SecondsPerDay;
    return (std::fmod(us, 1e6) + 0.5) / 1e6 / SecondsPerDay;
}

std::string TwoDigits(int64_t v)
{
    return std::string {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

// "hh:nn AM/PM" on the 12-hour clock.
std::string FormatClock(TDateTime eastern)
{
    CivilDate date;
    TimeOfDay time;
    DecodeDateTime(eastern, date, time);
    const int hour12 = time.Hour % 12 == 0 ? 12 : time.Hour % 12;
    return TwoDigits(hour12) + ":" + TwoDigits(time.Minute) + (time.Hour < 12 ? " AM" : " PM");
}

// Whole seconds or minutes of a duration in days, taken after rounding to the microsecond: the
// difference of two DateTimes that are exactly a minute apart can come out a hair under it.
int64_t WholeUnits(double days, int64_t microsecondsPerUnit)
{
    const double us = std::round(days * SecondsPerDay * 1e6);
    if (!std::isfinite(us) || std::fabs(us) > 9e18)
        return 0;
    return static_cast<int64_t>(us) / microsecondsPerUnit;
}

// Hours are not bounded: a weekend shows as 65:30:00.
std::string FormatCountdown(double remaining)
{
    const int64_t secs = WholeUnits(remaining, 1000000);
    return std::to_string(secs / 3600) + ":" + TwoDigits(secs % 3600 / 60) + ":"
        + TwoDigits(secs % 60);
}

} // namespace

TMarketEngine::TMarketEngine(
    const TEngineServices &services, std::string appDir, std::string scheduleUrl)
    : S(services)
    , FAppDir(std::move(appDir))
    , FScheduleUrl(std::move(scheduleUrl))
{ }

double TMarketEngine::SystemClockOffset() const
{
    const TDateTime n = S.Clock->Now();
    const NtpTimestamp t = DateTimeToNtp(n);
    return n - NtpToEastern(t.Seconds, t.Fraction);
}

void TMarketEngine::DeriveOffsetFromSystemClock()
{
    FClockOffset = SystemClockOffset();
}

void TMarketEngine::SetClockOffset(double offset)
{
    // The routine refresh moves Eastern time by a few milliseconds at most; clearing the alarm
    // memory then would swallow an alarm whose minute boundary falls inside the exchange.
    if (std::fabs(offset - FClockOffset) * SecondsPerDay >= 1.0)
        FPrevState = 0;
    const bool moved = offset != FClockOffset;
    FClockOffset = offset;
    FCursor = 0;
    if (moved && OnRephase)
        OnRephase();
}

void TMarketEngine::SyncClock()
{
    const bool useSntp = S.Settings->UseSNTP();
    // Until a server has answered, Eastern time comes from the system clock.
    if (!useSntp || !FOffsetFromServer) {
        FOffsetFromServer = false;
        SetClockOffset(SystemClockOffset());
    }
    if (!useSntp || FSyncPending)
        return;
    FSyncPending = true;
    S.Sntp->Query(S.Settings->SNTPServer(), S.Settings->SNTPPort(), kSntpTimeoutMs,
        [this](const SntpAnswer &a) { SyncClockAnswered(a); });
}

void TMarketEngine::SyncClockAnswered(const SntpAnswer &a)
{
    FSyncPending = false;
    // Switched off while the query ran: the system clock already stands in.
    if (!S.Settings->UseSNTP())
        return;
    const TDateTime estimate = a.OriginateTimestamp + a.LocalClockOffset + a.RoundTripDelay;
    if (estimate == 0 || a.AnsweredAt == 0) {
        // No answer is routine (offline, blocked port): the system clock stands in.
        FOffsetFromServer = false;
        SetClockOffset(SystemClockOffset());
        return;
    }
    const NtpTimestamp t = DateTimeToNtp(estimate);
    const TDateTime eastern = NtpToEastern(t.Seconds, t.Fraction);
    FOffsetFromServer = true;
    SetClockOffset(a.AnsweredAt - eastern);
}

void TMarketEngine::ClockStepped(double step)
{
    // Eastern time should not move with a clock someone set. A server's offset is corrected by
    // the step until the new answer lands; without a server the system clock is the truth.
    if (FOffsetFromServer && S.Settings->UseSNTP())
        FClockOffset += step;
    else
        DeriveOffsetFromSystemClock();
    FPrevState = 0;
    FCursor = 0;
}

TDateTime TMarketEngine::EasternNow()
{
    if (!FSynced)
        SyncClock();
    const TDateTime result = S.Clock->Now() - FClockOffset;
    FSynced = true;
    return result;
}

void TMarketEngine::LoadSchedule()
{
    const std::string path = FAppDir + "schedule.txt";
    if (S.Files->FileExists(path)) {
        AdoptSchedule(S.Files->ReadFile(path), false);
        return;
    }
    if (FDownloadPending)
        return;
    FDownloadPending = true;
    S.Http->DownloadText(FScheduleUrl, kDownloadTimeoutMs, [this](const Download &d) {
        FDownloadPending = false;
        // A failed or refused fetch keeps the sessions we have: an error page is no schedule.
        if (d.Complete)
            AdoptSchedule(d.Text, true);
    });
}

void TMarketEngine::AdoptSchedule(const std::string &text, bool downloaded)
{
    const CivilDate today = CivilFromDays(static_cast<int64_t>(std::floor(S.Clock->Now())));
    TSchedule sessions;
    ParseSchedule(SplitScheduleLines(text), sessions, today.Year);
    // A log-in portal answers 200 with its own page: a download without a single session is a
    // failed one in disguise. The user's own file is taken as it stands, even when empty.
    if (downloaded && sessions.empty())
        return;
    FSessions = std::move(sessions);
    FPrevState = 0;
    FCursor = 0;
    if (OnRephase)
        OnRephase();
}

bool TMarketEngine::NextEvent(double &remaining, bool &open)
{
    return NextEvent(EasternNow(), remaining, open);
}

bool TMarketEngine::NextEvent(TDateTime eastern, double &remaining, bool &open)
{
    if (FSessions.empty())
        return false;
    // Compared as true instants, so a weekend with a summer-time switch counts its real hours.
    const TDateTime now = eastern + LastEasternBias;
    const int32_t last = static_cast<int32_t>(FSessions.size()) - 1;
    while (FCursor < last && EasternWallToUtc(FSessions[FCursor + 1].Open) < now)
        ++FCursor;
    const TSession &s = FSessions[FCursor];
    // Before the first session the market is closed and counts down to its opening. Once the
    // tick has seen it open, a clock set back a few seconds does not close it again.
    if (FCursor == 0 && FPrevState != 1) {
        const TDateTime opens = EasternWallToUtc(s.Open);
        if (now <= opens) {
            open = false;
            remaining = opens - now;
            return true;
        }
    }
    const TDateTime closes = EasternWallToUtc(s.Close);
    if (now <= closes) {
        open = true;
        remaining = closes - now;
        return true;
    }
    open = false;
    if (FCursor == last)
        return false;
    remaining = EasternWallToUtc(FSessions[FCursor + 1].Open) - now;
    return true;
}

void TMarketEngine::ShowTexts(const std::string &countdown, const std::string &status)
{
    if (S.Display->Text(Label::Countdown) != countdown)
        S.Display->SetText(Label::Countdown, countdown);
    if (S.Display->Text(Label::Status) != status)
        S.Display->SetText(Label::Status, status);
}

void TMarketEngine::CheckAlarm(double remaining, bool open)
{
    const int64_t wholeMinutes = WholeUnits(remaining, 60000000);
    const int32_t minutes
        = std::abs(wholeMinutes) < 2000000000 ? static_cast<int32_t>(wholeMinutes) : 0;
    std::string file;
    int32_t due = 0;
    bool beforeClosing = false;
    if (FPrevState >= 1 && !open) {
        file = "0_min_before_closing.wav";
        beforeClosing = true;
    } else if (FPrevState < 0 && open) {
        file = "0_min_before_opening.wav";
    } else if (FPrevState != 0 && std::abs(static_cast<int64_t>(FPrevMinutes) - minutes) == 1) {
        due = FPrevMinutes;
        beforeClosing = open;
        file = std::to_string(due) + (open ? "_min_before_closing.wav" : "_min_before_opening.wav");
    }

    const int32_t state = open ? 1 : -1;
    if (!file.empty() && S.Settings->AlarmBox(due, beforeClosing).value_or(true)) {
        // The folder is built only when an alarm is due, not on every tick.
        const std::string dir = FAppDir.size() > 1 && FAppDir.back() == '/'
            ? FAppDir.substr(0, FAppDir.size() - 1)
            : FAppDir;
        const std::string path = dir + "/sounds/" + file;
        if (S.Files->FileExists(path)) {
            try {
                S.Player->Play(path);
            } catch (...) {
                // A sound that cannot be played counts as played, so it is reported once and
                // not again on every following tick.
                FPrevState = state;
                FPrevMinutes = minutes;
                throw;
            }
        }
    }
    FPrevState = state;
    FPrevMinutes = minutes;
}

int32_t TMarketEngine::MsToNextWake(double easternMs, double untilTurnMs, double periodMs)
{
    if (!std::isfinite(easternMs))
        return static_cast<int32_t>(periodMs);
    const double intoPeriod = easternMs - periodMs * std::floor(easternMs / periodMs);
    double ms = periodMs - intoPeriod;
    if (untilTurnMs >= 0 && untilTurnMs < ms)
        ms = untilTurnMs;
    return static_cast<int32_t>(std::ceil(ms + kTickMarginMs));
}

int32_t TMarketEngine::MsToNextTick()
{
    const TDateTime eastern = S.Clock->Now() - FClockOffset;
    const double untilTurn = FNextTurn > eastern ? (FNextTurn - eastern) * SecondsPerDay * 1000
                                                 : std::numeric_limits<double>::infinity();
    return MsToNextWake(
        eastern * SecondsPerDay * 1000, untilTurn, S.Player->IsPlaying() ? kTickMs : kIdleTickMs);
}

void TMarketEngine::Timer11Timer()
{
    const TDateTime n = S.Clock->Now();
    const double elapsed = S.Clock->Elapsed();
    // A tick held up by a busy desktop moves both clocks alike; only a set clock moves one alone.
    const double step = (n - FLastTick) - (elapsed - FLastElapsed) / SecondsPerDay;
    if (FLastTick != 0 && std::fabs(step) <= kClockJump) {
        FLastTick = n;
        FLastElapsed = elapsed;
    } else {
        if (FLastTick != 0)
            ClockStepped(step);
        SyncClock();
        FLastTick = S.Clock->Now();
        FLastElapsed = S.Clock->Elapsed();
    }

    // From the true instant on every tick, so the label and the hour change at the summer-time
    // switch itself rather than at the next synchronisation.
    const TDateTime eastern = EasternNow();
    const TDateTime wall = UtcToEastern(eastern + LastEasternBias);
    const std::string clock = ZoneLabel + FormatClock(wall);
    if (S.Display->Text(Label::Clock) != clock)
        S.Display->SetText(Label::Clock, clock);

    double remaining = 0;
    bool open = false;
    FNextTurn = 0;
    // One reading of the clock for the whole tick: a close falling between two readings would
    // pair the closed market with the instant before it, which reads as pre-market.
    if (!NextEvent(eastern, remaining, open)) {
        // The last state's colour would read as a market still open, or closed for good. The
        // colour goes first here and below: a display may show a text the moment it is set.
        if (S.Display->Color(Label::Status) != clWhite)
            S.Display->SetColor(Label::Status, clWhite);
        ShowTexts("--:--:--", ScheduleNeedsUpdate);
        // The last session's close sounds like any other before the schedule runs out.
        if (FPrevState >= 1 && !FSessions.empty() && !S.Player->IsPlaying())
            CheckAlarm(0, false);
        return;
    }
    TExtendedState shown {open ? "Market Open" : "Market Closed", open ? clLime : clRed, remaining};
    if (S.Settings->ExtendedHours())
        shown = ExtendedEvent(FSessions, FCursor, eastern + LastEasternBias, open, remaining);
    // Every boundary and alarm lies on a whole second of the time left; on the Eastern clock's
    // seconds too, unless a schedule ever says otherwise.
    FNextTurn = eastern + std::min(UntilSecondTurns(remaining), UntilSecondTurns(shown.Remaining));
    if (S.Display->Color(Label::Status) != shown.Color)
        S.Display->SetColor(Label::Status, shown.Color);
    ShowTexts(FormatCountdown(shown.Remaining), shown.Status);
    if (!S.Player->IsPlaying())
        CheckAlarm(remaining, open);
}

} // namespace quorvane
