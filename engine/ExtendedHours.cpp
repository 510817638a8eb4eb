#include "ExtendedHours.h"

#include "EasternTime.h"

#include <algorithm>
#include <cmath>

namespace quorvane {

namespace {

constexpr double kHour = 1.0 / 24.0;

// A time of day on the date of an Eastern wall-clock value, as the instant it is. One sum of
// date and time, as the schedule's own values are built, so that 17:00 computed from a 13:00
// close is the very instant a line saying 17:00 would give.
TDateTime OnDayOf(TDateTime eastern, double timeOfDay)
{
    return EasternWallToUtc(std::floor(eastern) + timeOfDay);
}

} // namespace

TExtendedState ExtendedEvent(
    const TSchedule &sessions, int32_t cursor, TDateTime now, bool open, double remaining)
{
    if (open)
        return {"Market Open", clLime, remaining};
    // Closed: either before the cursor's session (the schedule's first) or after it.
    const bool afterCursor = now > EasternWallToUtc(sessions[cursor].Close);
    if (afterCursor && static_cast<size_t>(cursor) + 1 >= sessions.size())
        return {"Market Closed", clRed, remaining};
    const TSession &next = sessions[afterCursor ? cursor + 1 : cursor];
    const TDateTime opens = EasternWallToUtc(next.Open);
    // Each window is cut short rather than overlap the other or the next session, so an odd
    // schedule with two sessions on one day still reads one state at a time.
    TDateTime afterHoursEnd = 0;
    if (afterCursor) {
        const TSession &prev = sessions[cursor];
        const TDateTime closes = EasternWallToUtc(prev.Close);
        const double closeTime = prev.Close - std::floor(prev.Close);
        afterHoursEnd = OnDayOf(prev.Close, std::min(closeTime + 4 * kHour, 20 * kHour));
        afterHoursEnd = std::min(std::max(afterHoursEnd, closes), opens);
        if (now <= afterHoursEnd)
            return {"After Hours", clAmber, afterHoursEnd - now};
    }
    const TDateTime preMarketStart
        = std::max(std::min(OnDayOf(next.Open, 4 * kHour), opens), afterHoursEnd);
    if (now <= preMarketStart)
        return {"Market Closed", clRed, preMarketStart - now};
    return {"Pre-Market", clAmber, remaining};
}

} // namespace quorvane
