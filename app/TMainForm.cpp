#include "TMainForm.h"

#include "ErrorReport.h"
#include "IniFile.h"
#include "Latin1.h"
#include "MainLayout.h"
#include "SettingRules.h"
#include "TBarLabel.h"
#include "TClockSetWatch.h"
#include "TOptions.h"
#include "TThrottledCall.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDesktopServices>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <unistd.h>

namespace quorvane {

namespace {

QColor FromTColor(TColor c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
        static_cast<int>((c >> 16) & 0xFF));
}

int ScreenWidth()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1024;
}

} // namespace

TMainForm::TMainForm(const TMainFormConfig &config)
    : TBaseMainForm(config.Desktop)
    , FConfig(config)
{
    setWindowTitle(QStringLiteral("Quorvane"));
    ISoundPlayer *player = config.Player;
    if (!player) {
        mp = std::make_unique<TLazySoundPlayer>(config.AppDir + TLazySoundPlayer::ModuleName);
        player = mp.get();
    }
    // Network answers arrive from the event loop; what escapes applying one is reported.
    FSntp.SetGuard([](const std::function<void()> &f) { Guarded(f); });
    FHttp.SetGuard([](const std::function<void()> &f) { Guarded(f); });
    ISntpSource *sntp = config.Sntp ? config.Sntp : &FSntp;
    FSettings = new TOptions(sntp, this, TOptions::Kind::Store);
    TEngineServices services;
    services.Clock = config.Clock ? config.Clock : &FSystemClock;
    services.Settings = FSettings;
    services.Sntp = sntp;
    services.Http = config.Http ? config.Http : &FHttp;
    services.Files = config.Files ? config.Files : &FFiles;
    services.Player = player;
    services.Display = this;
    FEngine = std::make_unique<TMarketEngine>(
        services, config.AppDir, "http://" + config.VendorHost + "/timer/schedule.txt");

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setIcon(MenuButtonIcon());
    SpeedButton1->setIconSize(QSize(20, 20));
    SpeedButton1->setGeometry(9, 1, 21, 22);
    DateLabel1 = MakeBarLabel(this, "DateLabel1", Tahoma(true, PointsToPixels(12)), true);
    DateLabel1->move(33, 2);
    l1 = MakeBarLabel(this, "l1", Tahoma(true, PointsToPixels(12)), true);
    l1->setAlignment(Qt::AlignRight | Qt::AlignTop);
    l2 = MakeBarLabel(this, "l2", Tahoma(true, 9), true);
    l2->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // By default tool tips show only in the active window, which the bar never is.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    Label1 = MakeBarLabel(this, "Label1", Tahoma(false, 9), false);
    Label1->setText(L1(config.VendorCaption));
    Label1->setCursor(Qt::PointingHandCursor);
    for (QWidget *w : {static_cast<QWidget *>(DateLabel1), static_cast<QWidget *>(l1),
             static_cast<QWidget *>(l2), static_cast<QWidget *>(Label1)})
        w->installEventFilter(this);

    connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);

    // Whatever escapes a timer event reaches the error report; the timer runs on.
    auto timer = [this](int ms, std::function<void()> handler) {
        auto *t = new QTimer(this);
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, [handler] { Guarded(handler); });
        t->start();
        return t;
    };
    Timer1Refresh = timer(1000000, [this] { Timer1RefreshTimer(); });
    // The tick is armed afresh each time for just after the next second of the clock shown; a
    // repeating timer would keep a phase of its own, up to a period behind every second shown.
    Timer11 = new QTimer(this);
    Timer11->setSingleShot(true);
    Timer11->setTimerType(Qt::PreciseTimer);
    connect(Timer11, &QTimer::timeout, this, &TMainForm::Tick);
    // What is shown changed between ticks: the next tick is now, and in step with the new clock.
    FEngine->OnRephase = [this] {
        if (!FClosing)
            Timer11->start(0);
    };
    // A set clock is seen at once, not at the next idle tick up to a second later; the tick
    // itself tells a jump that needs a new synchronisation.
    new TClockSetWatch(
        [this] {
            if (!FClosing)
                Timer11->start(0);
        },
        this, config.ClockSetFd);
    // The pointer crossing the edge is weighed one auto-hide step later, as the polling did.
    AutoHideStep = new QTimer(this);
    AutoHideStep->setSingleShot(true);
    AutoHideStep->setInterval(AutoHideStepMs);
    connect(AutoHideStep, &QTimer::timeout, this,
        [this] { Guarded([this] { AutoHideTimerTimer(); }); });
    // Written as the session's end would write them: a failure shows at "Close".
    FBoundsWrite = new TThrottledCall(
        1000, [this] { SessionEnding(); }, this);

    // The creation handler: provisional place, settings, schedule, stored bounds.
    setGeometry(quorvane::KeepOnScreen(
        Desktop().Monitors(), QRect(ScreenWidth() / 3 * 2, 0, 260, 34), Limits()));
    FormResize();
    if (IniFileReadable(IniPath()))
        FSettings->LoadFromIni(IniPath());
    try {
        FEngine->LoadSchedule();
        LoadBounds(IniPath());
    } catch (const std::exception &e) {
        // Shown, and the stored bounds are not applied: the bar runs on where it is.
        ReportError(e.what());
    }
    Desktop().SetOnChanged([this] { Guarded([this] { KeepOnScreen(); }); });
    // The first tick runs now, so the first frame on screen already has every text.
    Tick();
}

