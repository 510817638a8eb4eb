#pragma once

#include "Calendar.h"
#include "Clock.h"
#include "TIdUDPClient.h"

namespace quorvane {

// One SNTP exchange per query: four timestamps, the round-trip delay and the local clock offset,
// kept for the caller to read. All results stay 0 until a usable reply to this query arrives.
class TIdSNTP : public TIdUDPClient
{
public:
    // clock: the local clock; the system clock when null.
    explicit TIdSNTP(const IClock *clock = nullptr);

    void SNTPQuery();

    TDateTime DestinationTimestamp = 0;
    TDateTime LocalClockOffset = 0;
    TDateTime OriginateTimestamp = 0;
    TDateTime ReceiveTimestamp = 0;
    TDateTime RoundTripDelay = 0;
    TDateTime TransmitTimestamp = 0;

private:
    TSystemClock FSystemClock;
    const IClock *FClock;
};

class TMySNTP : public TIdSNTP
{
public:
    using TIdSNTP::TIdSNTP;
};

} // namespace quorvane
