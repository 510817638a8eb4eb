#include "WindowManagerName.h"

#include "X11Window.h"

#include <cstdlib>

namespace quorvane {

QString WindowManagerName(xcb_connection_t *c, xcb_window_t root)
{
    if (!c)
        return {};
    const uint32_t check = X11Atom(c, "_NET_SUPPORTING_WM_CHECK");
    const std::vector<uint32_t> child = X11Values(c, root, check);
    // A live window manager's check window names itself; a gone one's id may be reused.
    if (child.size() != 1 || X11Values(c, child[0], check) != child)
        return {};
    QString name;
    const xcb_get_property_cookie_t cookie = xcb_get_property(
        c, 0, child[0], X11Atom(c, "_NET_WM_NAME"), X11Atom(c, "UTF8_STRING"), 0, 256);
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
