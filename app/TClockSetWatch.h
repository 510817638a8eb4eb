#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace quorvane {

// Tells at once when the system clock is set (by hand, by a time daemon's step, after a resume)
// without waking the program otherwise: a wall-clock timer armed for the far future, which the
// kernel cancels when the clock is set. Does nothing where the kernel has no such timer.
class TClockSetWatch : public QObject
{
public:
    // `fd` becomes readable when the clock is set; when -1 the watch makes its own timer. The
    // watch owns and closes it. `onSet` runs on this object's thread, from the event loop.
    TClockSetWatch(std::function<void()> onSet, QObject *parent, int fd = -1);
    ~TClockSetWatch() override;
    TClockSetWatch(const TClockSetWatch &) = delete;
    TClockSetWatch &operator=(const TClockSetWatch &) = delete;

private:
    bool Arm() const;
    void Activated();

    std::function<void()> FOnSet;
    int FFd;
    QSocketNotifier *FNotifier = nullptr;
};

} // namespace quorvane
