#include "TWlrootsDesktop.h"

#include "TKeepOnTop.h"
#include "TSwayIpc.h"
#include "X11Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

#include <utility>

namespace quorvane {

namespace {

// The toolkit keeps a monitor's top-left in device pixels and scales what lies beyond it.
QRect DeviceGeometry(const QScreen *screen)
{
    const QRect g = screen->geometry();
    return QRect(g.topLeft(), (QSizeF(g.size()) * screen->devicePixelRatio()).toSize());
}

QRect ToToolkit(const QRect &device, const QScreen *screen)
{
    const QRect g = screen->geometry();
    const double scale = screen->devicePixelRatio();
    const QRect d = DeviceGeometry(screen);
    const int left = g.left() + static_cast<int>(std::ceil((device.left() - d.left()) / scale));
    const int top = g.top() + static_cast<int>(std::ceil((device.top() - d.top()) / scale));
    const int right = g.left() + static_cast<int>((device.right() + 1 - d.left()) / scale);
    const int bottom = g.top() + static_cast<int>((device.bottom() + 1 - d.top()) / scale);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & g;
}

} // namespace

TWlrootsDesktop::TWlrootsDesktop(const QString &ipcSocket)
    : FLock(this)
{
    if (!ipcSocket.isEmpty()) {
        FIpc = new TSwayIpc(ipcSocket, this);
        FIpc->ReadNow(500);
        FIpc->Watch([this] { Changed(); });
    }
    // An output added, moved or removed shows as the toolkit's screens; the compositor is
    // asked again for its usable areas, and tells when they differ.
    auto outputs = [this] {
        if (FIpc)
            FIpc->Refresh();
        Changed();
    };
    auto watch = [this, outputs](QScreen *screen) {
        connect(screen, &QScreen::geometryChanged, this, outputs);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [watch, outputs](QScreen *screen) {
        watch(screen);
        outputs();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, outputs);
}

TWlrootsDesktop::~TWlrootsDesktop() = default;

TMonitors TWlrootsDesktop::Monitors() const
{
    TMonitors monitors;
    QList<QScreen *> screens = QGuiApplication::screens();
    // The primary first.
    std::stable_partition(screens.begin(), screens.end(),
        [](QScreen *s) { return s == QGuiApplication::primaryScreen(); });
    for (const QScreen *screen : screens) {
        TMonitor m {
            screen->geometry(), screen->geometry(), screen->devicePixelRatio(), screen->name()};
        const QRect device = DeviceGeometry(screen);
        // The compositor's output that covers most of this monitor names its usable area.
        long long most = 0;
        for (const TSwayOutput &o : FIpc ? FIpc->Outputs() : std::vector<TSwayOutput>()) {
            const QRect common = o.Rect & device;
            const long long size = 1LL * common.width() * common.height();
            if (size > most && !(o.Usable & device).isEmpty()) {
                most = size;
                m.WorkArea = ToToolkit(o.Usable & device, screen);
            }
        }
        monitors.push_back(m);
    }
    return monitors;
}

void TWlrootsDesktop::SetOnChanged(std::function<void()> changed)
{
    FChanged = std::move(changed);
}

void TWlrootsDesktop::Changed()
{
    // Never from within a caller's own reading of the monitors: from the event loop.
    QTimer::singleShot(0, this, [this] {
        if (FChanged)
            FChanged();
    });
}

void TWlrootsDesktop::SetOnWindowDestroyed(QWidget *window, std::function<void()> gone)
{
    WatchDestroyedFromOutside(window, std::move(gone));
}

void TWlrootsDesktop::PrepareWindow(QWidget *window)
{
    // Unmanaged, the window is where the program puts it, at its own size, on every
    // workspace and above the windows the compositor tiles or floats.
    window->setWindowFlag(Qt::X11BypassWindowManagerHint, true);
    // The compositor gives the keyboard to an unmanaged window when it maps or is clicked,
    // unless it is of a kind that never wants it.
    window->setAttribute(Qt::WA_X11NetWmWindowTypeUtility);
    // The compositor draws neither the opacity property nor the shape: the window draws both
    // into a background of its own that can be see-through, which it must have from its first
    // showing.
    window->setAttribute(Qt::WA_TranslucentBackground);
    FOnTop = std::make_unique<TKeepOnTop>(window);
    // A swaybar started late, or ended, changes the usable area without a word over the IPC;
    // where a window of this X server is tiled, its new place tells.
    FOnTop->OnManagedPlaced = [this] {
        if (FIpc)
            FIpc->Refresh();
    };
}

bool TWlrootsDesktop::DesktopUnlocked()
{
    return FLock.DesktopUnlocked();
}

void TWlrootsDesktop::Flush()
{
    FlushWindowSystem();
}

} // namespace quorvane
