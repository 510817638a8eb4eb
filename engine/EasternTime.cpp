#include "EasternTime.h"

#include "Exception.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

namespace quorvane {

const TEasternZone EasternZone {};
std::string ZoneLabel;
double LastEasternBias = (EasternZone.Bias + EasternZone.StandardBias) / 1440.0;

namespace {

// The low 32 bits of a value truncated toward zero, without the undefined conversion of an
// out-of-range double.
uint32_t Low32(double value)
{
    const double t = std::trunc(value);
    if (!std::isfinite(t))
        return 0;
    double r = std::fmod(t, 4294967296.0);
    if (r < 0)
        r += 4294967296.0;
    return static_cast<uint32_t>(r);
}

// One NTP era: 2^32 seconds, not NtpMax, or every time after 2036 would be a second off.
constexpr double kEraSeconds = 4294967296.0;

bool IsDaylight(TDateTime utc)
{
    const int year = CivilFromDays(static_cast<int64_t>(std::floor(utc))).Year;
    return utc >= DaylightStartUtc(year) && utc < DaylightEndUtc(year);
}

double BiasDays(bool daylight)
{
    const int minutes
        = EasternZone.Bias + (daylight ? EasternZone.DaylightBias : EasternZone.StandardBias);
    return minutes / 1440.0;
}

const char *LabelOf(bool daylight)
{
    return daylight ? "EDT " : "EST ";
}

// Seconds since 1900 with whole milliseconds; the rest of the fraction is dropped.
double NtpSeconds(uint32_t seconds, uint32_t fraction)
{
    double s = static_cast<double>(seconds);
    if ((seconds & 0x80000000u) == 0)
        s += kEraSeconds;
    const double f = static_cast<double>(fraction);
    const double ms = std::trunc(f / NtpMax * 1000.0);
    return s + ms / 1000.0;
}

} // namespace

double OffsetFromUTC()
{
    const time_t now = time(nullptr);
    tm local {};
    errno = 0;
    if (localtime_r(&now, &local) == nullptr)
        throw Exception(std::strerror(errno != 0 ? errno : EINVAL));
    // The platform's bias counts minutes from local to UTC; tm_gmtoff counts the other way and
    // already holds the daylight part when daylight time is in force.
    const long biasMinutes = -local.tm_gmtoff / 60;
    return static_cast<double>(biasMinutes) / 1440.0;
}

NtpTimestamp DateTimeToNtp(TDateTime local)
{
    const double x = (local + OffsetFromUTC() - 2.0) * SecondsPerDay;
    double s = x;
    if (x >= kEraSeconds)
        s = x - kEraSeconds;
    double f = (x - std::trunc(x)) * 1000.0 / 1000.0 * NtpMax;
    if (f > NtpMax)
        f -= NtpMax;
    return {Low32(s), Low32(f)};
}

TDateTime NtpToUtc(uint32_t seconds, uint32_t fraction)
{
    return NtpSeconds(seconds, fraction) / SecondsPerDay + 2.0;
}

TDateTime NtpToLocal(uint32_t seconds, uint32_t fraction)
{
    return (NtpSeconds(seconds, fraction) / SecondsPerDay) - OffsetFromUTC() + 2.0;
}

TDateTime DaylightStartUtc(int year)
{
    // Second Sunday of March, 2:00 EST.
    return static_cast<double>(NthWeekdayOfMonth(year, 3, 0, 2)) + 7.0 / 24.0;
}

TDateTime DaylightEndUtc(int year)
{
    // First Sunday of November, 2:00 EDT.
    return static_cast<double>(NthWeekdayOfMonth(year, 11, 0, 1)) + 6.0 / 24.0;
}

TDateTime UtcToEastern(TDateTime utc)
{
    const bool daylight = IsDaylight(utc);
    ZoneLabel = LabelOf(daylight);
    return utc - BiasDays(daylight);
}

TDateTime EasternWallToUtc(TDateTime eastern)
{
    const TDateTime summer = eastern + BiasDays(true);
    return IsDaylight(summer) ? summer : eastern + BiasDays(false);
}

double EasternBias(uint32_t seconds, uint32_t fraction)
{
    const bool daylight = IsDaylight(NtpToUtc(seconds, fraction));
    ZoneLabel = LabelOf(daylight);
    LastEasternBias = BiasDays(daylight);
    return LastEasternBias;
}

TDateTime NtpToEastern(uint32_t seconds, uint32_t fraction)
{
    return NtpSeconds(seconds, fraction) / SecondsPerDay - EasternBias(seconds, fraction) + 2.0;
}

} // namespace quorvane
