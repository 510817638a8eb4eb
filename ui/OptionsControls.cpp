#include "OptionsControls.h"

#include "Latin1.h"
#include "TOptions.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace quorvane {

namespace {

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

QListWidget *MakeCheckList(QWidget *parent, const char *name,
    const char *const (&items)[TOptionValues::AlarmItems], int x, int y, int w, int h)
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

struct ReadControl
{
    void operator()(const QCheckBox *box, bool &on) const { on = box->isChecked(); }
    void operator()(const QLineEdit *field, std::string &text) const { text = L1(field->text()); }
    void operator()(const QListWidget *list, std::array<bool, TOptionValues::AlarmItems> &on) const
    {
        for (size_t i = 0; i < on.size(); ++i)
            on[i] = list->item(static_cast<int>(i))->checkState() == Qt::Checked;
    }
};

struct WriteControl
{
    void operator()(QCheckBox *box, bool on) const { box->setChecked(on); }
    void operator()(QLineEdit *field, const std::string &text) const
    {
        // A field whose text stands keeps its cursor and its undo.
        if (L1(field->text()) != text)
            field->setText(L1(text));
    }
    void operator()(QListWidget *list, const std::array<bool, TOptionValues::AlarmItems> &on) const
    {
        for (size_t i = 0; i < on.size(); ++i)
            list->item(static_cast<int>(i))->setCheckState(on[i] ? Qt::Checked : Qt::Unchecked);
    }
};

// Each control with the record's member for it.
template<class Values, class Visit> void EachControl(const TOptions &o, Values &v, Visit visit)
{
    visit(o.cb1, v.cb1);
    visit(o.Edit1, v.Edit1);
    visit(o.ed1, v.ed1);
    visit(o.clb1, v.clb1);
    visit(o.clb2, v.clb2);
    visit(o.cb2, v.cb2);
    visit(o.ed3, v.ed3);
    visit(o.ed4, v.ed4);
    visit(o.cb3, v.cb3);
    visit(o.ed5, v.ed5);
    visit(o.cb4, v.cb4);
}

} // namespace

