#include "MainLayout.h"
#include "TBaseMainForm.h"
#include "platform/FakeDesktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace quorvane;

namespace {

struct Bar : TBaseMainForm
{
    explicit Bar(IDesktop *desktop = nullptr)
        : TBaseMainForm(desktop)
    {
        setGeometry(300, 0, 240, 34);
        show();
    }
    void PlacementEnded() override { ++placements; }
    int placements = 0;
};

std::vector<int> FadeSteps(Bar &bar, int count)
{
    std::vector<int> seen;
    for (int i = 0; i < count && bar.FadeRunning(); ++i) {
        bar.Timer2Timer();
        seen.push_back(bar.Opacity());
    }
    return seen;
}

} // namespace

TEST(BaseWindow, DragsByAnyPointAndOnlyWithTheLeftButton)
{
    Bar bar;
    bar.FormMouseDown(Qt::RightButton, Qt::NoModifier, 5, 5);
    EXPECT_FALSE(bar.Dragging());
    bar.FormMouseDown(Qt::MiddleButton, Qt::ControlModifier, 5, 5);
    EXPECT_TRUE(bar.AlphaBlend()) << "Ctrl with another button toggles nothing";
    bar.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 5, 5);
    EXPECT_TRUE(bar.Dragging());
    bar.FormMouseMove(Qt::LeftButton, 25, 15);
    EXPECT_EQ(bar.pos(), QPoint(320, 10));
    // Coordinates are the window's, which moved with the drag.
    bar.FormMouseMove(Qt::LeftButton, 5, 5);
    EXPECT_EQ(bar.pos(), QPoint(320, 10));
    // A move without the button ends a drag whose release was lost, without moving.
    bar.FormMouseMove(Qt::NoButton, 50, 5);
    EXPECT_FALSE(bar.Dragging());
    EXPECT_EQ(bar.pos(), QPoint(320, 10));
    bar.FormMouseDown(Qt::LeftButton, Qt::ControlModifier, 5, 5);
    EXPECT_FALSE(bar.AlphaBlend());
    EXPECT_TRUE(bar.Dragging());
    // The drag goes by the pointer's screen position and its own account of where it put the
    // window, so a window manager's late report of an earlier step loses no movement.
    bar.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 0, 0, QPoint(500, 10));
    bar.FormMouseMove(Qt::LeftButton, 0, 0, QPoint(490, 13));
    bar.move(320, 10); // the report of where the window was before that step
    bar.FormMouseMove(Qt::LeftButton, 0, 0, QPoint(480, 16));
    EXPECT_EQ(bar.pos(), QPoint(300, 16));
}

TEST(BaseWindow, GripResizesWithinTheLimits)
{
    struct Row
    {
        int x, y;
        bool grip;
    };
    Bar bar;
    for (const Row &r : {Row {230, 24, true}, Row {239, 33, true}, Row {229, 33, false},
             Row {239, 23, false}, Row {5, 5, false}}) {
        bar.FormMouseMove(Qt::NoButton, r.x, r.y);
        EXPECT_EQ(bar.cursor().shape(), r.grip ? Qt::SizeFDiagCursor : Qt::ArrowCursor)
            << r.x << "," << r.y;
    }
    bar.FormMouseMove(Qt::NoButton, 235, 30);
    bar.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 235, 30);
    bar.FormMouseMove(Qt::LeftButton, 2000, 2000);
    EXPECT_EQ(bar.size(), QSize(500, 100));
    EXPECT_EQ(bar.pos(), QPoint(300, 0));
    bar.FormMouseMove(Qt::LeftButton, -3000, -3000);
    EXPECT_EQ(bar.size(), QSize(200, 34));
    // Width and height are limited independently; moving back acts at once.
    bar.FormMouseMove(Qt::LeftButton, -3000 + 50, -3000 + 3);
    EXPECT_EQ(bar.size(), QSize(250, 37));
}

