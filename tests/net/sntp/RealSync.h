#pragma once

#include "Clock.h"
#include "TMarketEngine.h"
#include "TSntpSource.h"

namespace quorvane::test {

// The clock offsets one SyncClock gives through the real SNTP client with these settings, and
// the system clock alone, on this machine's clock.
struct SyncedOffsets
{
    double viaSync = 0;
    double viaSystem = 0;
};

// The real client, answering before Query returns, so the engine needs no event loop here.
struct BlockingSntp : ISntpSource
{
    void Query(const std::string &host, int32_t port, int32_t timeoutMs, SntpDone done) override
    {
        done(QuerySntp(host, port, timeoutMs));
    }
};

inline SyncedOffsets SyncThroughRealClient(const IClockSettings &settings)
{
    TSystemClock clock;
    BlockingSntp source;
    TEngineServices services;
    services.Clock = &clock;
    services.Settings = &settings;
    services.Sntp = &source;
    TMarketEngine engine(services, "/nonexistent/", "");
    engine.SyncClock();
    SyncedOffsets result;
    result.viaSync = engine.FClockOffset;
    engine.DeriveOffsetFromSystemClock();
    result.viaSystem = engine.FClockOffset;
    return result;
}

} // namespace quorvane::test
