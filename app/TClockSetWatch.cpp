#include "TClockSetWatch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <unistd.h>
#include <utility>

#if __has_include(<sys/timerfd.h>)
#include <sys/timerfd.h>
#define QUORVANE_HAS_TIMERFD 1
#endif

namespace quorvane {

TClockSetWatch::TClockSetWatch(std::function<void()> onSet, QObject *parent, int fd)
    : QObject(parent)
    , FOnSet(std::move(onSet))
    , FFd(fd)
{
#ifdef QUORVANE_HAS_TIMERFD
    if (FFd < 0) {
        FFd = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (FFd >= 0 && !Arm()) {
            ::close(FFd);
            FFd = -1;
        }
    }
#endif
    if (FFd < 0)
        return;
    FNotifier = new QSocketNotifier(FFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TClockSetWatch::Activated);
}

TClockSetWatch::~TClockSetWatch()
{
    delete FNotifier;
    if (FFd >= 0)
        ::close(FFd);
}

bool TClockSetWatch::Arm() const
{
#ifdef QUORVANE_HAS_TIMERFD
    // About 35,000 years ahead: it never expires, and no offset added to it overflows.
    itimerspec far {};
    far.it_value.tv_sec = static_cast<time_t>(1) << 40;
    return ::timerfd_settime(FFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr) == 0;
#else
    return false;
#endif
}

void TClockSetWatch::Activated()
{
    // ECANCELED when the clock was set; a count if it was set past the far instant. Either read
    // leaves the descriptor quiet until the next set, so a failed re-arm cannot spin.
    std::uint64_t expirations = 0;
    const ssize_t n = ::read(FFd, &expirations, sizeof expirations);
    if (n < 0 && errno == EAGAIN)
        return;
    // A given descriptor whose writer has gone stays readable for ever: no more to tell.
    if (n == 0) {
        FNotifier->setEnabled(false);
        return;
    }
    Arm();
    FOnSet();
}

} // namespace quorvane
