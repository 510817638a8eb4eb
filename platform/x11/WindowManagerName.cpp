#include "WindowManagerName.h"

#include <cstdlib>
#include <cstring>

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

xcb_window_t CheckWindow(xcb_connection_t *c, xcb_window_t window, xcb_atom_t check)
{
    xcb_window_t found = XCB_WINDOW_NONE;
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(c, 0, window, check, XCB_ATOM_WINDOW, 0, 1);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr)) {
        if (reply->format == 32 && xcb_get_property_value_length(reply) == 4)
            std::memcpy(&found, xcb_get_property_value(reply), 4);
        std::free(reply);
    }
    return found;
}

} // namespace

QString WindowManagerName(xcb_connection_t *c, xcb_window_t root)
{
    if (!c)
        return {};
    const xcb_atom_t check = Atom(c, "_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t child = CheckWindow(c, root, check);
    // A live window manager's check window names itself; a gone one's id may be reused.
    if (child == XCB_WINDOW_NONE || CheckWindow(c, child, check) != child)
        return {};
    QString name;
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(c, 0, child, Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"), 0, 256);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(c, cookie, nullptr)) {
        if (reply->format == 8)
            name = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(reply)),
                xcb_get_property_value_length(reply));
        std::free(reply);
    }
    return name;
}

bool IsWlrootsWindowManager(const QString &name)
{
    return name == QLatin1String("wlroots wm");
}

} // namespace quorvane
