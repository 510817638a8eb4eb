#include "BarPlacement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quorvane {

namespace {

// How far apart two spans are along one axis; 0 when they meet or overlap.
int64_t Gap(int64_t a0, int64_t a1, int64_t b0, int64_t b1)
{
    return std::max<int64_t>({0, b0 - a1, a0 - b1});
}

int64_t Distance(const QRect &a, const QRect &b)
{
    const int64_t dx = Gap(a.left(), a.right(), b.left(), b.right());
    const int64_t dy = Gap(a.top(), a.bottom(), b.top(), b.bottom());
    return dx * dx + dy * dy;
}

QRect WorkAreaOf(const TMonitor &m)
{
    // A desktop that reserves all of a monitor leaves the bar the monitor itself.
    return m.WorkArea.isValid() && m.Geometry.intersects(m.WorkArea) ? m.WorkArea & m.Geometry
                                                                     : m.Geometry;
}

} // namespace

int BarMonitor(const TMonitors &monitors, const QRect &bar)
{
    // The centre in doubled coordinates, so a bar of even width has one.
    const int64_t cx = int64_t(bar.left()) + bar.right() + 1;
    const int64_t cy = int64_t(bar.top()) + bar.bottom() + 1;
    auto holdsColumn = [cx](const QRect &g) {
        return cx >= 2 * int64_t(g.left()) && cx < 2 * (int64_t(g.right()) + 1);
    };
    auto holdsRow = [cy](const QRect &g) {
        return cy >= 2 * int64_t(g.top()) && cy < 2 * (int64_t(g.bottom()) + 1);
    };
    int best = -1;
    int64_t nearest = std::numeric_limits<int64_t>::max();
    bool inColumns = false;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const QRect &g = monitors[i].Geometry;
        if (holdsColumn(g) && holdsRow(g))
            return static_cast<int>(i);
        const bool column = holdsColumn(g);
        const int64_t d = Distance(g, bar);
        if ((column && !inColumns) || (column == inColumns && d < nearest)) {
            best = static_cast<int>(i);
            nearest = d;
            inColumns = column;
        }
    }
    return best;
}

int BarTop(const TMonitors &monitors, const QRect &bar)
{
    const int i = BarMonitor(monitors, bar);
    return i < 0 ? bar.top() : WorkAreaOf(monitors[size_t(i)]).top();
}

QPoint DragPlace(const TMonitors &monitors, const QRect &bar, int left, QPoint pointer)
{
    for (const TMonitor &m : monitors) {
        if (!m.Geometry.contains(pointer))
            continue;
        // Its centre taken onto that monitor too, so the bar is on it by the rule that holds
        // once the drag ends.
        const int half = bar.width() / 2;
        return {std::clamp(left, m.Geometry.left() - half, m.Geometry.right() - half),
            WorkAreaOf(m).top()};
    }
    return {left, BarTop(monitors, QRect(QPoint(left, bar.top()), bar.size()))};
}

QRect KeepOnScreen(const TMonitors &monitors, const QRect &bar, const TBarLimits &limits)
{
    QSize size(std::clamp(bar.width(), limits.Min.width(), limits.Max.width()),
        std::clamp(bar.height(), limits.Min.height(), limits.Max.height()));
    const int i = BarMonitor(monitors, QRect(bar.topLeft(), size));
    if (i < 0)
        return QRect(bar.topLeft(), size);
    const TMonitor &m = monitors[size_t(i)];
    size.setWidth(std::min(size.width(), m.Geometry.width()));
    const QRect area = WorkAreaOf(m);
    QRect placed(QPoint(bar.left(), area.top()), size);
    if (m.Geometry.contains(placed))
        return placed;
    // Clear of a panel at the side where the bar fits beside it.
    const QRect columns = area.width() >= size.width() ? area : m.Geometry;
    placed.moveLeft(std::clamp(bar.left(), columns.left(), columns.right() + 1 - size.width()));
    return placed;
}

} // namespace quorvane
