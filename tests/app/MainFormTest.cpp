#include "ErrorReport.h"
#include "Exception.h"
#include "MainLayout.h"
#include "TBarLabel.h"
#include "TMainForm.h"
#include "TOptions.h"
#include "engine/Fakes.h"
#include "net/http/LoopbackHttpServer.h"
#include "net/sntp/ScriptedSntpServer.h"
#include "platform/FakeDesktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quorvane;
using namespace quorvane::test;

namespace {

std::string Slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// Settings as a user's file holds them: written to options.ini and read by the live store.
void SetSettings(TMainForm &form, const std::string &lines)
{
    std::ofstream(form.IniPath()) << "[Quorvane]\n" << lines;
    form.Settings().LoadFromIni(form.IniPath());
}

// A program folder with a schedule, and the fakes a main window is built from.
struct App
{
    explicit App(bool withSchedule = true)
    {
        if (withSchedule)
            std::ofstream(dir + "schedule.txt") << "12/08/2026 9:30 am - 12/08/2026 4:00 pm\n";
        SetErrorReporter([this](const std::string &t) { errors.push_back(t); });
        clock.now = 46364.0 + 14.0 / 24; // 12/08/2026 14:00 local, 09:00 Eastern on UTC
        sntp.fail = true;
    }
    ~App() { SetErrorReporter(nullptr); }
    TMainFormConfig Config()
    {
        TMainFormConfig c;
        c.AppDir = dir;
        c.VendorHost = "vendor.test";
        c.VendorSite = "http://vendor.test/";
        c.VendorCaption = "vendor.test";
        c.Player = &player;
        c.Clock = &clock;
        c.Http = &http;
        c.Sntp = &sntp;
        return c;
    }

    QTemporaryDir tmp;
    std::string dir = tmp.path().toStdString() + "/";
    FakeClock clock;
    FakeSntp sntp {clock};
    FakeHttp http;
    FakePlayer player {clock};
    std::vector<std::string> errors;
};

int ScreenLeft()
{
    return QGuiApplication::primaryScreen()->geometry().width() / 3 * 2;
}

} // namespace

TEST(MainForm, FirstStartAndClose)
{
    App app;
    {
        TMainForm form(app.Config());
        form.show();
        EXPECT_EQ(form.geometry(), QRect(ScreenLeft(), 0, 240, 34));
        EXPECT_EQ(form.windowTitle(), "Quorvane");
        form.close();
    }
    const std::string ini = Slurp(app.dir + "options.ini");
    EXPECT_EQ(ini,
        "[Quorvane]\nLeft=" + std::to_string(ScreenLeft()) + "\nHeight=34\nWidth=240\nTop=0\n");
    EXPECT_TRUE(app.errors.empty());

    // The next start puts the bar where it was, always at the top, no narrower than the grip
    // leaves it; the file itself stays as it was until the next save.
    const std::string saved = "[Quorvane]\nLeft=0x20\nHeight=50\nWidth=50\n";
    std::ofstream(app.dir + "options.ini") << saved;
    TMainForm again(app.Config());
    EXPECT_EQ(again.geometry(), QRect(32, 0, 200, 50));
    EXPECT_EQ(Slurp(app.dir + "options.ini"), saved);
}

TEST(MainForm, NoTickRunsWhileTheWindowIsTakenDown)
{
    // A player that still plays runs the event loop as it is destroyed (its audio sink drains),
    // after the engine is gone and before the window's timers are.
    struct Draining : QObject
    {
        using QObject::QObject;
        ~Draining() override
        {
            QEventLoop drain;
            QTimer::singleShot(400, &drain, &QEventLoop::quit);
            drain.exec();
        }
    };
    App app;
    TMainForm form(app.Config());
    form.show();
    new Draining(&form);
    for (QTimer *timer : {form.Timer11, form.Timer1Refresh}) {
        timer->setParent(nullptr);
        timer->setParent(&form);
    }
    form.Timer1Refresh->start(1);
}

