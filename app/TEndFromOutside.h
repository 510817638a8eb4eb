#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace quorvane {

// What ends the program from outside, other than the desktop session's own protocol: SIGTERM,
// SIGHUP or SIGINT (a log-out, a closed terminal, Ctrl-C). Each runs `end` once, on the
// window's thread, from the event loop. One at a time.
class TEndFromOutside : public QObject
{
public:
    explicit TEndFromOutside(std::function<void()> end);
    ~TEndFromOutside() override;
    TEndFromOutside(const TEndFromOutside &) = delete;
    TEndFromOutside &operator=(const TEndFromOutside &) = delete;

private:
    void End();

    std::function<void()> FEnd;
    QSocketNotifier *FNotifier = nullptr;
    bool FEnded = false;
};

} // namespace quorvane
