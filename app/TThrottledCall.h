#pragma once

#include <QElapsedTimer>
#include <QObject>

#include <functional>

class QTimer;

namespace quorvane {

// Runs a call when asked, but at most once per interval: a request within the interval after the
// last run is held and runs once, when the interval is over, however many requests came.
class TThrottledCall : public QObject
{
public:
    TThrottledCall(int intervalMs, std::function<void()> call, QObject *parent = nullptr);

    void Request();

private:
    void Run();

    int FIntervalMs;
    std::function<void()> FCall;
    QElapsedTimer FLastRun; // monotonic, so a clock set back holds nothing up
    QTimer *FHeld;
};

} // namespace quorvane
