#pragma once

#include "Clock.h"
#include "DownloadText.h"
#include "PosixFileSystem.h"
#include "Seams.h"
#include "TBaseMainForm.h"
#include "TLazySoundPlayer.h"
#include "TMarketEngine.h"
#include "TSntpSource.h"

#include <functional>
#include <memory>
#include <string>

class QMenu;
class QTimer;
class QToolButton;

namespace quorvane {

class TBarLabel;
class TOptions;
class TThrottledCall;

// What the main window is built from; the program passes the real parts, tests their own.
struct TMainFormConfig
{
    std::string AppDir; // ends with "/"
    std::string VendorHost; // serves /timer/schedule.txt
    std::string VendorSite; // opened by the link label and the first menu item
    std::string VendorCaption; // the site's name shown on both
    ISoundPlayer *Player = nullptr; // the window's own player when null
    const IClock *Clock = nullptr; // the system clock when null
    IHttpFetch *Http = nullptr; // libcurl when null
    ISntpSource *Sntp = nullptr; // the SNTP client when null
    const IFileSystem *Files = nullptr; // the POSIX file system when null
    IDesktop *Desktop = nullptr; // the platform's when null
    int ClockSetFd = -1; // readable when the system clock is set; the kernel's timer when -1
};

// The bar: the clock, the countdown and the market state, its menu, timers and bounds.
class TMainForm : public TBaseMainForm, public IDisplay
{
public:
    explicit TMainForm(const TMainFormConfig &config);
    ~TMainForm() override;

    // Makes, at its first call, the visible options dialog the "Options" command shows.
    void SetOptionsDialog(std::function<TOptions *()> dialog) { Options = std::move(dialog); }

    using TBaseMainForm::FormMouseMove;
    void FormMouseMove(Qt::MouseButtons buttons, int x, int y, QPoint screen) override;
    void FormResize();
    // The tick: once a second when idle, with the auto-hide step on each one.
    void Tick();
    void AutoHideTimerTimer();
    void Timer1RefreshTimer();
    void RetractWindow();
    void RevealWindow();
    void LoadBounds(const std::string &path);
    void SaveBounds(const std::string &path);
    // The desktop session is ending: keep the position as a close would, but never hold the
    // session up, so a failure to write is not shown.
    void SessionEnding();

    // Menu commands.
    void OpenVendorSite();
    void SynchronizeClock1Click();
    void RefreshSchedule1Click();
    void Options1Click();
    void Close1Click();
    void SpeedButton1Click();

    // IDisplay
    std::string Text(Label label) const override;
    void SetText(Label label, const std::string &text) override;
    TColor Color(Label label) const override;
    void SetColor(Label label, TColor color) override;

    std::string IniPath() const { return FConfig.AppDir + "options.ini"; }
    TMarketEngine &Engine() { return *FEngine; }
    TOptions &Settings() { return *FSettings; }
    int LabelWrites() const { return FLabelWrites; }

    QToolButton *SpeedButton1;
    TBarLabel *DateLabel1, *l1, *l2, *Label1;
    QMenu *pm = nullptr;
    QTimer *Timer11, *Timer1Refresh, *AutoHideStep;
    static constexpr int AutoHideStepMs = 200;

protected:
    // The bar belongs to the top edge: a drag moves it sideways, and onto the top of the work
    // area of the monitor the pointer comes to.
    QPoint DragTarget(QPoint topLeft, QPoint pointer) const override
    {
        return DragPlace(Desktop().Monitors(), VisibleRect(), topLeft.x(), pointer);
    }
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    // A moved or resized bar keeps its place even if the session ends before "Close".
    void PlacementEnded() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The top of the work area of the bar's monitor.
    int TopEdge() const { return BarTop(Desktop().Monitors(), VisibleRect()); }
    // Puts the bar wholly on one monitor again, at the top, as retracted as it was.
    void KeepOnScreen();
    void ArmTick();
    void PlaceRightAligned();
    TBarLabel *LabelOf(Label label) const;

    TMainFormConfig FConfig;
    TSystemClock FSystemClock;
    TPosixFileSystem FFiles;
    TCurlHttpFetch FHttp;
    TSntpSource FSntp;
    std::unique_ptr<TLazySoundPlayer> mp;
    TOptions *FSettings = nullptr;
    std::function<TOptions *()> Options;
    TThrottledCall *FBoundsWrite = nullptr;
    std::unique_ptr<TMarketEngine> FEngine;
    std::string FTexts[3];
    TColor FStatusColor = 0xFFFFFF;
    int FLabelWrites = 0;
    bool FClosing = false;
    bool FWeighPointer = false; // the pointer left: the next auto-hide step asks where it is
};

} // namespace quorvane
