#pragma once

#include "Seams.h"
#include "TBackgroundCalls.h"

namespace quorvane {

// One exchange with a new client, so no value or late reply of an earlier one can leak in.
// Blocks for the name lookup and up to receiveTimeoutMs; every failure gives an answer of zeros.
SntpAnswer QuerySntp(const std::string &host, int32_t port, int32_t receiveTimeoutMs);

// QuerySntp on a thread of its own, answered on the owner's thread.
class TSntpSource final : public TBackgroundCalls, public ISntpSource
{
public:
    using TBackgroundCalls::TBackgroundCalls;
    void Query(
        const std::string &host, int32_t port, int32_t receiveTimeoutMs, SntpDone done) override;
};

} // namespace quorvane