void BuildOptionsControls(TOptions &d)
{
    d.setObjectName(QStringLiteral("Options"));
    d.setWindowTitle(QStringLiteral("Options"));
    d.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    d.setFont(QFont(QStringLiteral("Arial"), 9));
    d.setFixedSize(432, 450);

    d.btnConfirm = Place(new QPushButton(QStringLiteral("OK"), &d), "btnConfirm", 260, 412, 75, 25);
    d.btnCancel
        = Place(new QPushButton(QStringLiteral("Cancel"), &d), "btnCancel", 343, 412, 75, 25);
    for (QPushButton *b : {d.btnConfirm, d.btnCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    d.ScrollBox1 = Place(new QScrollArea(&d), "ScrollBox1", 11, 12, 406, 383);
    d.ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    d.ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d.ScrollBox1->setWidgetResizable(true);
    // The area holds the tab stops; it is none itself.
    d.ScrollBox1->setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget;
    content->setFixedHeight(708);
    auto *stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    d.Panel4 = MakePanel("Panel4", 148);
    d.Panel3 = MakePanel("Panel3", 391);
    d.Panel1 = MakePanel("Panel1", 85);
    d.Panel2 = MakePanel("Panel2", 84);
    for (QFrame *p : {d.Panel4, d.Panel3, d.Panel1, d.Panel2})
        stack->addWidget(p);
    d.ScrollBox1->setWidget(content);

    d.cb1
        = Place(new QCheckBox(QStringLiteral("Use SNTP serrver"), d.Panel4), "cb1", 10, 7, 160, 17);
    d.Label8 = Place(new QLabel(QStringLiteral("SNTP server"), d.Panel4), "Label8", 9, 27);
    d.Edit1 = Place(new QLineEdit(d.Panel4), "Edit1", 9, 44, 144, 23);
    d.Label11
        = Place(new QLabel(QStringLiteral("Port (usually 123)"), d.Panel4), "Label11", 162, 28);
    d.ed1 = Place(new QLineEdit(d.Panel4), "ed1", 161, 44, 98, 23);
    d.SpeedButton2 = MakeFlatButton(d.Panel4, "SpeedButton2", "Test", 265, 45);
    d.SpeedButton1 = MakeFlatButton(d.Panel4, "SpeedButton1", "Default", 324, 45);
    d.Label10 = Place(
        new QLabel(QStringLiteral(
                       "The SNTP server is used to synchronize the internal application Eastern "
                       "Zone (US & Canada) clock to the system clock. If you don't use SNTP server "
                       "the system clock will be used to calculate Eastern Zone time and date. In "
                       "such case if the system clock is not correct also the timer will not "
                       "correctly count down."),
            d.Panel4),
        "Label10", 8, 73, 357, 70);
    d.Label10->setWordWrap(true);
    d.Label10->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    d.Label10->setFont(QFont(QStringLiteral("Arial"), 8));

    d.Label7 = Place(
        new QLabel(QStringLiteral("Check the sound alarms that you want to enable"), d.Panel3),
        "Label7", 12, 6);
    d.Label1
        = Place(new QLabel(QStringLiteral("Alarms before opening"), d.Panel3), "Label1", 11, 24);
    d.clb1 = MakeCheckList(d.Panel3, "clb1", TOptionValues::OpeningItems, 12, 42, 364, 154);
    d.Label2
        = Place(new QLabel(QStringLiteral("Alarms before closing"), d.Panel3), "Label2", 13, 204);
    d.clb2 = MakeCheckList(d.Panel3, "clb2", TOptionValues::ClosingItems, 12, 221, 363, 157);

    d.cb2
        = Place(new QCheckBox(QStringLiteral("Auto hide timer"), d.Panel1), "cb2", 11, 9, 119, 17);
    d.Label3 = Place(new QLabel(QStringLiteral("Always show timer") + kBlanks25
                             + QStringLiteral("minutes before market opens"),
                         d.Panel1),
        "Label3", 12, 34);
    d.ed3 = Place(new QLineEdit(d.Panel1), "ed3", 118, 31, 66, 19);
    d.Label4 = Place(new QLabel(QStringLiteral("Always show timer") + kBlanks25
                             + QStringLiteral("minutes before market closes"),
                         d.Panel1),
        "Label4", 12, 57);
    d.ed4 = Place(new QLineEdit(d.Panel1), "ed4", 118, 54, 66, 19);

    d.cb3 = Place(new QCheckBox(QStringLiteral("Show Eastern Time Zone clock"), d.Panel2), "cb3",
        11, 9, 203, 17);
    d.Label5 = Place(
        new QLabel(
            QStringLiteral("Transparency level") + kBlanks25 + QStringLiteral("(0-100)"), d.Panel2),
        "Label5", 12, 32);
    d.ed5 = Place(new QLineEdit(d.Panel2), "ed5", 118, 29, 66, 19);
    // Below the last line, on the check boxes' pitch; the panel grew by this one line.
    d.cb4 = Place(new QCheckBox(QStringLiteral("Show pre-market and after-hours"), d.Panel2), "cb4",
        11, 55, 203, 17);
    // The fields sit over the blank stretch of their labels, so each line reads as a sentence.
    for (QLineEdit *e : {d.ed3, d.ed4, d.ed5})
        e->raise();
    d.ed5->installEventFilter(&d);

    QWidget::setTabOrder(d.btnConfirm, d.btnCancel);
    QWidget::setTabOrder(d.btnCancel, d.ScrollBox1);
    QWidget *order[] = {d.ScrollBox1, d.Edit1, d.cb1, d.ed1, d.clb2, d.clb1, d.cb2, d.ed3, d.ed4,
        d.cb3, d.ed5, d.cb4};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    QObject::connect(d.btnConfirm, &QPushButton::clicked, &d, &TOptions::btnConfirmClick);
    QObject::connect(d.btnCancel, &QPushButton::clicked, &d, &TOptions::btnCancelClick);
    QObject::connect(d.SpeedButton1, &QToolButton::clicked, &d, &TOptions::SpeedButton1Click);
    QObject::connect(d.SpeedButton2, &QToolButton::clicked, &d, &TOptions::SpeedButton2Click);
}

void ReadOptionsControls(const TOptions &dialog, TOptionValues &values)
{
    EachControl(dialog, values, ReadControl {});
}

void WriteOptionsControls(const TOptions &dialog, const TOptionValues &values)
{
    EachControl(dialog, values, WriteControl {});
}

} // namespace quorvane
