#pragma once

#include <QAbstractNativeEventFilter>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <vector>

class QWidget;

namespace quorvane {

// Keeps a top-level window off the taskbar and the pager, and on every workspace. Must run
// before the window is first shown; does nothing off X11.
void SkipTaskbar(QWidget *window);

// Keeps the toolkit's idea of where the window is the X server's: a window manager that puts
// the window in its frame after the toolkit asked where it was, and never says where the frame
// went, leaves the toolkit a stale position (menus at the screen's corner, moves sideways from
// there). Does nothing off X11.
void TrackTruePosition(QWidget *window);

// Sends what the toolkit has queued for the X server now; does nothing off X11.
void FlushWindowSystem();

// The room the desktop leaves to windows, below its panels.
class IWorkArea
{
public:
    virtual ~IWorkArea() = default;
    // The top of the work area of the monitor holding the point, in the toolkit's coordinates.
    virtual int Top(QPoint at) const = 0;
};

// The desktop's own answer: per monitor where the window manager publishes one
// (_GTK_WORKAREAS_Dn), else its one work area for the whole screen (_NET_WORKAREA) cut to the
// monitor. Read again only after the desktop announces a change; off X11, the toolkit's
// available geometry.
class TX11WorkArea : public IWorkArea, public QAbstractNativeEventFilter
{
public:
    TX11WorkArea();
    ~TX11WorkArea() override;
    TX11WorkArea(const TX11WorkArea &) = delete;
    TX11WorkArea &operator=(const TX11WorkArea &) = delete;

    int Top(QPoint at) const override;
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;

private:
    void Read() const;

    uint32_t FRoot = 0;
    uint32_t FWorkAreaAtom = 0, FDesktopAtom = 0;
    mutable uint32_t FMonitorsAtom = 0; // _GTK_WORKAREAS_Dn of the current workspace
    mutable std::vector<QRect> FAreas; // in device pixels
    mutable bool FStale = true;
};

} // namespace quorvane
