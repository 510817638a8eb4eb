#include "ErrorReport.h"
#include "Exception.h"
#include "TMainForm.h"
#include "TOptions.h"
#include "engine/Fakes.h"
#include "net/http/LoopbackHttpServer.h"
#include "net/sntp/ScriptedSntpServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
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
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>

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
    EXPECT_EQ(ini, "[Quorvane]\nLeft=" + std::to_string(ScreenLeft()) + "\nHeight=34\nWidth=240\n");
    EXPECT_TRUE(app.errors.empty());

    // The next start puts the bar where it was, always at the top.
    std::ofstream(app.dir + "options.ini") << "[Quorvane]\nLeft=0x20\nHeight=50\nWidth=50\n";
    TMainForm again(app.Config());
    EXPECT_EQ(again.geometry(), QRect(32, 0, 50, 50));
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
    while (ticks < 15 && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 15) << "the tick stood still while the network was waited on";
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
    }
}

TEST(MainForm, StaysAtTheTopEdge)
{
    // A desktop whose top panel leaves windows the rows from 27 down, until it goes away.
    struct Panel : IWorkArea
    {
        int Top(QPoint) const override { return top; }
        int top = 27;
    } panel;
    App app;
    TMainFormConfig config = app.Config();
    config.WorkArea = &panel;
    TMainForm form(config);
    form.show();
    const QPoint start = form.pos();
    EXPECT_EQ(start.y(), 27);
    form.FormMouseDown(Qt::LeftButton, Qt::NoModifier, 50, 10);
    form.FormMouseMove(Qt::LeftButton, 80, 30);
    EXPECT_EQ(form.pos(), start + QPoint(30, 0));
    form.FormMouseUp();
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
    panel.top = 0;
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 0) << "the bar follows the panel within one auto-hide step";
}

TEST(MainForm, AutoHideAndTheDisplaySettings)
{
    App app;
    TMainForm form(app.Config());
    form.show();
    form.SetPointerInside(false);
    TOptions &s = form.Settings();
    // Closed, 30 minutes before the opening: retracted only while auto-hide is on.
    app.clock.now = 46364.0 + 14.0 / 24;
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 0);
    EXPECT_EQ(form.FadeMin(), 155);
    s.cb2->setChecked(true);
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 4 - 34);
    s.cb2->setChecked(false);
    form.AutoHideTimerTimer();
    EXPECT_EQ(form.y(), 0) << "switching auto-hide off reveals within one step";

    s.cb3->setChecked(false);
    s.ed5->setText("0");
    form.AutoHideTimerTimer();
    EXPECT_FALSE(form.DateLabel1->isVisibleTo(&form));
    EXPECT_EQ(form.FadeMin(), 255);
    s.cb3->setChecked(true);
    form.AutoHideTimerTimer();
    EXPECT_TRUE(form.DateLabel1->isVisibleTo(&form));
}

TEST(MainForm, TicksWriteTheLabelsOnlyWhenTheyChange)
{
    App app;
    TMainForm form(app.Config());
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
}