TEST(MainForm, ASilentTimeServerAndATricklingDownloadLeaveTheTickRunning)
{
    ScriptedSntpServer silent(
        [](const Bytes &) { return std::vector<ScriptedSntpServer::Reply> {}; });
    std::atomic<bool> hungUp {false};
    LoopbackHttpServer trickle([&hungUp](int fd, const std::string &) {
        LoopbackHttpServer::Send(fd, "HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n");
        while (::send(fd, "#", 1, MSG_NOSIGNAL) == 1)
            std::this_thread::sleep_for(std::chrono::seconds(1));
        hungUp = true;
    });
    App app(false);
    std::ofstream(app.dir + "options.ini")
        << "[Quorvane]\nUseSNTP=1\nSNTPServer=127.0.0.1\nSNTPPort=" << silent.Port() << "\n";
    TMainFormConfig config = app.Config();
    config.VendorHost = "127.0.0.1:" + std::to_string(trickle.Port());
    config.Clock = nullptr;
    config.Http = nullptr;
    config.Sntp = nullptr;
    // The first tick runs in the constructor and starts the query and the download: the wait
    // for the next one is counted from before it.
    QElapsedTimer waited;
    waited.start();
    auto form = std::make_unique<TMainForm>(config);
    int ticks = 0;
    qint64 lastTick = 0, longestGap = 0;
    QObject::connect(form->Timer11, &QTimer::timeout, [&] {
        ++ticks;
        longestGap = std::max(longestGap, waited.elapsed() - lastTick);
        lastTick = waited.elapsed();
    });
    form->show();
    // A busy machine may slow the ticks; only a tick held by the query stops for its 3.5 s.
    while (ticks < 5 && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 5) << "the tick stood still while the network was waited on";
    EXPECT_LT(longestGap, 3000) << "a tick waited on the network";
    EXPECT_EQ(form->Text(Label::Countdown), "--:--:--");
    EXPECT_FALSE(form->Text(Label::Clock).empty());

    // Closing while both are still out ends at once, and their late results find no window.
    waited.restart();
    form->close();
    form.reset();
    EXPECT_LT(waited.elapsed(), 3000) << "the close waited for the query";
    while (!hungUp && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(hungUp) << "the download was not given up";
}

TEST(MainForm, AnUnwritableFolderIsReportedAndTheCloseGoesOn)
{
    App app;
    TMainForm form(app.Config());
    form.show();
    chmod(app.dir.c_str(), 0555);
    EXPECT_TRUE(form.close());
    form.SessionEnding(); // says nothing at the end of a session
    chmod(app.dir.c_str(), 0755);
    ASSERT_EQ(app.errors.size(), 1u);
    EXPECT_EQ(app.errors[0], "Unable to write to " + app.dir + "options.ini.");
    form.SessionEnding();
    EXPECT_NE(Slurp(app.dir + "options.ini").find("Width=240"), std::string::npos);
}

TEST(MainForm, ACloseThatCannotSaveWaitsUntilTheReportIsDismissed)
{
    App app;
    std::ofstream(app.dir + "options.ini") << "[Quorvane]\nLeft=5\n";
    chmod((app.dir + "options.ini").c_str(), 0444);
    SetErrorReporter(nullptr); // the program's own box, shown without waiting
    TMainForm form(app.Config());
    form.show();
    std::string seen;
    bool barHidden = false, dismissed = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                seen = box->text().toStdString();
                barHidden = !form.isVisible();
                dismissed = true;
                box->button(QMessageBox::Ok)->click();
            }
    });
    QTimer::singleShot(10000, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(w))
                box->close();
    });
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(dismissed) << "the close went on with the report still to be read";
    EXPECT_EQ(seen, "Unable to write to " + app.dir + "options.ini.");
    EXPECT_TRUE(barHidden);

    // At the end of the desktop session nothing is shown and nothing waits.
    app.errors.clear();
    form.SessionEnding();
    EXPECT_TRUE(app.errors.empty());
    chmod((app.dir + "options.ini").c_str(), 0644);
    EXPECT_EQ(Slurp(app.dir + "options.ini"), "[Quorvane]\nLeft=5\n");
}

