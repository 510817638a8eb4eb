#include "TEndFromOutside.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace quorvane {

namespace {

const int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// The handler may do next to nothing; it tells the event loop through this pipe.
int gPipe[2] = {-1, -1};

extern "C" void OnSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

} // namespace

TEndFromOutside::TEndFromOutside(std::function<void()> end)
    : FEnd(std::move(end))
{
    if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        FNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
        connect(FNotifier, &QSocketNotifier::activated, this, [this] {
            char bytes[16];
            while (::read(gPipe[0], bytes, sizeof bytes) > 0) { }
            End();
        });
        struct sigaction action
        {
        };
        action.sa_handler = OnSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (int s : kSignals)
            ::sigaction(s, &action, nullptr);
    }
}

TEndFromOutside::~TEndFromOutside()
{
    if (!FNotifier)
        return;
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    delete FNotifier;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void TEndFromOutside::End()
{
    if (FEnded)
        return;
    FEnded = true;
    FEnd();
}

} // namespace quorvane
