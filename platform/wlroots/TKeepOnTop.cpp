#include "TKeepOnTop.h"

#include "X11Window.h"

#include <QGuiApplication>
#include <QWidget>
#include <xcb/xcb.h>

#include <cstdlib>

namespace quorvane {

TKeepOnTop::TKeepOnTop(QWidget *window)
    : FWindow(window)
{
    xcb_connection_t *c = X11Connection();
    if (!c)
        return;
    // Other windows' raises and mappings arrive as notes about the root's children.
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    const xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(c, root);
    if (xcb_get_window_attributes_reply_t *reply
        = xcb_get_window_attributes_reply(c, cookie, nullptr)) {
        mask |= reply->your_event_mask;
        std::free(reply);
    }
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    qGuiApp->installNativeEventFilter(this);
    FWatching = true;
}

TKeepOnTop::~TKeepOnTop()
{
    if (FWatching && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool TKeepOnTop::nativeEventFilter(const QByteArray &type, void *message, qintptr *)
{
    if (type != "xcb_generic_event_t" || !FWindow || !FWindow->isVisible())
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const auto own = static_cast<xcb_window_t>(FWindow->winId());
    switch (event->response_type & 0x7F) {
    case XCB_CONFIGURE_NOTIFY: {
        // Raised straight above this window; moves and resizes of others need nothing.
        const auto *e = static_cast<const xcb_configure_notify_event_t *>(message);
        if (e->above_sibling == own && !e->override_redirect)
            Raise();
        break;
    }
    case XCB_MAP_NOTIFY:
        // A window mapped goes on top. Unmanaged ones are menus and the like, this window's
        // own among them: raising over those would bury them.
        if (!static_cast<const xcb_map_notify_event_t *>(message)->override_redirect)
            Raise();
        break;
    default:
        break;
    }
    return false;
}

void TKeepOnTop::Raise()
{
    xcb_connection_t *c = X11Connection();
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(
        c, static_cast<xcb_window_t>(FWindow->winId()), XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c);
}

} // namespace quorvane