TEST(MainForm, AnUnreadableScheduleAtStartUpKeepsTheProvisionalPlace)
{
    // A schedule.txt that exists but cannot be opened (held by another program, say).
    App app;
    FakeFiles files;
    files.files[app.dir + "schedule.txt"] = "";
    files.unreadable.insert(app.dir + "schedule.txt");
    std::ofstream(app.dir + "options.ini") << "[Quorvane]\nLeft=5\nWidth=300\n";
    TMainFormConfig config = app.Config();
    config.Files = &files;
    TMainForm form(config);
    EXPECT_EQ(form.geometry(), QRect(ScreenLeft(), 0, 260, 34)) << "the stored bounds are skipped";
    ASSERT_EQ(app.errors.size(), 1u);
    EXPECT_EQ(
        app.errors[0], "Cannot open file \"" + app.dir + "schedule.txt\". Permission denied.");
    EXPECT_TRUE(form.Settings().UseSNTP());
}

TEST(MainForm, FontsFollowTheHeight)
{
    App app;
    TMainForm form(app.Config());
    form.show();
    // Retracted, a bar cut by its shape and one cut by its own size (where the desktop ignores
    // shapes) show the same strip: the bar's bottom rows, and nothing it holds in them.
    const QRect monitor(0, 0, 1920, 1080);
    FakeDesktop shaping({{monitor, monitor, 1, "A"}}), cutting(shaping.monitors);
    cutting.shapes = false;
    TMainFormConfig config = app.Config();
    config.Desktop = &shaping;
    TMainForm shaped(config);
    config.Desktop = &cutting;
    TMainForm cut(config);
    shaped.show();
    cut.show();
    struct Row
    {
        int height, pixels, buttonTop;
    };
    for (const Row &r : {Row {40, 16, 1}, Row {41, 19, 2}, Row {73, 45, 12}, Row {74, 48, 12},
             Row {176, 48, 12}, Row {177, 48, 12}, Row {34, 16, 1}}) {
        form.resize(240, r.height);
        EXPECT_EQ(form.DateLabel1->font().pixelSize(), r.pixels) << r.height;
        EXPECT_EQ(form.l1->font().pixelSize(), r.pixels) << r.height;
        EXPECT_EQ(form.SpeedButton1->y(), r.buttonTop) << r.height;
        EXPECT_EQ(form.Label1->y(), r.height - 12);
        EXPECT_EQ(form.l2->y(), r.height - 12);
        EXPECT_EQ(form.l1->geometry().right(), 240 - 3 - 1);

        if (r.height > TBaseMainForm::MaxHeight)
            continue; // no bar is ever that tall
        for (TMainForm *f : {&shaped, &cut}) {
            f->resize(240, r.height);
            f->RetractWindow();
        }
        const QImage whole = shaped.grab().toImage(), strip = cut.grab().toImage();
        ASSERT_EQ(strip.height(), 4);
        // Beside the corners, which are cut.
        EXPECT_EQ(strip.copy(4, 0, 232, 4), whole.copy(4, r.height - 4, 232, 4)) << r.height;
        EXPECT_EQ(cut.childrenRect().translated(0, -cut.ContentTop()), shaped.childrenRect());
        cut.RevealWindow();
    }
}

TEST(MainForm, TheMenuButtonIsDrawnForEachScale)
{
    App app;
    TMainForm form(app.Config());
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        const int side = static_cast<int>(20 * scale);
        const QImage shown = form.SpeedButton1->icon()
                                 .pixmap(form.SpeedButton1->iconSize(), scale)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        EXPECT_EQ(shown.size(), QSize(side, side)) << scale;
        EXPECT_EQ(shown, MenuButtonImage(side)) << "drawn, not scaled, at " << scale;
    }
}

