#pragma once

#include "Seams.h"

namespace quorvane {

// Each query runs on a new client, so no value or late reply of an earlier one can leak in.
class TSntpSource final : public ISntpSource
{
public:
    SntpAnswer Query(const std::string &host, int32_t port, int32_t receiveTimeoutMs) override;
};

} // namespace quorvane
