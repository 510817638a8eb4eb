#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QTimer>
#include <xcb/xcb.h>

#include <functional>

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

    // Called once for a burst of moves and resizes of the windows the window manager places:
    // a compositor tiles them anew when a panel of its own takes or gives back room, and tells
    // no client of that panel.
    std::function<void()> OnManagedPlaced;
    // Whether the note tells of such a move or resize.
    static bool ManagedPlaced(const xcb_generic_event_t *event);

private:
    void RaiseIfCovered();

    QPointer<QWidget> FWindow;
    // One look at the stacking for a burst of changes.
    QTimer FCheck;
    bool FWatching = false;
    bool FManagedPlaced = false;
};

} // namespace quorvane
