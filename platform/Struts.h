#pragma once

#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <vector>

namespace quorvane {

// The edges a panel or dock reserves, as it states them: widths from the screen's own edges,
// each over a span of rows or columns (left, right, top, bottom, then the start and end of
// each span), in device pixels.
using TStrut = std::array<uint32_t, 12>;

// A reservation stated without spans holds along the whole edge.
TStrut WholeEdgeStrut(uint32_t left, uint32_t right, uint32_t top, uint32_t bottom, QSize screen);

// What of `monitor` no reservation covers. A reservation reaching over a whole monitor is a
// panel on an inner edge of the desk, between monitors, and leaves the monitor it covers alone.
QRect WorkAreaFromStruts(const QRect &monitor, QSize screen, const std::vector<TStrut> &struts);

} // namespace quorvane
