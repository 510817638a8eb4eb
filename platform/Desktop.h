#pragma once

#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace quorvane {

// One monitor as the bar sees it, in the toolkit's coordinates.
struct TMonitor
{
    QRect Geometry;
    // The part of the monitor that no panel or dock reserves.
    QRect WorkArea;
    double Scale = 1;
    QString Name;

    bool operator==(const TMonitor &o) const
    {
        return Geometry == o.Geometry && WorkArea == o.WorkArea && Scale == o.Scale
            && Name == o.Name;
    }
};
using TMonitors = std::vector<TMonitor>;

// What the bar asks of the desktop it runs on. One implementation per kind of desktop; the bar
// itself never asks which one it has.
class IDesktop
{
public:
    virtual ~IDesktop() = default;

    // The monitors with their work areas, as they are now; the primary first.
    virtual TMonitors Monitors() const = 0;
    // Called once the monitors or their work areas changed: a panel added, moved or resized, a
    // monitor added, removed or resized, the workspace switched. Called on the toolkit's thread,
    // never from within Monitors().
    virtual void SetOnChanged(std::function<void()> changed) = 0;

    // Runs once, before the window is first shown: keeps it on every workspace, off the taskbar
    // and the pager, and of a kind the desktop leaves in place when it shows the desktop.
    virtual void PrepareWindow(QWidget *window) = 0;
    // Runs gone, from the event loop, when another client destroys the window: no close request
    // ever reaches it then.
    virtual void SetOnWindowDestroyed(QWidget * /*window*/, std::function<void()> /*gone*/) { }
    // Whether the window's shape cuts what shows and what the pointer reaches. Where it does
    // not, the window's own geometry has to do the cutting.
    virtual bool ShapesHonoured() const { return true; }
    // Whether the desktop fades the window by its opacity property. Where it does not, the
    // window draws its opacity itself, over a background through which what lies below shows.
    virtual bool OpacityHonoured() const { return true; }
    // Whether a window manager frames and places the window, answering its moves late; false
    // where the program places the window itself and a move is done when it returns.
    virtual bool WindowManagerPlaces() const { return true; }

    // Whether the session's screen is unlocked; answered at once, from what was last heard.
    virtual bool DesktopUnlocked() = 0;
    // Sends what the toolkit holds for the window system now.
    virtual void Flush() = 0;
};

// The implementation for the window system the application runs on.
std::unique_ptr<IDesktop> MakeDesktop();

} // namespace quorvane
