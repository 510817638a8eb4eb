#include "TSntpSource.h"

#include "Clock.h"
#include "TIdSNTP.h"

namespace quorvane {

SntpAnswer QuerySntp(const std::string &host, int32_t port, int32_t receiveTimeoutMs)
{
    try {
        TMySNTP sntp;
        sntp.ReceiveTimeout = receiveTimeoutMs;
        sntp.Port = port;
        sntp.Host = host;
        sntp.SNTPQuery();
        return {sntp.OriginateTimestamp, sntp.LocalClockOffset, sntp.RoundTripDelay,
            TSystemClock().Now()};
    } catch (const std::exception &) {
        // A name that does not resolve, a refused port, a reply too long: no answer, as silence.
        return {};
    }
}

void TSntpSource::Query(
    const std::string &host, int32_t port, int32_t receiveTimeoutMs, SntpDone done)
{
    Run<SntpAnswer>(
        [host, port, receiveTimeoutMs](
            const std::atomic<bool> &) { return QuerySntp(host, port, receiveTimeoutMs); },
        std::move(done));
}

} // namespace quorvane
