#include "TSntpSource.h"

#include "TIdSNTP.h"

namespace quorvane {

SntpAnswer TSntpSource::Query(const std::string &host, int32_t port, int32_t receiveTimeoutMs)
{
    TMySNTP sntp;
    sntp.ReceiveTimeout = receiveTimeoutMs;
    sntp.Port = port;
    sntp.Host = host;
    sntp.SNTPQuery();
    return {sntp.OriginateTimestamp, sntp.LocalClockOffset, sntp.RoundTripDelay};
}

} // namespace quorvane
