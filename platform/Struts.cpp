#include "Struts.h"

#include <algorithm>

namespace quorvane {

namespace {

int Int(uint32_t v)
{
    return static_cast<int>(std::min<uint32_t>(v, 1u << 24));
}

QRect Span(int x0, int y0, uint32_t x1, uint32_t y1)
{
    return QRect(QPoint(x0, y0), QPoint(Int(x1), Int(y1)));
}

} // namespace

TStrut WholeEdgeStrut(uint32_t left, uint32_t right, uint32_t top, uint32_t bottom, QSize screen)
{
    const uint32_t w = static_cast<uint32_t>(std::max(screen.width(), 1)) - 1;
    const uint32_t h = static_cast<uint32_t>(std::max(screen.height(), 1)) - 1;
    return {left, right, top, bottom, 0, h, 0, h, 0, w, 0, w};
}

QRect WorkAreaFromStruts(const QRect &monitor, QSize screen, const std::vector<TStrut> &struts)
{
    QRect area = monitor;
    const int w = screen.width(), h = screen.height();
    for (const TStrut &s : struts) {
        const QRect left = s[0] ? Span(0, Int(s[4]), s[0] - 1, s[5]) : QRect();
        const QRect right = s[1] ? Span(w - Int(s[1]), Int(s[6]), uint32_t(w - 1), s[7]) : QRect();
        const QRect top = s[2] ? Span(Int(s[8]), 0, s[9], s[2] - 1) : QRect();
        const QRect bottom
            = s[3] ? Span(Int(s[10]), h - Int(s[3]), s[11], uint32_t(h - 1)) : QRect();
        const QRect l = left & monitor, r = right & monitor, t = top & monitor,
                    b = bottom & monitor;
        if (!l.isEmpty() && l.width() < monitor.width())
            area.setLeft(std::max(area.left(), l.right() + 1));
        if (!r.isEmpty() && r.width() < monitor.width())
            area.setRight(std::min(area.right(), r.left() - 1));
        if (!t.isEmpty() && t.height() < monitor.height())
            area.setTop(std::max(area.top(), t.bottom() + 1));
        if (!b.isEmpty() && b.height() < monitor.height())
            area.setBottom(std::min(area.bottom(), b.top() - 1));
    }
    return area;
}

} // namespace quorvane
