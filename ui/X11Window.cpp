#include "X11Window.h"

#include <QGuiApplication>
#include <QWidget>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace quorvane {

namespace {

xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    const xcb_intern_atom_cookie_t cookie
        = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_connection_t *Connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

void FlushWindowSystem()
{
    if (xcb_connection_t *c = Connection())
        xcb_flush(c);
}

void SkipTaskbar(QWidget *window)
{
    xcb_connection_t *c = Connection();
    if (!c)
        return;
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = Atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> atoms;
    // Keep what is there; the toolkit adds its own states (above, on top) when it maps.
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr)) {
        const auto *v = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        atoms.assign(v, v + xcb_get_property_value_length(reply) / 4);
        std::free(reply);
    }
    for (const char *name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        atoms.push_back(Atom(c, name));
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
        static_cast<uint32_t>(atoms.size()), atoms.data());
    xcb_flush(c);
}

} // namespace quorvane
