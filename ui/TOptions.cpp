#include "TOptions.h"

#include "IniFile.h"
#include "SettingRules.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvane {

const char *const TOptions::DefaultServer = "pool.ntp.org";
const char *const TOptions::Section = "Quorvane";

namespace {

QString L1(const std::string &s)
{
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::string L1(const QString &s)
{
    return s.toLatin1().toStdString();
}

const char *const kOpeningItems[] = {"0 minutes before opening (opened)", "1 minute before opening",
    "2 minutes before opening", "3 minutes before opening", "5 minutes before opening",
    "10 minutes before opening", "15 minutes before opening", "20 minutes before opening",
    "30 minutes before opening", "60 minutes before opening"};
const char *const kClosingItems[] = {"0 minutes before closing (closed)", "1 minute before closing",
    "2 minutes before closing", "3 minutes before closing", "5 minutes before closing",
    "10 minutes before closing", "15 minutes before closing", "20 minutes before closing",
    "30 minutes before closing", "60 minutes before closing"};

const QString kBlanks25 = QString(25, QLatin1Char(' '));

template<class W> W *Place(W *w, const char *name, int x, int y, int width = -1, int height = -1)
{
    w->setObjectName(QLatin1String(name));
    if (width < 0) {
        w->adjustSize();
        w->move(x, y);
    } else {
        w->setGeometry(x, y, width, height);
    }
    return w;
}

QFrame *MakePanel(const char *name, int height)
{
    auto *panel = new QFrame;
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setFixedHeight(height);
    return panel;
}

QListWidget *MakeCheckList(
    QWidget *parent, const char *name, const char *const (&items)[10], int x, int y, int w, int h)
{
    auto *list = Place(new QListWidget(parent), name, x, y, w, h);
    list->setUniformItemSizes(true);
    for (const char *text : items) {
        auto *item = new QListWidgetItem(QLatin1String(text), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(0, 15));
    }
    return list;
}

QToolButton *MakeFlatButton(QWidget *parent, const char *name, const char *text, int x, int y)
{
    auto *b = Place(new QToolButton(parent), name, x, y, 53, 22);
    b->setText(QLatin1String(text));
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

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

TOptions::TOptions(ISntpSource *sntp, QWidget *parent)
    : QDialog(parent)
    , FSntp(sntp)
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("Arial"), 9));
    setFixedSize(432, 450);