TEST(MainForm, StaysAtTheTopEdge)
{
    // Two monitors, one above the other; a top panel on the upper leaves it the rows from 27.
    const QRect a(0, 0, 1920, 1080), b(0, 1080, 1920, 1080);
    const TMonitor panelOnA {a, a.adjusted(0, 27, 0, 0), 1, "A"}, bareB {b, b, 1, "B"};
    FakeDesktop desk({panelOnA, bareB});
    App app;
    TMainFormConfig config = app.Config();
    config.Desktop = &desk;
    TMainForm form(config);
    form.show();
    EXPECT_EQ(desk.prepared, 1);
    const QPoint start = form.pos();
    EXPECT_EQ(start.y(), 27);
    form.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 50, 10);
    form.FormMouseMove(Qt::LeftButton, 80, 30);
    EXPECT_EQ(form.pos(), start + QPoint(30, 0));
    form.FormMouseUp();
    // The place is written as the drag ends, and a second drag within the second once that
    // second is over, the same keys as "Close" writes.
    const std::string ini = app.dir + "options.ini";
    const std::string first
        = "[Quorvane]\nLeft=" + std::to_string(start.x() + 30) + "\nHeight=34\nWidth=240\nTop=27\n";
    EXPECT_EQ(Slurp(ini), first);
    form.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 50, 10);
    form.FormMouseMove(Qt::LeftButton, 60, 10);
    form.FormMouseUp();
    EXPECT_EQ(Slurp(ini), first);
    QElapsedTimer waited;
    waited.start();
    const std::string second
        = "[Quorvane]\nLeft=" + std::to_string(start.x() + 40) + "\nHeight=34\nWidth=240\nTop=27\n";
    while (Slurp(ini) != second && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(Slurp(ini), second);
    form.RetractWindow();
    EXPECT_EQ(form.y(), 27 + 4 - 34);
    EXPECT_EQ(form.HiddenRows(), 30) << "nothing of the bar above the work area";
    EXPECT_FALSE(form.l2->isVisibleTo(&form));
    QCursor::setPos(form.mapToGlobal(QPoint(5, 32)));
    form.FormMouseMove(Qt::NoButton, 5, 32);
    EXPECT_EQ(form.y(), 27);
    EXPECT_EQ(form.HiddenRows(), 0);
    EXPECT_TRUE(form.PointerInside()) << "the pointer on the strip is on the revealed bar";
    EXPECT_TRUE(form.Label1->isVisibleTo(&form));

    // Dragged until the pointer is on the lower monitor: at its own top, under the pointer.
    const QPoint press(form.x() + 50, 37);
    form.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 50, 10, press);
    form.FormMouseMove(Qt::LeftButton, 50, 10, QPoint(700, 1500));
    form.FormMouseUp();
    EXPECT_EQ(form.pos(), QPoint(650, 1080));
    desk.Change({panelOnA, {b, b.adjusted(0, 44, 0, 0), 1, "B"}});
    EXPECT_EQ(form.y(), 1124) << "a panel added on the lower monitor pushes the bar down at once";
    form.RetractWindow();
    desk.Change({panelOnA, bareB});
    EXPECT_EQ(form.geometry().bottom(), 1083) << "retracted at the top as the panel goes";
    form.RevealWindow();

    // Closed there, started again: back on the lower monitor.
    form.SaveBounds(form.IniPath());
    {
        FakeDesktop same(desk.monitors);
        config.Desktop = &same;
        TMainForm again(config);
        EXPECT_EQ(again.pos(), QPoint(650, 1080));
    }
    desk.Change({panelOnA});
    EXPECT_EQ(form.geometry(), QRect(650, 27, 240, 34)) << "the monitor gone: onto the other";
}

