#pragma once

#include <QString>

#include <xcb/xcb.h>

namespace quorvane {

// The running window manager's name as it publishes it (_NET_WM_NAME on the window named by the
// root's _NET_SUPPORTING_WM_CHECK); empty when none says, or when the check window is a stale
// one left behind by a window manager that has gone.
QString WindowManagerName(xcb_connection_t *c, xcb_window_t root);

// Whether that name is the X11 window manager a wlroots compositor runs for XWayland: one that
// manages every window it may and publishes no work area, so the bar places itself.
bool IsWlrootsWindowManager(const QString &name);

} // namespace quorvane
