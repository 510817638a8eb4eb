#include "X11Desktop.h"

#include "WindowManagerName.h"
#include "X11Window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <xcb/xcb.h>

#include <cmath>
#include <string>

#include <utility>

namespace quorvane {

namespace {

// Adds property changes to what this program hears of the window. The window can be one of
// the program's own, whose other events the toolkit must go on hearing.
void SelectPropertyChanges(xcb_connection_t *c, uint32_t window)
{
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    const xcb_get_window_attributes_cookie_t attributes = xcb_get_window_attributes(c, window);
    xcb_generic_error_t *error = nullptr;
    xcb_get_window_attributes_reply_t *reply
        = xcb_get_window_attributes_reply(c, attributes, &error);
    std::free(error);
    if (!reply)
        return;
    const bool heard = reply->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE;
    mask |= reply->your_event_mask;
    std::free(reply);
    if (heard)
        return;
    // A window gone meanwhile answers with an error that is no news.
    const xcb_void_cookie_t cookie
        = xcb_change_window_attributes_checked(c, window, XCB_CW_EVENT_MASK, &mask);
    xcb_discard_reply(c, cookie.sequence);
}

} // namespace

TX11Desktop::TX11Desktop()
{
    FNotify.setSingleShot(true);
    FNotify.setInterval(0);
    QObject::connect(&FNotify, &QTimer::timeout, &FLock, [this] {
        if (FOnChanged)
            FOnChanged();
    });
    for (QScreen *screen : QGuiApplication::screens())
        WatchScreen(screen);
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &FLock, [this](QScreen *screen) {
        WatchScreen(screen);
        Changed(true);
    });
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &FLock, [this] { Changed(true); });
    QObject::connect(
        qGuiApp, &QGuiApplication::primaryScreenChanged, &FLock, [this] { Changed(true); });

    xcb_connection_t *c = X11Connection();
    if (!c)
        return;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    FRoot = screen->root;
    FWorkAreaAtom = X11Atom(c, "_NET_WORKAREA");
    FDesktopAtom = X11Atom(c, "_NET_CURRENT_DESKTOP");
    FClientsAtom = X11Atom(c, "_NET_CLIENT_LIST");
    FStrutAtom = X11Atom(c, "_NET_WM_STRUT");
    FPartialAtom = X11Atom(c, "_NET_WM_STRUT_PARTIAL");
    // Work areas, workspaces and the list of windows change as properties of the root window.
    SelectPropertyChanges(c, FRoot);
    qGuiApp->installNativeEventFilter(this);
    if (WindowManagerName(c, FRoot) == QLatin1String("KWin")) {
        FPlasma = std::make_unique<TPlasmaPanels>([this] { Changed(); });
        FPlasma->Ask();
    }
}

