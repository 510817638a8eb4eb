#include "BarPlacement.h"
#include "PlasmaPanels.h"
#include "Struts.h"
#include "TSwayIpc.h"

#include <gtest/gtest.h>

#include <optional>

using namespace quorvane;

QT_BEGIN_NAMESPACE
void PrintTo(const QRect &r, std::ostream *os)
{
    *os << r.width() << "x" << r.height() << "+" << r.x() << "+" << r.y();
}
QT_END_NAMESPACE

namespace {

const TBarLimits Grip {{200, 34}, {500, 100}};

// A monitor at scale 1 whose work area is what the panels' reserved edges leave of it.
struct Desk
{
    std::vector<QRect> monitors; // the primary first
    QSize screen;
    std::vector<TStrut> struts;

    TMonitors Monitors() const
    {
        TMonitors out;
        for (const QRect &g : monitors)
            out.push_back({g, WorkAreaFromStruts(g, screen, struts), 1, QString()});
        return out;
    }
};

// An XFCE-like top panel of 27 rows over the columns x0..x1, on the monitor whose top is y0.
TStrut TopPanel(int y0, uint32_t x0, uint32_t x1)
{
    return {0, 0, uint32_t(y0 + 27), 0, 0, 0, 0, 0, x0, x1, 0, 0};
}

const Desk SideBySide {
    {{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}}, {3840, 1080}, {TopPanel(0, 0, 1919)}};
const Desk TallBesideShort {
    {{1920, 360, 1920, 1080}, {0, 0, 1920, 1440}}, {3840, 1440}, {TopPanel(360, 1920, 3839)}};
const Desk Stacked {
    {{0, 1080, 1920, 1080}, {0, 0, 1920, 1080}}, {1920, 2160}, {TopPanel(1080, 0, 1919)}};
const Desk StackedPanelOnEach {{{0, 1080, 1920, 1080}, {0, 0, 1920, 1080}}, {1920, 2160},
    {TopPanel(1080, 0, 1919), TopPanel(0, 0, 1919)}};
const Desk LeftPanel {{{0, 0, 1920, 1080}}, {1920, 1080}, {{48, 0, 0, 0, 0, 1079}}};
const Desk BottomPanel {{{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}}, {3840, 1080},
    {{0, 0, 0, 44, 0, 0, 0, 0, 0, 0, 1920, 3839}}};
const Desk EdgeOnly {{{0, 0, 1920, 1080}, {1920, 0, 1920, 1080}}, {3840, 1080},
    {WholeEdgeStrut(0, 0, 27, 0, {3840, 1080})}};
const Desk Undocked {{{0, 0, 1920, 1080}}, {1920, 1080}, {TopPanel(0, 0, 1919)}};
const Desk Narrow {{{0, 0, 400, 300}}, {400, 300}, {}};

// The primary at scale 1 below its panel, the second at scale 2: the toolkit keeps its top-left
// in device pixels and halves its size.
const TMonitors Scale2 {{{0, 0, 1920, 1080}, {0, 27, 1920, 1053}, 1, "A"},
    {{1920, 0, 960, 540}, {1920, 0, 960, 540}, 2, "B"}};

// Two outputs as sway's IPC tells them: swaybar's 23 rows on the first only, the workspace shown
// there listed before one hidden on the same output, which covers the whole output.
TMonitors SwayMonitors()
{
    const QByteArray outputs = R"([
        {"name": "A", "active": true, "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}},
        {"name": "B", "active": true, "rect": {"x": 1920, "y": 0, "width": 1920, "height": 1080}},
        {"name": "C", "active": false, "rect": {"x": 3840, "y": 0, "width": 1920, "height": 1080}}])";
    const QByteArray workspaces = R"([
        {"output": "A", "visible": true, "rect": {"x": 0, "y": 23, "width": 1920, "height": 1057}},
        {"output": "B", "visible": true, "rect": {"x": 1920, "y": 0, "width": 1920, "height": 1080}},
        {"output": "A", "visible": false, "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}}])";
    TMonitors out;
    for (const TSwayOutput &o : TSwayIpc::ParseOutputs(outputs, workspaces))
        out.push_back({o.Rect, o.Usable, 1, o.Name});
    return out;
}

// Two outputs under KWin on Wayland as Plasma's shell tells its panels, beside KWin's one work
// area; where the answer does not account for that, the work area as before.
TMonitors PlasmaMonitors(const char *answer, const QRect &workArea)
{
    const QSize screen(3840, 1080);
    const auto struts = TPlasmaPanels::Struts(answer, screen, workArea);
    TMonitors out;
    for (const QRect &g : {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1920, 1080)})
        out.push_back(
            {g, struts ? WorkAreaFromStruts(g, screen, *struts) : workArea & g, 1, QString()});
    return out;
}

