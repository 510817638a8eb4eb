#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QTimer>

class QWidget;

namespace quorvane {

// Keeps an unmanaged window above the managed ones in the X server's stacking order. The
// compositor draws it above them anyway, but XWayland hands the pointer to the window the X
// server finds at that point: once the window manager has raised the window it gave the focus
// to, the bar would be drawn on top and never reached.
class TKeepOnTop : public QAbstractNativeEventFilter
{
public:
    explicit TKeepOnTop(QWidget *window);
    ~TKeepOnTop() override;
    TKeepOnTop(const TKeepOnTop &) = delete;
    TKeepOnTop &operator=(const TKeepOnTop &) = delete;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;

private:
    void RaiseIfCovered();

    QPointer<QWidget> FWindow;
    // One look at the stacking for a burst of changes.
    QTimer FCheck;
    bool FWatching = false;
};

} // namespace quorvane