    btnConfirm = Place(new QPushButton(QStringLiteral("OK"), this), "btnConfirm", 260, 412, 75, 25);
    btnCancel
        = Place(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel", 343, 412, 75, 25);
    for (QPushButton *b : {btnConfirm, btnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    ScrollBox1 = Place(new QScrollArea(this), "ScrollBox1", 11, 12, 406, 383);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setWidgetResizable(true);
    // The area holds the tab stops; it is none itself.
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget;
    content->setFixedHeight(708);
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    Panel4 = MakePanel("Panel4", 148);
    Panel3 = MakePanel("Panel3", 391);
    Panel1 = MakePanel("Panel1", 85);
    Panel2 = MakePanel("Panel2", 84);
    for (QFrame *p : {Panel4, Panel3, Panel1, Panel2})
        stack->addWidget(p);
    ScrollBox1->setWidget(content);

    cb1 = Place(new QCheckBox(QStringLiteral("Use SNTP serrver"), Panel4), "cb1", 10, 7, 160, 17);
    cb1->setChecked(true);
    Label8 = Place(new QLabel(QStringLiteral("SNTP server"), Panel4), "Label8", 9, 27);
    Edit1 = Place(new QLineEdit(QLatin1String(DefaultServer), Panel4), "Edit1", 9, 44, 144, 23);
    Label11 = Place(new QLabel(QStringLiteral("Port (usually 123)"), Panel4), "Label11", 162, 28);
    ed1 = Place(new QLineEdit(QStringLiteral("123"), Panel4), "ed1", 161, 44, 98, 23);
    SpeedButton2 = MakeFlatButton(Panel4, "SpeedButton2", "Test", 265, 45);
    SpeedButton1 = MakeFlatButton(Panel4, "SpeedButton1", "Default", 324, 45);
    Label10 = Place(
        new QLabel(QStringLiteral(
                       "The SNTP server is used to synchronize the internal application Eastern "
                       "Zone (US & Canada) clock to the system clock. If you don't use SNTP server "
                       "the system clock will be used to calculate Eastern Zone time and date. In "
                       "such case if the system clock is not correct also the timer will not "
                       "correctly count down."),
            Panel4),
        "Label10", 8, 73, 357, 70);
    Label10->setWordWrap(true);
    Label10->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label10->setFont(QFont(QStringLiteral("Arial"), 8));

    Label7 = Place(
        new QLabel(QStringLiteral("Check the sound alarms that you want to enable"), Panel3),
        "Label7", 12, 6);
    Label1 = Place(new QLabel(QStringLiteral("Alarms before opening"), Panel3), "Label1", 11, 24);
    clb1 = MakeCheckList(Panel3, "clb1", kOpeningItems, 12, 42, 364, 154);
    Label2 = Place(new QLabel(QStringLiteral("Alarms before closing"), Panel3), "Label2", 13, 204);
    clb2 = MakeCheckList(Panel3, "clb2", kClosingItems, 12, 221, 363, 157);

    cb2 = Place(new QCheckBox(QStringLiteral("Auto hide timer"), Panel1), "cb2", 11, 9, 119, 17);
    Label3 = Place(new QLabel(QStringLiteral("Always show timer") + kBlanks25
                           + QStringLiteral("minutes before market opens"),
                       Panel1),
        "Label3", 12, 34);
    ed3 = Place(new QLineEdit(QStringLiteral("15"), Panel1), "ed3", 118, 31, 66, 19);
    Label4 = Place(new QLabel(QStringLiteral("Always show timer") + kBlanks25
                           + QStringLiteral("minutes before market closes"),
                       Panel1),
        "Label4", 12, 57);
    ed4 = Place(new QLineEdit(QStringLiteral("60"), Panel1), "ed4", 118, 54, 66, 19);

    cb3 = Place(new QCheckBox(QStringLiteral("Show Eastern Time Zone clock"), Panel2), "cb3", 11, 9,
        203, 17);
    cb3->setChecked(true);
    Label5 = Place(
        new QLabel(
            QStringLiteral("Transparency level") + kBlanks25 + QStringLiteral("(0-100)"), Panel2),
        "Label5", 12, 32);
    ed5 = Place(new QLineEdit(QStringLiteral("50"), Panel2), "ed5", 118, 29, 66, 19);
    // Below the last line, on the check boxes' pitch; the panel grew by this one line.
    cb4 = Place(new QCheckBox(QStringLiteral("Show pre-market and after-hours"), Panel2), "cb4", 11,
        55, 203, 17);
    // The fields sit over the blank stretch of their labels, so each line reads as a sentence.
    for (QLineEdit *e : {ed3, ed4, ed5})
        e->raise();
    ed5->installEventFilter(this);

    setTabOrder(btnConfirm, btnCancel);
    setTabOrder(btnCancel, ScrollBox1);
    QWidget *order[] = {ScrollBox1, Edit1, cb1, ed1, clb2, clb1, cb2, ed3, ed4, cb3, ed5, cb4};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(btnConfirm, &QPushButton::clicked, this, &TOptions::btnConfirmClick);
    connect(btnCancel, &QPushButton::clicked, this, &TOptions::btnCancelClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &TOptions::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TOptions::SpeedButton2Click);
    ShowInformation = [this](const std::string &text) {
        QMessageBox::information(this, QStringLiteral("Information"), L1(text), QMessageBox::Ok);
    };
    FormCreate();
}

void TOptions::FormCreate()
{
    clb1->item(0)->setCheckState(Qt::Checked);
    clb2->item(0)->setCheckState(Qt::Checked);
    for (int i = 0; i < clb1->count(); ++i) {
        if (clb1->item(i)->text() == QLatin1String("15 minutes before opening"))
            clb1->item(i)->setCheckState(Qt::Checked);
        if (clb2->item(i)->text() == QLatin1String("60 minutes before closing"))
            clb2->item(i)->setCheckState(Qt::Checked);
    }
}

void TOptions::LoadFromIni(const std::string &path)
{
    auto integer = [&](const char *key, const char *def, int32_t intDef) {
        return IniInteger(ReadIniString(path, Section, key, def), intDef);
    };
    cb1->setChecked(IniOnOff(ReadIniString(path, Section, "UseSNTP", "1"), true));
    Edit1->setText(L1(ReadIniString(path, Section, "SNTPServer", L1(Edit1->text()))));
    ed1->setText(QString::number(integer("SNTPPort", "123", 123)));
    for (auto [list, suffix] :
        {std::pair {clb1, "_minutes_before_open"}, std::pair {clb2, "_minutes_before_close"}}) {
        for (int i = 0; i < list->count(); ++i) {
            const int n = AlarmItemMinutes(L1(list->item(i)->text()));
            if (n == -1)
                continue;
            // A file written before the boxes were ever saved (the bounds alone, say) keeps the
            // alarms a fresh install sounds.
            const bool fresh = TickedWhenFresh(n, list == clb2);
            const bool on = IniOnOff(
                ReadIniString(path, Section, std::to_string(n) + suffix, fresh ? "1" : "0"), fresh);
            list->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        }
    }
    cb2->setChecked(IniOnOff(ReadIniString(path, Section, "AutoHide", "0"), false));
    ed3->setText(QString::number(integer("AlwaysShowXMinutesBeforeOpening", "15", 15)));
    ed4->setText(QString::number(integer("AlwaysShowXMinutesBeforeClosing", "60", 60)));
    cb3->setChecked(IniOnOff(ReadIniString(path, Section, "ShowEasternTime", "1"), true));
    ed5->setText(QString::number(ClampTransparency(integer("Transparency", "50", 50))));
    cb4->setChecked(IniOnOff(ReadIniString(path, Section, "ExtendedHours", "0"), false));
}

void TOptions::SaveToIni(const std::string &path)
{
    auto onOff = [](bool on) { return std::string(on ? "1" : "0"); };
    IniEntries entries {{"UseSNTP", onOff(cb1->isChecked())}, {"SNTPServer", L1(Edit1->text())},
        {"SNTPPort", L1(ed1->text())}};
    for (auto [list, suffix] :
        {std::pair {clb1, "_minutes_before_open"}, std::pair {clb2, "_minutes_before_close"}}) {
        for (int i = 0; i < list->count(); ++i) {
            const int n = AlarmItemMinutes(L1(list->item(i)->text()));
            if (n != -1)
                entries.emplace_back(
                    std::to_string(n) + suffix, onOff(list->item(i)->checkState() == Qt::Checked));
        }
    }
    entries.insert(entries.end(),
        {{"AutoHide", onOff(cb2->isChecked())},
            {"AlwaysShowXMinutesBeforeOpening", L1(ed3->text())},
            {"AlwaysShowXMinutesBeforeClosing", L1(ed4->text())},
            {"ShowEasternTime", onOff(cb3->isChecked())},
            {"Transparency", std::to_string(Transparency())},
            {"ExtendedHours", onOff(cb4->isChecked())}});
    // One replace of the file for the whole dialog: all keys are saved, or none.
    if (!WriteIniStrings(path, Section, entries))
        throw EIniFileException("Unable to write to " + path);
}

bool TOptions::UseSNTP() const
{
    return cb1->isChecked();
}

std::string TOptions::SNTPServer() const
{
    return L1(Edit1->text());
}

int32_t TOptions::SNTPPort() const
{
    return IniInteger(L1(ed1->text()), 123);
}

bool TOptions::AutoHide() const
{
    return cb2->isChecked();
}

int32_t TOptions::AlwaysShowXMinutesBeforeOpening() const
{
    return IniInteger(L1(ed3->text()), 15);
}

int32_t TOptions::AlwaysShowXMinutesBeforeClosing() const
{
    return IniInteger(L1(ed4->text()), 60);
}

bool TOptions::ShowEasternTime() const
{
    return cb3->isChecked();
}

int32_t TOptions::Transparency() const
{
    return ClampTransparency(IniInteger(L1(ed5->text()), 50));
}

bool TOptions::ExtendedHours() const
{
    return cb4->isChecked();
}

std::optional<bool> TOptions::AlarmBox(int32_t minutes, bool beforeClosing) const
{
    const QListWidget *list = beforeClosing ? clb2 : clb1;
    for (int i = 0; i < list->count(); ++i)
        if (AlarmItemMinutes(L1(list->item(i)->text())) == minutes)
            return list->item(i)->checkState() == Qt::Checked;
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
    Edit1->setText(QLatin1String(DefaultServer));
    ed1->setText(QStringLiteral("123"));
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
    ed5->setText(QString::number(Transparency()));
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
