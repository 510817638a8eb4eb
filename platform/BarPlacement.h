#pragma once

#include "Desktop.h"

#include <QPoint>
#include <QRect>
#include <QSize>

namespace quorvane {

// Where the bar goes on the desk: plain rectangles in, plain rectangles out.

// The smallest and largest bar the grip leaves.
struct TBarLimits
{
    QSize Min, Max;
};

// The monitor the bar is on: the one holding the bar's centre; else, of those whose columns
// hold the centre, the nearest to the bar; else the nearest of all. -1 when there is none.
// `bar` is what shows of the bar: a retracted bar is its strip.
int BarMonitor(const TMonitors &monitors, const QRect &bar);

// The top of the work area of the bar's monitor; the bar's own top when there is no monitor.
int BarTop(const TMonitors &monitors, const QRect &bar);

// Where a drag step puts the bar now at `bar` whose left the pointer's movement took to
// `left`: sideways, at the top of the work area of the monitor under the pointer, its centre
// on that monitor; or of the bar's own monitor while the pointer is on none.
QPoint DragPlace(const TMonitors &monitors, const QRect &bar, int left, QPoint pointer);

// The bar as it must lie at a start or after the monitors changed: its size as a resize
// would leave it, no wider than its monitor, at the top of that monitor's work area; when it
// would not lie wholly on that monitor, on the nearest, its left edge moved so all of it shows.
QRect KeepOnScreen(const TMonitors &monitors, const QRect &bar, const TBarLimits &limits);

} // namespace quorvane