const char *const PlasmaTopPanel
    = R"([{"location": "top", "height": 44, "hiding": "none", "screen": [0, 0, 1920, 1080]},
        {"location": "top", "height": 30, "hiding": "autohide", "screen": [1920, 0, 1920, 1080]}])";

enum class Rule { Keep, Drag, Top };

struct Row
{
    const char *what;
    TMonitors monitors;
    Rule rule;
    QRect bar; // for Drag, already moved sideways; for Top, what shows of it
    QRect expected; // for Top, only its top counts
    std::optional<QPoint> pointer = std::nullopt;
};

} // namespace

TEST(BarPlacement, EveryMonitorAtItsOwnTopAndNeverLost)
{
    const Row rows[] = {
        {"side by side, a panel on the primary only: the other monitor's top is its own",
            SideBySide.Monitors(), Rule::Keep, {2600, 27, 240, 34}, {2600, 0, 240, 34}},
        {"side by side: below the panel on the primary", SideBySide.Monitors(), Rule::Keep,
            {1280, 0, 240, 34}, {1280, 27, 240, 34}},
        {"tall beside short: the tall one's top, not the panel's row beside it",
            TallBesideShort.Monitors(), Rule::Keep, {600, 387, 240, 34}, {600, 0, 240, 34}},
        {"tall beside short: a bar above the short one's top belongs to it",
            TallBesideShort.Monitors(), Rule::Keep, {2600, 0, 240, 34}, {2600, 387, 240, 34}},
        {"tall beside short: just beside the tall one, over the short one's columns",
            TallBesideShort.Monitors(), Rule::Keep, {1930, 0, 240, 34}, {1930, 387, 240, 34}},
        {"stacked: closed on the lower monitor, back on it", Stacked.Monitors(), Rule::Keep,
            {600, 1107, 240, 34}, {600, 1107, 240, 34}},
        {"stacked: a panel's edge reaching over the upper monitor leaves it alone",
            Stacked.Monitors(), Rule::Keep, {600, 0, 240, 34}, {600, 0, 240, 34}},
        {"stacked, a panel on each: the upper keeps to its own", StackedPanelOnEach.Monitors(),
            Rule::Keep, {600, 0, 240, 34}, {600, 27, 240, 34}},
        {"a panel on the left edge leaves the top alone", LeftPanel.Monitors(), Rule::Keep,
            {1280, 0, 240, 34}, {1280, 0, 240, 34}},
        {"a panel on the left edge: a bar off the left comes back beside it", LeftPanel.Monitors(),
            Rule::Keep, {-100, 0, 240, 34}, {48, 0, 240, 34}},
        {"a panel at the bottom leaves the top alone", BottomPanel.Monitors(), Rule::Keep,
            {2600, 0, 240, 34}, {2600, 0, 240, 34}},
        {"a panel stating only its edge holds over the whole edge", EdgeOnly.Monitors(), Rule::Keep,
            {2600, 0, 240, 34}, {2600, 27, 240, 34}},
        {"a monitor gone: onto the nearest, wholly", Undocked.Monitors(), Rule::Keep,
            {2600, 0, 240, 34}, {1680, 27, 240, 34}},
        {"half on each monitor: onto the one holding the centre", SideBySide.Monitors(), Rule::Keep,
            {1800, 0, 240, 34}, {1920, 0, 240, 34}},
        {"a little more on the first: onto the first", SideBySide.Monitors(), Rule::Keep,
            {1799, 0, 240, 34}, {1680, 27, 240, 34}},
        {"a saved left far off screen to the right", SideBySide.Monitors(), Rule::Keep,
            {5120, 27, 240, 34}, {3600, 0, 240, 34}},
        {"a saved left far off screen to the left", SideBySide.Monitors(), Rule::Keep,
            {-(1 << 24), 0, 240, 34}, {0, 27, 240, 34}},
        {"a saved top far below", Stacked.Monitors(), Rule::Keep, {600, 1 << 24, 240, 34},
            {600, 1107, 240, 34}},
        {"a saved size below the grip's", SideBySide.Monitors(), Rule::Keep, {100, 0, 50, 20},
            {100, 27, 200, 34}},
        {"a saved size above the grip's", SideBySide.Monitors(), Rule::Keep, {1400, 0, 9999, 999},
            {1400, 27, 500, 100}},
        {"wider than the monitor", Narrow.Monitors(), Rule::Keep, {0, 0, 500, 100},
            {0, 0, 400, 100}},
        {"scale 2: on the second monitor, clear of its right edge", Scale2, Rule::Keep,
            {2800, 0, 240, 34}, {2640, 0, 240, 34}},
        {"scale 2: the primary keeps its panel", Scale2, Rule::Keep, {1000, 0, 240, 34},
            {1000, 27, 240, 34}},
        {"sway: below swaybar, by the rectangle of the workspace shown", SwayMonitors(), Rule::Keep,
            {1280, 0, 240, 34}, {1280, 23, 240, 34}},
        {"sway: an output without swaybar, and none for a disabled one", SwayMonitors(), Rule::Keep,
            {5000, 23, 240, 34}, {3600, 0, 240, 34}},
        {"KDE on Wayland: Plasma's panel on the first output only, one that hides on the second",
            PlasmaMonitors(PlasmaTopPanel, {0, 44, 3840, 1036}), Rule::Keep, {2600, 44, 240, 34},
            {2600, 0, 240, 34}},
        {"KDE on Wayland: a stale answer, the panel still at the bottom, keeps below the top one",
            PlasmaMonitors(R"([{"location": "bottom", "height": 44, "hiding": "none",
                "screen": [0, 0, 1920, 1080]}])",
                {0, 44, 3840, 1036}),
            Rule::Keep, {2600, 0, 240, 34}, {2600, 44, 240, 34}},
        {"no monitor at all: the size clamped, the place kept", {}, Rule::Keep, {-50, 7, 20, 20},
            {-50, 7, 200, 34}},
        {"a drag onto the monitor beside", SideBySide.Monitors(), Rule::Drag, {1900, 27, 240, 34},
            {1900, 0, 240, 34}, QPoint(1950, 40)},
        {"a drag onto the monitor beside, the bar's centre still behind: taken along",
            SideBySide.Monitors(), Rule::Drag, {1700, 27, 240, 34}, {1800, 0, 240, 34},
            QPoint(1925, 40)},
        {"a drag back, the pointer on the first monitor again", SideBySide.Monitors(), Rule::Drag,
            {1900, 0, 240, 34}, {1799, 27, 240, 34}, QPoint(1910, 40)},
        {"a drag down onto the lower monitor", Stacked.Monitors(), Rule::Drag, {600, 0, 240, 34},
            {600, 1107, 240, 34}, QPoint(700, 1300)},
        {"a drag up onto the upper monitor", Stacked.Monitors(), Rule::Drag, {600, 1107, 240, 34},
            {600, 0, 240, 34}, QPoint(700, 500)},
        {"a drag onto the short monitor beside the tall one", TallBesideShort.Monitors(),
            Rule::Drag, {1900, 0, 240, 34}, {1900, 387, 240, 34}, QPoint(2000, 800)},
        {"a drag with the pointer over no monitor keeps to the bar's own",
            TallBesideShort.Monitors(), Rule::Drag, {1500, 0, 240, 34}, {1500, 0, 240, 34},
            QPoint(2000, 100)},
        {"a drag onto the scale-2 monitor", Scale2, Rule::Drag, {1900, 27, 240, 34},
            {1900, 0, 240, 34}, QPoint(1930, 10)},
        {"retracted on the lower monitor: its strip tells", Stacked.Monitors(), Rule::Top,
            {600, 1107, 240, 4}, {0, 1107, 0, 0}},
        {"retracted on the short monitor: its strip lies on no other", TallBesideShort.Monitors(),
            Rule::Top, {2600, 387, 240, 4}, {0, 387, 0, 0}},
    };
    for (const Row &r : rows) {
        switch (r.rule) {
        case Rule::Keep:
            EXPECT_EQ(KeepOnScreen(r.monitors, r.bar, Grip), r.expected) << r.what;
            break;
        case Rule::Drag:
            EXPECT_EQ(QRect(DragPlace(r.monitors, r.bar, r.bar.left(), *r.pointer), r.bar.size()),
                r.expected)
                << r.what;
            break;
        case Rule::Top:
            EXPECT_EQ(BarTop(r.monitors, r.bar), r.expected.top()) << r.what;
            break;
        }
    }
}