TX11Desktop::~TX11Desktop()
{
    if (FRoot && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

void TX11Desktop::WatchScreen(QScreen *screen)
{
    QObject::connect(screen, &QScreen::geometryChanged, &FLock, [this] { Changed(true); });
}

void TX11Desktop::SetOnChanged(std::function<void()> changed)
{
    FOnChanged = std::move(changed);
}

void TX11Desktop::Changed(bool moved)
{
    FStale = true;
    if (moved && FPlasma && !FXPanels)
        FPlasma->Ask();
    // Many changes come at once (a panel moving sets its edges and the work area): one call.
    FNotify.start();
}

void TX11Desktop::SetOnWindowDestroyed(QWidget *window, std::function<void()> gone)
{
    WatchDestroyedFromOutside(window, std::move(gone));
}

void TX11Desktop::PrepareWindow(QWidget *window)
{
    SkipTaskbar(window);
    TrackTruePosition(window);
    // A dock is what window managers leave in place when the user shows the desktop. Set once
    // the platform window exists, which is when the toolkit passes the type on.
    window->setAttribute(Qt::WA_X11NetWmWindowTypeDock);
}

void TX11Desktop::Flush()
{
    FlushWindowSystem();
}

bool TX11Desktop::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
        return false;
    const auto *p = static_cast<const xcb_property_notify_event_t *>(message);
    if (p->window == FRoot && p->atom == FWorkAreaAtom)
        Changed(true);
    else if (p->window == FRoot
        && (p->atom == FDesktopAtom || p->atom == FMonitorsAtom || p->atom == FClientsAtom))
        Changed();
    else if ((p->atom == FStrutAtom || p->atom == FPartialAtom) && FWatched.count(p->window))
        Changed();
    return false;
}

void TX11Desktop::Read() const
{
    FStale = false;
    FAreas.clear();
    FStruts.clear();
    xcb_connection_t *c = X11Connection();
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    FScreenSize = QSize(screen->width_in_pixels, screen->height_in_pixels);
    const std::vector<uint32_t> current = X11Values(c, FRoot, FDesktopAtom);
    const uint32_t desktop = current.empty() ? 0 : current[0];
    FMonitorsAtom = X11Atom(c, ("_GTK_WORKAREAS_D" + std::to_string(desktop)).c_str());
    const std::vector<uint32_t> v = X11Values(c, FRoot, FMonitorsAtom);
    for (size_t i = 0; i + 3 < v.size(); i += 4)
        FAreas.emplace_back(static_cast<int>(v[i]), static_cast<int>(v[i + 1]),
            static_cast<int>(v[i + 2]), static_cast<int>(v[i + 3]));
    // Every window's reserved edges, and word when they change; the list itself is watched on
    // the root.
    std::set<uint32_t> watched;
    for (const uint32_t window : X11Values(c, FRoot, FClientsAtom)) {
        watched.insert(window);
        if (!FWatched.count(window))
            SelectPropertyChanges(c, window);
        std::vector<uint32_t> s = X11Values(c, window, FPartialAtom);
        if (s.size() >= 12) {
            TStrut strut;
            std::copy(s.begin(), s.begin() + 12, strut.begin());
            FStruts.push_back(strut);
        } else if ((s = X11Values(c, window, FStrutAtom)).size() >= 4) {
            FStruts.push_back(WholeEdgeStrut(s[0], s[1], s[2], s[3], FScreenSize));
        }
    }
    FWatched = std::move(watched);
    FXPanels = !FAreas.empty() || !FStruts.empty();
    if (FXPanels)
        return;
    // A compositor's own panels have no X window; its one work area is then all there is, and
    // the bar keeps clear of every panel it may stand for, unless the compositor's shell told
    // where they are.
    const std::vector<uint32_t> all = X11Values(c, FRoot, FWorkAreaAtom);
    const size_t at = 4 * size_t(desktop) + 4 <= all.size() ? 4 * size_t(desktop) : 0;
    if (all.size() < at + 4)
        return;
    const QRect workArea(static_cast<int>(all[at]), static_cast<int>(all[at + 1]),
        static_cast<int>(all[at + 2]), static_cast<int>(all[at + 3]));
    if (FPlasma && !FPlasma->Answer().isEmpty()) {
        if (auto struts = TPlasmaPanels::Struts(FPlasma->Answer(), FScreenSize, workArea)) {
            FStruts = std::move(*struts);
            return;
        }
    }
    FAreas.push_back(workArea);
}

TMonitors TX11Desktop::Monitors() const
{
    TMonitors monitors;
    QList<QScreen *> screens = QGuiApplication::screens();
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        screens.removeAll(primary);
        screens.prepend(primary);
    }
    if (FRoot && FStale)
        Read();
    for (const QScreen *screen : screens) {
        TMonitor m;
        m.Geometry = screen->geometry();
        m.Scale = screen->devicePixelRatio();
        m.Name = screen->name();
        if (!FRoot) {
            m.WorkArea = screen->availableGeometry();
            monitors.push_back(m);
            continue;
        }
        // The toolkit keeps a monitor's top-left in device pixels and scales what lies beyond.
        const QRect device(m.Geometry.topLeft(), (QSizeF(m.Geometry.size()) * m.Scale).toSize());
        QRect area = WorkAreaFromStruts(device, FScreenSize, FStruts);
        long long most = 0;
        for (const QRect &published : FAreas) {
            const QRect common = published & device;
            const long long size = 1LL * common.width() * common.height();
            if (size > most) {
                most = size;
                area = common;
            }
        }
        auto logical = [&](int v, int origin) {
            return origin + static_cast<int>(std::ceil((v - origin) / m.Scale));
        };
        m.WorkArea
            = QRect(QPoint(logical(area.left(), device.left()), logical(area.top(), device.top())),
                QPoint(logical(area.right() + 1, device.left()) - 1,
                    logical(area.bottom() + 1, device.top()) - 1));
        monitors.push_back(m);
    }
    return monitors;
}

} // namespace quorvane
