#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>

class QSocketNotifier;
class QWidget;

namespace quorvane {

// What ends the program from outside, other than the desktop session's own protocol: SIGTERM,
// SIGHUP or SIGINT (a log-out, a closed terminal, Ctrl-C), or the window destroyed by another
// client. Each runs `end` once, on the window's thread, from the event loop. One at a time.
class TEndFromOutside : public QObject, public QAbstractNativeEventFilter
{
public:
    TEndFromOutside(QWidget *window, std::function<void()> end);
    ~TEndFromOutside() override;
    TEndFromOutside(const TEndFromOutside &) = delete;
    TEndFromOutside &operator=(const TEndFromOutside &) = delete;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;

private:
    void End();

    QWidget *FWindow;
    std::function<void()> FEnd;
    QSocketNotifier *FNotifier = nullptr;
    bool FEnded = false;
};

} // namespace quorvane