void TMainForm::Tick()
{
    Guarded([this] { FEngine->Timer11Timer(); });
    // The lead times before a boundary end on the tick's seconds; the pointer has events.
    Guarded([this] { AutoHideTimerTimer(); });
    ArmTick();
}

void TMainForm::ArmTick()
{
    if (!FClosing)
        Timer11->start(FEngine->MsToNextTick());
}

TMainForm::~TMainForm()
{
    Desktop().SetOnChanged(nullptr);
    // The engine talks to the player and the settings store; it goes first. Destroying a player
    // that still plays runs the event loop while the sound drains: no tick may come then.
    FClosing = true;
    Timer11->stop();
    Timer1Refresh->stop();
    AutoHideStep->stop();
    FEngine.reset();
}

void TMainForm::LoadBounds(const std::string &path)
{
    // Far enough off any desk to be moved back, near enough that no sum overflows.
    auto read = [&path](const char *key, int32_t fallback) {
        return std::clamp(IniInteger(ReadIniString(path, TOptions::Section, key, ""), fallback),
            -(1 << 24), 1 << 24);
    };
    const int32_t left = read("Left", ScreenWidth() / 3 * 2);
    // The top the bar was closed at tells its monitor; without it, the monitor's at this top.
    const int32_t top = read("Top", y());
    const int32_t height = read("Height", 34);
    const int32_t width = read("Width", 240);
    setGeometry(
        quorvane::KeepOnScreen(Desktop().Monitors(), QRect(left, top, width, height), Limits()));
}

void TMainForm::KeepOnScreen()
{
    const QRect kept = quorvane::KeepOnScreen(
        Desktop().Monitors(), QRect(x(), TopEdge(), width(), BarHeight()), Limits());
    if (kept.size() != QSize(width(), BarHeight()))
        resize(kept.size());
    const int hidden = HiddenRows() > 0 ? kept.height() - 4 : 0;
    PlaceWithHiddenRows(QPoint(kept.x(), kept.y() - hidden), hidden);
}

void TMainForm::SaveBounds(const std::string &path)
{
    const IniEntries bounds {{"Left", std::to_string(x())}, {"Height", std::to_string(BarHeight())},
        {"Width", std::to_string(width())}, {"Top", std::to_string(TopEdge())}};
    if (!WriteIniStrings(path, TOptions::Section, bounds))
        throw EIniFileException("Unable to write to " + path);
}

void TMainForm::SessionEnding()
{
    try {
        SaveBounds(IniPath());
    } catch (const std::exception &) { }
}

void TMainForm::PlacementEnded()
{
    FBoundsWrite->Request();
}

