#pragma once

#include "Calendar.h"

#include <cstdint>
#include <string>

namespace quorvane {

// Seconds since 1900-01-01 00:00 UTC and the part of a second scaled by NtpMax.
struct NtpTimestamp
{
    uint32_t Seconds = 0;
    uint32_t Fraction = 0;
};

// 2^32 + 1, not 2^32: the fraction scale in both directions and the amount taken off at the era
// wrap. Peers and stored values were computed with it, so it stays.
constexpr double NtpMax = 4294967297.0;

// The fixed US Eastern zone, in minutes as the platform's zone records count them.
struct TEasternZone
{
    int Bias = 300;
    int StandardBias = 0;
    int DaylightBias = -60;
};
extern const TEasternZone EasternZone;

// "EST " or "EDT ", set by every EasternBias and by UtcToEastern; empty until the first one.
// Written on the user-interface thread only.
extern std::string ZoneLabel;
// The bias the last EasternBias returned, so the one FClockOffset was last taken with: Eastern
// time plus it is the true UTC instant. Written on the user-interface thread only.
extern double LastEasternBias;

// Days to add to local time to get UTC, from the C library's zone for the current instant.
double OffsetFromUTC();
// A Seconds word with its top bit clear counts from 2036-02-07 06:28:16 UTC (era 1), so
// timestamps from 1968 to 2104 convert both ways.
NtpTimestamp DateTimeToNtp(TDateTime local);
TDateTime NtpToUtc(uint32_t seconds, uint32_t fraction);
TDateTime NtpToLocal(uint32_t seconds, uint32_t fraction);
// Days to subtract from UTC to get Eastern time at that instant; sets ZoneLabel.
double EasternBias(uint32_t seconds, uint32_t fraction);
TDateTime NtpToEastern(uint32_t seconds, uint32_t fraction);

// The US summer-time window of a year in UTC: [start, end).
TDateTime DaylightStartUtc(int year);
TDateTime DaylightEndUtc(int year);
// Eastern wall-clock time at a UTC instant; sets ZoneLabel for that instant.
TDateTime UtcToEastern(TDateTime utc);
// The UTC instant of an Eastern wall-clock time. The hour skipped in March reads as summer time
// an hour on; the hour repeated in November reads as its first, summer-time pass.
TDateTime EasternWallToUtc(TDateTime eastern);

} // namespace quorvane