TEST(MainForm, AutoHideAndTheDisplaySettings)
{
    // A pointer left over the bar's place by an earlier test would be over it from its showing.
    QCursor::setPos(0, 500);
    App app;
    TMainForm form(app.Config());
    form.show();
    form.SetPointerInside(false);
    EXPECT_TRUE(form.Settings().findChildren<QWidget *>().isEmpty()) << "controls nobody sees";
    // Closed, 30 minutes before the opening: retracted only while auto-hide is on.
    app.clock.now = 46364.0 + 14.0 / 24;
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 0);
    EXPECT_EQ(form.FadeMin(), 155);
    SetSettings(form, "AutoHide=1\n");
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 4 - 34);
    SetSettings(form, "AutoHide=0\n");
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 0) << "switching auto-hide off reveals within one step";

    // With auto-hide on and no tick, the pointer leaving retracts the bar and coming back over
    // its strip reveals it, each one auto-hide step after the crossing.
    SetSettings(form, "AutoHide=1\n");
    form.Timer11->stop();
    auto waitFor = [&form](int top) {
        QElapsedTimer waited;
        waited.start();
        while (form.y() != top && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return form.y();
    };
    QCursor::setPos(form.mapToGlobal(QPoint(5, 300)));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&form, &leave);
    EXPECT_EQ(waitFor(4 - 34), 4 - 34) << "the pointer left and the bar stayed";
    // Moving the pointer would reveal the bar by itself; the crossing alone must do it too.
    QEnterEvent enter(QPointF(5, 32), QPointF(5, 32), QPointF(form.mapToGlobal(QPoint(5, 32))));
    QCoreApplication::sendEvent(&form, &enter);
    EXPECT_EQ(waitFor(0), 0) << "the pointer came back and the bar stayed away";
    // A leave with the pointer still over the bar (its menu took the pointer) is no leave.
    QCursor::setPos(form.mapToGlobal(QPoint(100, 10)));
    QCoreApplication::processEvents(); // the platform's own crossing for the move
    form.SetPointerInside(false);
    QCoreApplication::sendEvent(&form, &leave);
    QElapsedTimer step;
    step.start();
    while (form.AutoHideStep->isActive() && step.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_FALSE(form.AutoHideStep->isActive());
    EXPECT_EQ(form.y(), 0) << "retracted under the pointer";
    SetSettings(form, "AutoHide=0\n");
    form.AutoHideTimerTimer();

    SetSettings(form, "ShowEasternTime=0\nTransparency=0\n");
    form.AutoHideTimerTimer();
    EXPECT_FALSE(form.DateLabel1->isVisibleTo(&form));
    EXPECT_EQ(form.FadeMin(), 255);
    SetSettings(form, "ShowEasternTime=1\n");
    form.AutoHideTimerTimer();
    EXPECT_TRUE(form.DateLabel1->isVisibleTo(&form));
}

TEST(MainForm, TheScreenLockIsAskedOnlyWhenTheBarWouldMove)
{
    const QRect screen(0, 0, 1920, 1080);
    FakeDesktop desk({{screen, screen, 1, "A"}});
    App app; // 30 minutes before the opening: retracted unless the pointer is over it
    TMainFormConfig config = app.Config();
    config.Desktop = &desk;
    TMainForm form(config);
    form.show();
    form.Timer11->stop();
    SetSettings(form, "AutoHide=1\n");
    struct Row
    {
        const char *what;
        bool locked, pointerInside;
        int top, asks;
    };
    const Row rows[] = {
        {"shown, to retract", false, false, 4 - 34, 1},
        {"retracted, stays", false, false, 4 - 34, 0},
        {"retracted and locked, stays", true, false, 4 - 34, 0},
        {"the pointer over it, locked", true, true, 4 - 34, 1},
        {"the pointer over it, unlocked", false, true, 0, 1},
        {"shown under the pointer, stays", false, true, 0, 0},
    };
    for (const Row &r : rows) {
        desk.locked = r.locked;
        form.SetPointerInside(r.pointerInside);
        const int before = desk.lockAsks;
        form.AutoHideTimerTimer();
        EXPECT_EQ(form.y(), r.top) << r.what;
        EXPECT_EQ(desk.lockAsks - before, r.asks) << r.what;
    }
}

