#pragma once

#include "Schedule.h"
#include "Seams.h"

#include <cstdint>

namespace quorvane {

constexpr TColor clAmber = 0x0000BFFF;

// What the bar shows with the pre-market and after-hours sessions on.
struct TExtendedState
{
    const char *Status;
    TColor Color;
    double Remaining; // days to the next boundary of any kind
};

// Refines NextEvent's answer (open, remaining, and the cursor it left) with the sessions around
// the regular ones: pre-market from 04:00 Eastern of a session's day to its open, after-hours
// from its close for four hours, never past 20:00 Eastern. now is the true instant (UTC) that
// NextEvent compared with.
TExtendedState ExtendedEvent(
    const TSchedule &sessions, int32_t cursor, TDateTime now, bool open, double remaining);

} // namespace quorvane
