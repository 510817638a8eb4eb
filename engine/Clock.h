#pragma once

#include "Calendar.h"

namespace quorvane {

// The local wall clock. The engine never reads the system time directly, so tests can walk a
// whole trading day in microseconds.
class IClock
{
public:
    virtual ~IClock() = default;
    virtual TDateTime Now() const = 0;
    // Seconds on a clock that nobody sets, so a late tick can be told from a set clock.
    virtual double Elapsed() const = 0;
};

class TSystemClock final : public IClock
{
public:
    TDateTime Now() const override;
    double Elapsed() const override;
};

} // namespace quorvane
