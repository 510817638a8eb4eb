#include "TOptions.h"

#include "IniFile.h"
#include "Latin1.h"
#include "OptionsControls.h"
#include "SettingRules.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

namespace quorvane {

const char *const TOptions::Section = "Quorvane";

namespace {

// The two check lists: their items, the record's states for them, and their keys' suffix.
struct AlarmList
{
    const char *const *items;
    std::array<bool, TOptionValues::AlarmItems> TOptionValues::*states;
    const char *suffix;
    bool closing;
};
const AlarmList kAlarmLists[] = {
    {TOptionValues::OpeningItems, &TOptionValues::clb1, "_minutes_before_open", false},
    {TOptionValues::ClosingItems, &TOptionValues::clb2, "_minutes_before_close", true},
};

// The alarms a fresh install sounds: both events, 15 minutes before an opening and an hour
// before a closing.
bool TickedWhenFresh(int n, bool closing)
{
    return n == 0 || n == (closing ? 60 : 15);
}

int32_t ClampTransparency(int32_t v)
{
    return v < 0 ? 0 : v > 100 ? 100 : v;
}

} // namespace

int AlarmItemMinutes(const std::string &itemText)
{
    const size_t blank = itemText.find(' ');
    if (blank == std::string::npos)
        return -1;
    return IniInteger(itemText.substr(0, blank), -1);
}

TOptions::TOptions(ISntpSource *sntp, QWidget *parent, Kind kind)
    : QDialog(parent)
    , FKind(kind)
    , FSntp(sntp)
{
    ShowInformation = [this](const std::string &text) {
        QMessageBox::information(this, QStringLiteral("Information"), L1(text), QMessageBox::Ok);
    };
    if (FKind == Kind::Dialog) {
        BuildOptionsControls(*this);
        // The controls start empty; the record's initial values fill them.
        SetValues(FValues);
    }
    FormCreate();
}

void TOptions::FormCreate()
{
    TOptionValues v = Values();
    for (const AlarmList &list : kAlarmLists)
        for (size_t i = 0; i < TOptionValues::AlarmItems; ++i)
            if (TickedWhenFresh(AlarmItemMinutes(list.items[i]), list.closing))
                (v.*list.states)[i] = true;
    SetValues(v);
}

const TOptionValues &TOptions::Values() const
{
    if (FKind == Kind::Dialog)
        ReadOptionsControls(*this, FValues);
    return FValues;
}

void TOptions::SetValues(const TOptionValues &values)
{
    FValues = values;
    if (FKind == Kind::Dialog)
        WriteOptionsControls(*this, values);
}

void TOptions::LoadFromIni(const std::string &path)
{
    auto read = [&](const std::string &key, const std::string &def) {
        return ReadIniString(path, Section, key, def);
    };
    auto integer = [&](const char *key, const char *def, int32_t intDef) {
        return IniInteger(read(key, def), intDef);
    };
    TOptionValues v = Values();
    v.cb1 = IniOnOff(read("UseSNTP", "1"), true);
    v.Edit1 = read("SNTPServer", v.Edit1);
    v.ed1 = std::to_string(integer("SNTPPort", "123", 123));
    for (const AlarmList &list : kAlarmLists) {
        for (size_t i = 0; i < TOptionValues::AlarmItems; ++i) {
            const int n = AlarmItemMinutes(list.items[i]);
            if (n == -1)
                continue;
            // A file written before the boxes were ever saved (the bounds alone, say) keeps the
            // alarms a fresh install sounds.
            const bool fresh = TickedWhenFresh(n, list.closing);
            (v.*list.states)[i]
                = IniOnOff(read(std::to_string(n) + list.suffix, fresh ? "1" : "0"), fresh);
        }
    }
    v.cb2 = IniOnOff(read("AutoHide", "0"), false);
    v.ed3 = std::to_string(integer("AlwaysShowXMinutesBeforeOpening", "15", 15));
    v.ed4 = std::to_string(integer("AlwaysShowXMinutesBeforeClosing", "60", 60));
    v.cb3 = IniOnOff(read("ShowEasternTime", "1"), true);
    v.ed5 = std::to_string(ClampTransparency(integer("Transparency", "50", 50)));
    v.cb4 = IniOnOff(read("ExtendedHours", "0"), false);
    SetValues(v);
}

void TOptions::SaveToIni(const std::string &path)
{
    auto onOff = [](bool on) { return std::string(on ? "1" : "0"); };
    const std::string transparency = std::to_string(Transparency());
    const TOptionValues &v = Values();
    IniEntries entries {{"UseSNTP", onOff(v.cb1)}, {"SNTPServer", v.Edit1}, {"SNTPPort", v.ed1}};
    for (const AlarmList &list : kAlarmLists) {
        for (size_t i = 0; i < TOptionValues::AlarmItems; ++i) {
            const int n = AlarmItemMinutes(list.items[i]);
            if (n != -1)
                entries.emplace_back(std::to_string(n) + list.suffix, onOff((v.*list.states)[i]));
        }
    }
    entries.insert(entries.end(),
        {{"AutoHide", onOff(v.cb2)}, {"AlwaysShowXMinutesBeforeOpening", v.ed3},
            {"AlwaysShowXMinutesBeforeClosing", v.ed4}, {"ShowEasternTime", onOff(v.cb3)},
            {"Transparency", transparency}, {"ExtendedHours", onOff(v.cb4)}});
    // One replace of the file for the whole dialog: all keys are saved, or none.
    if (!WriteIniStrings(path, Section, entries))
        throw EIniFileException("Unable to write to " + path);
}

bool TOptions::UseSNTP() const
{
    return Values().cb1;
}

std::string TOptions::SNTPServer() const
{
    return Values().Edit1;
}

int32_t TOptions::SNTPPort() const
{
    return IniInteger(Values().ed1, 123);
}

bool TOptions::AutoHide() const
{
    return Values().cb2;
}

int32_t TOptions::AlwaysShowXMinutesBeforeOpening() const
{
    return IniInteger(Values().ed3, 15);
}

int32_t TOptions::AlwaysShowXMinutesBeforeClosing() const
{
    return IniInteger(Values().ed4, 60);
}

bool TOptions::ShowEasternTime() const
{
    return Values().cb3;
}

int32_t TOptions::Transparency() const
{
    return ClampTransparency(IniInteger(Values().ed5, 50));
}

bool TOptions::ExtendedHours() const
{
    return Values().cb4;
}

std::optional<bool> TOptions::AlarmBox(int32_t minutes, bool beforeClosing) const
{
    for (const AlarmList &list : kAlarmLists)
        for (size_t i = 0; i < TOptionValues::AlarmItems; ++i)
            if (list.closing == beforeClosing && AlarmItemMinutes(list.items[i]) == minutes)
                return (Values().*list.states)[i];
    return std::nullopt;
}

void TOptions::btnConfirmClick()
{
    accept();
}

void TOptions::btnCancelClick()
{
    reject();
}

void TOptions::SpeedButton1Click()
{
    TOptionValues v = Values();
    v.Edit1 = DefaultServer;
    v.ed1 = "123";
    SetValues(v);
}

void TOptions::SpeedButton2Click()
{
    // One test at a time; the dialog and the bar behind it stay live while it runs.
    if (FTestRunning)
        return;
    const int32_t port = SNTPPort();
    const std::string host = SNTPServer();
    const std::string where = host + ":" + std::to_string(port);
    auto report = [where](TOptions &dialog, bool ok) {
        dialog.ShowInformation(ok ? "The query sent to the SNTP server that is specified (" + where
                    + ") passed OK. The SNTP server seems OK at this moment."
                                  : "ERROR!!! The SNTP server that is specified (" + where
                    + ") did not respond to our query. Possible problems are the internet "
                      "is down, you mistyped the SNTP server domain, the port is not "
                      "correct or there is no SNTP server at the specified domain.");
    };
    if (!FSntp) {
        report(*this, false);
        return;
    }
    FTestRunning = true;
    setCursor(Qt::BusyCursor);
    FSntp->Query(host, port, 3500, [self = QPointer<TOptions>(this), report](const SntpAnswer &a) {
        if (!self)
            return;
        self->FTestRunning = false;
        self->unsetCursor();
        report(*self, a.OriginateTimestamp + a.LocalClockOffset + a.RoundTripDelay != 0);
    });
}

void TOptions::ed5Exit()
{
    TOptionValues v = Values();
    v.ed5 = std::to_string(Transparency());
    SetValues(v);
}

void TOptions::showEvent(QShowEvent *event)
{
    // The toolkit's own first placement guesses a frame the window manager has not drawn yet;
    // placing the client area keeps every showing centred alike.
    if (const QScreen *s = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->geometry()));
    QDialog::showEvent(event);
}

void TOptions::keyPressEvent(QKeyEvent *event)
{
    // Neither button answers Enter or Esc; the dialog ends only by a click or its close box.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return
        || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TOptions::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ed5 && event->type() == QEvent::FocusOut)
        ed5Exit();
    return QDialog::eventFilter(watched, event);
}

bool RunOptionsSequence(TOptions &dialog, TOptions &settings, const std::string &iniPath,
    const std::function<int(TOptions &)> &show)
{
    if (IniFileReadable(iniPath))
        dialog.LoadFromIni(iniPath);
    dialog.ScrollBox1->verticalScrollBar()->setValue(0);
    const int result = show ? show(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    dialog.SaveToIni(iniPath);
    settings.LoadFromIni(iniPath);
    return true;
}

} // namespace quorvane