TEST(BaseWindow, APlacementEndsWithTheDragOrResizeThatMadeIt)
{
    // Pointer steps at x,y in the window: d press, m move with the button, n move without it
    // (a release that was lost), u release.
    const std::pair<const char *, int> rows[] = {{"d50,10 u", 0}, {"d50,10 m50,10 u", 0},
        {"d50,10 m80,10 m90,12 u", 1}, {"d50,10 m80,10 n60,10", 1},
        {"d50,10 m80,10 u n60,10 n70,10", 1}, {"n235,30 d235,30 m250,40 u", 1},
        {"n235,30 d235,30 m235,20 u", 0}, {"d50,10 m60,10 u d50,10 m40,10 u", 2}};
    for (const auto &[gesture, placements] : rows) {
        Bar bar;
        std::istringstream steps(gesture);
        for (std::string s; steps >> s;) {
            const int x = std::atoi(s.c_str() + 1), y = std::atoi(s.c_str() + s.find(',') + 1);
            if (s[0] == 'd')
                bar.FormMouseDown(Qt::LeftButton, Qt::NoModifier, x, y);
            else if (s[0] == 'u')
                bar.FormMouseUp();
            else
                bar.FormMouseMove(s[0] == 'm' ? Qt::LeftButton : Qt::NoButton, x, y);
        }
        EXPECT_EQ(bar.placements, placements) << gesture;
    }
}

TEST(BaseWindow, FadesInStepsOfTwentyAndSleepsAtItsTarget)
{
    Bar bar;
    bar.SetPointerInside(false);
    EXPECT_EQ(bar.Opacity(), 80);
    EXPECT_FALSE(bar.FadeRunning()) << "80 is below the floor of 120: nothing to do";
    bar.SetPointerInside(true);
    EXPECT_EQ(FadeSteps(bar, 20), (std::vector<int> {100, 120, 140, 160, 180, 200, 220}));
    EXPECT_FALSE(bar.FadeRunning());
    bar.SetFadeMin(155);
    bar.SetPointerInside(false);
    EXPECT_EQ(FadeSteps(bar, 20), (std::vector<int> {200, 180, 160, 155}));
    EXPECT_FALSE(bar.FadeRunning());
    // A floor above the ceiling: once up, the opacity never falls.
    bar.SetFadeMin(255);
    bar.SetPointerInside(true);
    EXPECT_EQ(FadeSteps(bar, 20), (std::vector<int> {175, 195, 215, 220}));
    bar.SetPointerInside(false);
    EXPECT_TRUE(FadeSteps(bar, 20).empty());
    EXPECT_EQ(bar.Opacity(), 220);
}

TEST(BaseWindow, OpacityReachesThePlatformOnlyWhenItChanges)
{
    Bar bar;
    const int start = bar.OpacityApplications();
    bar.SetPointerInside(true);
    FadeSteps(bar, 20);
    EXPECT_EQ(bar.OpacityApplications() - start, 7);
    bar.Timer2Timer();
    bar.SetFadeMin(120);
    EXPECT_EQ(bar.OpacityApplications() - start, 7);
    bar.FormMouseDown(Qt::LeftButton, Qt::ControlModifier, 1, 1);
    EXPECT_EQ(bar.windowOpacity(), 1.0);
    bar.FormMouseDown(Qt::LeftButton, Qt::ControlModifier, 1, 1);
    EXPECT_NEAR(bar.windowOpacity(), 220 / 255.0, 0.01);
}

