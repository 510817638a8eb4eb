#include "Clock.h"

#include <ctime>

namespace quorvane {

TDateTime TSystemClock::Now() const
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local {};
    localtime_r(&ts.tv_sec, &local);
    const double seconds = static_cast<double>(ts.tv_sec) + static_cast<double>(local.tm_gmtoff)
        + static_cast<double>(ts.tv_nsec) / 1e9;
    return seconds / SecondsPerDay + 25569.0;
}

double TSystemClock::Elapsed() const
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace quorvane
