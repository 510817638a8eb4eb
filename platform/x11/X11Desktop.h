#pragma once

#include "Desktop.h"
#include "DesktopLock.h"
#include "PlasmaPanels.h"
#include "Struts.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <set>

class QScreen;

namespace quorvane {

// The desktop as an X11 window manager and its panels describe it. A monitor's work area is
// the window manager's own where it publishes one per monitor (_GTK_WORKAREAS_Dn), else what
// the panels' and docks' reserved edges leave of it. Read again only after the desktop
// announces a change. Under KWin on Wayland, whose panels are no X windows, Plasma's shell is
// asked where its panels are, and its answer kept while it accounts for the one work area.
class TX11Desktop : public IDesktop, public QAbstractNativeEventFilter
{
public:
    TX11Desktop();
    ~TX11Desktop() override;
    TX11Desktop(const TX11Desktop &) = delete;
    TX11Desktop &operator=(const TX11Desktop &) = delete;

    TMonitors Monitors() const override;
    void SetOnChanged(std::function<void()> changed) override;
    void PrepareWindow(QWidget *window) override;
    void SetOnWindowDestroyed(QWidget *window, std::function<void()> gone) override;
    bool DesktopUnlocked() override { return FLock.DesktopUnlocked(); }
    void Flush() override;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *result) override;

private:
    void Read() const;
    // `moved` when panels or monitors may have moved: Plasma's shell is asked again.
    void Changed(bool moved = false);
    void WatchScreen(QScreen *screen);

    TDesktopLock FLock;
    QTimer FNotify;
    std::function<void()> FOnChanged;
    std::unique_ptr<TPlasmaPanels> FPlasma; // under KWin only
    uint32_t FRoot = 0;
    uint32_t FWorkAreaAtom = 0, FDesktopAtom = 0, FClientsAtom = 0, FStrutAtom = 0,
             FPartialAtom = 0;
    mutable uint32_t FMonitorsAtom = 0; // _GTK_WORKAREAS_Dn of the current workspace
    mutable std::vector<QRect> FAreas; // the window manager's, in device pixels
    mutable std::vector<TStrut> FStruts;
    mutable std::set<uint32_t> FWatched; // the windows whose reserved edges we follow
    mutable QSize FScreenSize;
    mutable bool FStale = true;
    mutable bool FXPanels = false; // the last read found X windows reserving edges
};

} // namespace quorvane