TEST(BaseWindow, ShapeCutsTheSixteenBottomCornerPixels)
{
    const int w = 240, h = 34;
    const QRegion shape = TBaseMainForm::Shape(w, h);
    int missing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            missing += !shape.contains(QPoint(x, y));
    EXPECT_EQ(missing, 16);
    for (QPoint p : {QPoint(0, 33), QPoint(1, 32), QPoint(3, 33), QPoint(0, 30), QPoint(239, 33),
             QPoint(238, 32), QPoint(236, 33), QPoint(239, 30)})
        EXPECT_FALSE(shape.contains(p)) << p.x() << "," << p.y();
    for (QPoint p : {QPoint(0, 0), QPoint(239, 0), QPoint(4, 33), QPoint(0, 29), QPoint(2, 32)})
        EXPECT_TRUE(shape.contains(p)) << p.x() << "," << p.y();
    Bar bar;
    EXPECT_EQ(bar.mask(), shape);

    // The key colour is painted where no shape cuts the corners, and only there: beside a
    // shape the platform scales and rounds, it would show as specks.
    for (const bool honoured : {true, false}) {
        quorvane::test::FakeDesktop desk;
        desk.shapes = honoured;
        Bar painted(&desk);
        const QImage image = painted.grab().toImage();
        int keyed = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (image.pixelColor(x, y) == TBaseMainForm::KeyColor) {
                    ++keyed;
                    EXPECT_FALSE(shape.contains(QPoint(x, y))) << x << "," << y;
                }
        EXPECT_EQ(keyed, honoured ? 0 : 16) << honoured;
    }
}

TEST(MainLayout, FontTable)
{
    struct Row
    {
        int height, points, buttonTop;
        bool changes;
    };
    const Row rows[] = {{34, 12, 1, true}, {40, 12, 1, true}, {41, 14, 2, true}, {43, 14, 2, true},
        {44, 16, 3, true}, {70, 32, 11, true}, {71, 34, 12, true}, {73, 34, 12, true},
        {74, 36, 12, true}, {176, 36, 12, true}, {177, 0, 0, false}};
    for (const Row &r : rows) {
        int points = 0, top = 0;
        EXPECT_EQ(FontForHeight(r.height, points, top), r.changes) << r.height;
        if (r.changes) {
            EXPECT_EQ(points, r.points) << r.height;
            EXPECT_EQ(top, r.buttonTop) << r.height;
        }
    }
}

TEST(MainLayout, AutoHideDecisions)
{
    constexpr double kMin = 1.0 / 1440, kSec = 1.0 / 86400;
    using A = AutoHideAction;
    struct Row
    {
        const char *what;
        AutoHideInput in;
        A action;
    };
    auto closed = [](double remaining) {
        AutoHideInput in;
        in.autoHide = true;
        in.scheduleAnswered = true;
        in.remaining = remaining;
        return in;
    };
    auto open = [&](double remaining) {
        AutoHideInput in = closed(remaining);
        in.open = true;
        return in;
    };
    AutoHideInput off = closed(100 * kMin);
    off.autoHide = false;
    AutoHideInput noAnswer = closed(100 * kMin);
    noAnswer.scheduleAnswered = false;
    AutoHideInput locked = closed(100 * kMin);
    locked.desktopUnlocked = false;
    AutoHideInput pointer = closed(100 * kMin);
    pointer.pointerInside = true;
    AutoHideInput zeroLead = closed(0.5 * kSec);
    zeroLead.leadBeforeOpening = 0;
    const Row rows[] = {
        {"15 min 0.5 s before opening", closed(15 * kMin + 0.5 * kSec), A::Retract},
        {"14 min 59.5 s before opening", closed(15 * kMin - 0.5 * kSec), A::Reveal},
        {"60 min 0.5 s before closing", open(60 * kMin + 0.5 * kSec), A::Retract},
        {"59 min 59.5 s before closing", open(60 * kMin - 0.5 * kSec), A::Reveal},
        {"auto-hide off", off, A::Reveal},
        {"no schedule answer", noAnswer, A::Nothing},
        {"locked desktop", locked, A::Nothing},
        {"pointer over the bar", pointer, A::Reveal},
        {"lead time 0 keeps it hidden to the event", zeroLead, A::Retract},
    };
    for (const Row &r : rows)
        EXPECT_EQ(DecideAutoHide(r.in), r.action) << r.what;
    EXPECT_EQ(FadeFloor(50), 155);
    EXPECT_EQ(FadeFloor(0), 255);
    EXPECT_EQ(FadeFloor(100), 55);
}
