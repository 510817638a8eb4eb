#pragma once

#include "Desktop.h"
#include "DesktopLock.h"

#include <QObject>

#include <memory>

namespace quorvane {

class TKeepOnTop;
class TSwayIpc;

// A wlroots compositor's XWayland: its window manager manages every window it may, publishes
// no work area and ignores the X shape. The bar places itself there as a window no window
// manager handles, drawn on every workspace above tiled and floating windows; the usable area
// of each output comes from the compositor's IPC where it has one (sway), else the output's top.
class TWlrootsDesktop : public QObject, public IDesktop
{
public:
    // `ipcSocket` empty: no IPC, every output usable to its top.
    explicit TWlrootsDesktop(const QString &ipcSocket);
    ~TWlrootsDesktop() override;

    TMonitors Monitors() const override;
    void SetOnChanged(std::function<void()> changed) override;
    void PrepareWindow(QWidget *window) override;
    void SetOnWindowDestroyed(QWidget *window, std::function<void()> gone) override;
    bool ShapesHonoured() const override { return false; }
    bool OpacityHonoured() const override { return false; }
    bool WindowManagerPlaces() const override { return false; }
    bool DesktopUnlocked() override;
    void Flush() override;

private:
    void Changed();

    TSwayIpc *FIpc = nullptr;
    std::unique_ptr<TKeepOnTop> FOnTop;
    TDesktopLock FLock;
    std::function<void()> FChanged;
};

} // namespace quorvane
