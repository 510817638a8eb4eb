#include "X11Window.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace quorvane {

namespace {

const uint32_t EveryDesktop = 0xFFFFFFFF;

} // namespace

uint32_t X11Atom(xcb_connection_t *c, const char *name)
{
    const xcb_intern_atom_cookie_t cookie
        = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_connection_t *X11Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::vector<uint32_t> X11Values(xcb_connection_t *c, uint32_t window, uint32_t property)
{
    std::vector<uint32_t> values;
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096);
    xcb_generic_error_t *error = nullptr;
    // A panel can go between the listing of windows and this question: its error is no news.
    xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, &error);
    std::free(error);
    if (reply) {
        if (reply->format == 32) {
            const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(reply));
            values.assign(v, v + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    return values;
}

void FlushWindowSystem()
{
    if (xcb_connection_t *c = X11Connection())
        xcb_flush(c);
}

void SkipTaskbar(QWidget *window)
{
    xcb_connection_t *c = X11Connection();
    if (!c)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = X11Atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> atoms;
    // Keep what is there; the toolkit adds its own states (above, on top) when it maps.
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr)) {
        const auto *v = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        atoms.assign(v, v + xcb_get_property_value_length(reply) / 4);
        std::free(reply);
    }
    for (const char *name :
        {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_STICKY"})
        atoms.push_back(X11Atom(c, name));
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
        static_cast<uint32_t>(atoms.size()), atoms.data());
    // Every workspace from the first showing: window managers read this only when they map.
    const uint32_t everyDesktop = 0xFFFFFFFF;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, X11Atom(c, "_NET_WM_DESKTOP"),
        XCB_ATOM_CARDINAL, 32, 1, &everyDesktop);
    xcb_flush(c);
}

namespace {

// Asks the window manager to keep a mapped window on every workspace, as it must be asked once
// it manages the window: some (KWin) put a dock on the current workspace whatever the window
// said before its mapping.
void AskForEveryDesktop(xcb_connection_t *c, xcb_window_t id)
{
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = X11Atom(c, "_NET_WM_DESKTOP");
    message.data.data32[0] = EveryDesktop;
    message.data.data32[1] = 2; // from a pager or the like: the user's own wish
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_send_event(c, 0, root,
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
        reinterpret_cast<const char *>(&message));
    xcb_flush(c);
}

class TPositionWatch : public QAbstractNativeEventFilter
{
public:
    explicit TPositionWatch(QWidget *window)
        : FWindow(window)
    { }
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        // The frame is in place by the time the window manager maps the window in it.
        if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY
            || static_cast<const xcb_map_notify_event_t *>(message)->window
                != static_cast<xcb_window_t>(FWindow->winId()))
            return false;
        QPointer<QWidget> window(FWindow);
        // After the toolkit has handled the map itself. The widget keeps the place it asked
        // for; asking for it again has the window manager confirm it to the stale handle.
        QTimer::singleShot(0, FWindow, [window] {
            QWindow *handle = window ? window->windowHandle() : nullptr;
            if (handle && handle->position() != window->pos())
                handle->setPosition(window->pos());
            if (xcb_connection_t *c = window ? X11Connection() : nullptr)
                AskForEveryDesktop(c, static_cast<xcb_window_t>(window->winId()));
        });
        return false;
    }

private:
    QWidget *FWindow;
};

class TDestroyWatch : public QAbstractNativeEventFilter
{
public:
    TDestroyWatch(QWidget *window, std::function<void()> gone)
        : FWindow(window)
        , FGone(std::move(gone))
    { }
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        // The toolkit destroys a window of its own only with the widget, or to make it anew
        // under another id; either way the widget no longer holds the destroyed id.
        if ((event->response_type & 0x7F) == XCB_DESTROY_NOTIFY
            && static_cast<const xcb_destroy_notify_event_t *>(message)->window
                == static_cast<xcb_window_t>(FWindow->internalWinId()))
            // Once the toolkit is done with the event.
            QTimer::singleShot(0, FWindow, FGone);
        return false;
    }

private:
    QWidget *FWindow;
    std::function<void()> FGone;
};

template<class Watch> void WatchWhileAlive(QWidget *window, Watch *watch)
{
    qGuiApp->installNativeEventFilter(watch);
    QObject::connect(window, &QObject::destroyed, qGuiApp, [watch] {
        qGuiApp->removeNativeEventFilter(watch);
        delete watch;
    });
}

} // namespace

void TrackTruePosition(QWidget *window)
{
    if (!X11Connection())
        return;
    WatchWhileAlive(window, new TPositionWatch(window));
}

void WatchDestroyedFromOutside(QWidget *window, std::function<void()> gone)
{
    if (X11Connection())
        WatchWhileAlive(window, new TDestroyWatch(window, std::move(gone)));
}

} // namespace quorvane
