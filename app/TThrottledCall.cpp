#include "TThrottledCall.h"

#include <QTimer>

#include <utility>

namespace quorvane {

TThrottledCall::TThrottledCall(int intervalMs, std::function<void()> call, QObject *parent)
    : QObject(parent)
    , FIntervalMs(intervalMs)
    , FCall(std::move(call))
    , FHeld(new QTimer(this))
{
    FHeld->setSingleShot(true);
    connect(FHeld, &QTimer::timeout, this, &TThrottledCall::Run);
}

void TThrottledCall::Request()
{
    if (FHeld->isActive())
        return;
    const qint64 since = FLastRun.isValid() ? FLastRun.elapsed() : FIntervalMs;
    if (since >= FIntervalMs)
        Run();
    else
        FHeld->start(static_cast<int>(FIntervalMs - since));
}

void TThrottledCall::Run()
{
    FLastRun.start();
    FCall();
}

} // namespace quorvane