TBarLabel *TMainForm::LabelOf(Label label) const
{
    switch (label) {
    case Label::Clock:
        return DateLabel1;
    case Label::Countdown:
        return l1;
    default:
        return l2;
    }
}

std::string TMainForm::Text(Label label) const
{
    return FTexts[static_cast<int>(label)];
}

void TMainForm::SetText(Label label, const std::string &text)
{
    FTexts[static_cast<int>(label)] = text;
    TBarLabel *l = LabelOf(label);
    l->setText(L1(text));
    if (label == Label::Status)
        l->setToolTip(text == ScheduleNeedsUpdate
                ? ExtendScheduleHint(FConfig.AppDir, QDate::currentDate().year())
                : QString());
    if (label != Label::Clock)
        PlaceRightAligned();
    ++FLabelWrites;
}

TColor TMainForm::Color(Label) const
{
    return FStatusColor;
}

void TMainForm::SetColor(Label label, TColor color)
{
    FStatusColor = color;
    TBarLabel *l = LabelOf(label);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, FromTColor(color));
    l->setPalette(p);
    ++FLabelWrites;
}

void TMainForm::PlaceRightAligned()
{
    const int top = ContentTop();
    l1->move(width() - 3 - l1->width(), top + 2);
    l2->move(width() - 4 - l2->width(), top + BarHeight() - 12);
}

void TMainForm::FormResize()
{
    const int h = BarHeight(), top = ContentTop();
    Label1->move(10, top + h - 12);
    l2->move(l2->x(), top + h - 12);
    DateLabel1->move(DateLabel1->x(), top + 2);
    int points, buttonTop;
    if (FontForHeight(h, points, buttonTop)) {
        for (TBarLabel *l : {DateLabel1, l1}) {
            QFont f = l->font();
            f.setPixelSize(PointsToPixels(points));
            l->setFont(f);
        }
        SpeedButton1->move(9, top + buttonTop);
    }
    PlaceRightAligned();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    TBaseMainForm::resizeEvent(event);
    FormResize();
}

void TMainForm::FormMouseMove(Qt::MouseButtons buttons, int x, int y, QPoint screen)
{
    TBaseMainForm::FormMouseMove(buttons, x, y, screen);
    // A pointer over a retracted bar brings it back; a drag has already put it at the top.
    if (this->y() != TopEdge() || !l2->isVisibleTo(this))
        RevealWindow();
}

void TMainForm::enterEvent(QEnterEvent *event)
{
    TBaseMainForm::enterEvent(event);
    AutoHideStep->start();
}

void TMainForm::leaveEvent(QEvent *event)
{
    TBaseMainForm::leaveEvent(event);
    FWeighPointer = true;
    AutoHideStep->start();
}

void TMainForm::RetractWindow()
{
    // The strip lies at the top of the work area; the rest of the bar would cover a panel
    // above it, so it is cut away.
    const int top = TopEdge();
    PlaceWithHiddenRows(QPoint(x(), top + 4 - BarHeight()), BarHeight() - 4);
    Label1->setVisible(false);
    l2->setVisible(false);
}

void TMainForm::RevealWindow()
{
    PlaceWithHiddenRows(QPoint(x(), TopEdge()), 0);
    Label1->setVisible(true);
    l2->setVisible(true);
}

void TMainForm::AutoHideTimerTimer()
{
    const bool showClock = FSettings->ShowEasternTime();
    if (showClock != DateLabel1->isVisibleTo(this))
        DateLabel1->setVisible(showClock);
    SetFadeMin(FadeFloor(FSettings->Transparency()));

    AutoHideInput in;
    in.autoHide = FSettings->AutoHide();
    if (in.autoHide) {
        in.scheduleAnswered = FEngine->NextEvent(in.remaining, in.open);
        // A leave with the pointer still over the bar (the menu took the pointer, the shape
        // changed under it) is no leave: its position decides.
        in.pointerInside = PointerInside() || (FWeighPointer && PointerOverShape());
        in.leadBeforeOpening = FSettings->AlwaysShowXMinutesBeforeOpening();
        in.leadBeforeClosing = FSettings->AlwaysShowXMinutesBeforeClosing();
    }
    FWeighPointer = false;
    AutoHideAction action = DecideAutoHide(in);
    const bool revealed = y() == TopEdge() && l2->isVisibleTo(this);
    // The screen locker is asked only when the window would change: asked at every step, its
    // answers over the bus would wake the bar every second.
    if (in.autoHide && in.scheduleAnswered && action != AutoHideAction::Nothing
        && (action == AutoHideAction::Reveal) != revealed) {
        in.desktopUnlocked = Desktop().DesktopUnlocked();
        action = DecideAutoHide(in);
    }
    switch (action) {
    case AutoHideAction::Reveal:
        if (!revealed)
            RevealWindow();
        break;
    case AutoHideAction::Retract:
        RetractWindow();
        break;
    case AutoHideAction::Nothing:
        break;
    }
}

