#pragma once

class QWidget;

namespace quorvane {

// Keeps a top-level window off the taskbar and the pager. Must run before the window is first
// shown; does nothing off X11.
void SkipTaskbar(QWidget *window);

// Sends what the toolkit has queued for the X server now; does nothing off X11.
void FlushWindowSystem();

} // namespace quorvane
