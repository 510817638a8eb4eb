#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class QWidget;
struct xcb_connection_t;

namespace quorvane {

// Keeps a top-level window off the taskbar and the pager, and on every workspace. Must run
// before the window is first shown; does nothing off X11.
void SkipTaskbar(QWidget *window);

// Keeps the toolkit's idea of where the window is the X server's: a window manager that puts
// the window in its frame after the toolkit asked where it was, and never says where the frame
// went, leaves the toolkit a stale position (menus at the screen's corner, moves sideways from
// there). Does nothing off X11.
void TrackTruePosition(QWidget *window);

// Runs gone, from the event loop, when another client destroys the window behind the toolkit's
// back: no close request ever reaches it then. Does nothing off X11.
void WatchDestroyedFromOutside(QWidget *window, std::function<void()> gone);

// Sends what the toolkit has queued for the X server now; does nothing off X11.
void FlushWindowSystem();

// The toolkit's connection to the X server; null off X11.
xcb_connection_t *X11Connection();
uint32_t X11Atom(xcb_connection_t *c, const char *name);
// A property of 32-bit values of any type (cardinals, windows); empty where there is none or
// the window is gone.
std::vector<uint32_t> X11Values(xcb_connection_t *c, uint32_t window, uint32_t property);

} // namespace quorvane