void TMainForm::Timer1RefreshTimer()
{
    FEngine->SyncClock();
    FEngine->LoadSchedule();
}

void TMainForm::OpenVendorSite()
{
    QDesktopServices::openUrl(QUrl(L1(FConfig.VendorSite)));
}

void TMainForm::SynchronizeClock1Click()
{
    Guarded([this] { FEngine->SyncClock(); });
}

void TMainForm::RefreshSchedule1Click()
{
    Guarded([this] { FEngine->LoadSchedule(); });
}

void TMainForm::Options1Click()
{
    Guarded([this] {
        // New settings show at once rather than at the next second.
        TOptions *dialog = Options ? Options() : nullptr;
        if (dialog && RunOptionsSequence(*dialog, *FSettings, IniPath()) && !FClosing)
            Timer11->start(0);
    });
}

void TMainForm::Close1Click()
{
    close();
}

void TMainForm::SpeedButton1Click()
{
    // Built at the first click: an idle bar need not hold a menu in its memory.
    if (!pm) {
        pm = new QMenu(this);
        pm->addAction(L1(FConfig.VendorCaption), this, &TMainForm::OpenVendorSite);
        pm->addAction(
            QStringLiteral("Synchronize Clock"), this, &TMainForm::SynchronizeClock1Click);
        pm->addAction(QStringLiteral("Refresh Schedule"), this, &TMainForm::RefreshSchedule1Click);
        pm->addAction(QStringLiteral("Options"), this, &TMainForm::Options1Click);
        pm->addSeparator();
        pm->addAction(QStringLiteral("Close"), this, &TMainForm::Close1Click);
    }
    pm->popup(SpeedButton1->mapToGlobal(QPoint(0, SpeedButton1->height())));
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (qApp->isSavingSession()) {
        SessionEnding();
    } else {
        try {
            SaveBounds(IniPath());
        } catch (const std::exception &e) {
            // The report must stay on screen until it is read: the close goes on once the user
            // dismisses it. Meanwhile the bar is gone and nothing of it ticks or sounds.
            hide();
            FClosing = true;
            for (QTimer *t : {Timer11, Timer1Refresh, AutoHideStep})
                t->stop();
            QEventLoop wait;
            bool dismissed = false;
            ReportError(e.what(), [&] {
                dismissed = true;
                wait.quit();
            });
            if (!dismissed)
                wait.exec();
        }
    }
    QCoreApplication::quit();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label1) {
        // The link keeps its press to itself, so no drag starts on it, and opens only when the
        // release lands on it too.
        if (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick)
            return true;
        if (event->type() == QEvent::MouseButtonRelease) {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton && Label1->rect().contains(me->position().toPoint()))
                OpenVendorSite();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    // The three text labels pass presses and moves on, so the bar can be dragged by them.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove) {
        auto *me = static_cast<QMouseEvent *>(event);
        const QPoint p = static_cast<QWidget *>(watched)->mapTo(this, me->position().toPoint());
        const QPoint screen = me->globalPosition().toPoint();
        if (event->type() == QEvent::MouseButtonPress)
            FormMouseDown(me->button(), me->modifiers(), p.x(), p.y(), screen);
        else
            FormMouseMove(me->buttons(), p.x(), p.y(), screen);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quorvane
