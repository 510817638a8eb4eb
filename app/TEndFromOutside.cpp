#include "TEndFromOutside.h"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

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

TEndFromOutside::TEndFromOutside(QWidget *window, std::function<void()> end)
    : FWindow(window)
    , FEnd(std::move(end))
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
    if (qGuiApp->platformName() == QLatin1String("xcb"))
        qGuiApp->installNativeEventFilter(this);
}

TEndFromOutside::~TEndFromOutside()
{
    qGuiApp->removeNativeEventFilter(this);
    if (!FNotifier)
        return;
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    delete FNotifier;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

bool TEndFromOutside::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    // The toolkit destroys a window of its own only with the widget, or to make it anew under
    // another id; either way the widget no longer holds the destroyed id.
    if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY
        && static_cast<const xcb_destroy_notify_event_t *>(message)->window
            == static_cast<xcb_window_t>(FWindow->internalWinId()))
        // Once the toolkit is done with the event.
        QTimer::singleShot(0, this, &TEndFromOutside::End);
    return false;
}

void TEndFromOutside::End()
{
    if (FEnded)
        return;
    FEnded = true;
    FEnd();
}

} // namespace quorvane