TEST(MainForm, TicksWriteTheLabelsOnlyWhenTheyChange)
{
    App app;
    int clockSet[2];
    ASSERT_EQ(::pipe2(clockSet, O_CLOEXEC | O_NONBLOCK), 0);
    TMainFormConfig config = app.Config();
    config.ClockSetFd = clockSet[0];
    TMainForm form(config);
    form.show();
    app.clock.now = 46364.0 + 14.0 / 24 + 0.5 * kSecond;
    form.Engine().Timer11Timer();
    EXPECT_EQ(form.DateLabel1->text(), "EST 09:00 AM");
    EXPECT_EQ(form.l1->text(), "0:29:59");
    EXPECT_EQ(form.l2->text(), "Market Closed");
    EXPECT_EQ(form.l2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    const int writes = form.LabelWrites();
    for (int i = 1; i <= 4; ++i) {
        app.clock.now += 0.1 * kSecond;
        form.Engine().Timer11Timer();
    }
    EXPECT_EQ(form.LabelWrites(), writes);
    app.clock.now += 0.2 * kSecond;
    form.Engine().Timer11Timer();
    EXPECT_EQ(form.LabelWrites(), writes + 1);
    EXPECT_EQ(form.l1->text(), "0:29:58");
    EXPECT_EQ(app.sntp.calls.size(), 2u) << "the first tick synchronises twice";

    // The system clock set an hour on: the texts follow without waiting for the next tick, and
    // the jump synchronises again.
    form.Timer11->stop();
    app.clock.now += 1.0 / 24;
    ASSERT_EQ(::write(clockSet[1], "x", 1), 1);
    QElapsedTimer waited;
    waited.start();
    while (form.DateLabel1->text() != "EST 10:00 AM" && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(form.DateLabel1->text(), "EST 10:00 AM");
    EXPECT_EQ(app.sntp.calls.size(), 3u);
    ::close(clockSet[1]);
}

TEST(MainForm, RefreshScheduleReadsTheLocalFileAndNeverDownloads)
{
    App app;
    TMainForm form(app.Config());
    form.RefreshSchedule1Click();
    form.Timer1RefreshTimer();
    EXPECT_TRUE(app.http.urls.empty());
    App none(false);
    TMainForm bare(none.Config());
    ASSERT_EQ(none.http.urls.size(), 1u);
    EXPECT_EQ(none.http.urls[0], "http://vendor.test/timer/schedule.txt");

    // Without a session ahead the status names the command that writes more of them, until a
    // schedule with one is read.
    EXPECT_TRUE(form.l2->toolTip().isEmpty());
    EXPECT_EQ(bare.l2->text(), "The schedule needs update");
    EXPECT_EQ(bare.l2->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    const std::string hint = bare.l2->toolTip().toStdString();
    EXPECT_NE(hint.find("\n'" + none.dir + "quorvane-schedule' "), std::string::npos) << hint;
    EXPECT_NE(hint.find(" -o '" + none.dir + "schedule.txt'\n"), std::string::npos) << hint;
    std::ofstream(none.dir + "schedule.txt") << "12/08/2026 9:30 am - 12/08/2026 4:00 pm\n";
    bare.RefreshSchedule1Click();
    bare.Engine().Timer11Timer();
    EXPECT_EQ(bare.l2->text(), "Market Closed");
    EXPECT_TRUE(bare.l2->toolTip().isEmpty());
}
