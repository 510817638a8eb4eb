#include "TBarLabel.h"

#include <QAccessible>
#include <QLabel>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

QFont BarFont(bool bold, int pixels)
{
    QFont f;
    f.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")});
    f.setBold(bold);
    f.setPixelSize(pixels);
    return f;
}

template<class L> void Dress(L &label, const QFont &font, Qt::Alignment align, QColor ink)
{
    QPalette p = label.palette();
    p.setColor(QPalette::WindowText, ink);
    p.setColor(QPalette::Window, QColor(0x20, 0x20, 0x28));
    label.setPalette(p);
    label.setAutoFillBackground(true);
    label.setFont(font);
    label.setAlignment(align);
}

} // namespace

// The bar's own label must look exactly like the general label it stands in for: the same size
// for every text (the bar places them right-aligned by it) and the same pixels.
TEST(BarLabel, SizedAndDrawnAsAPlainTextLabel)
{
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignTop;
    const Qt::Alignment plain = Qt::AlignLeft | Qt::AlignVCenter;
    struct Row
    {
        const char *text;
        bool bold;
        int pixels;
        Qt::Alignment align;
        QColor ink;
    };
    const Row rows[] = {
        {"0:29:59", true, 16, right, Qt::white},
        {"11:11:11", true, 16, right, Qt::white},
        {"--:--:--", true, 16, right, Qt::white},
        {"EST 09:00 AM", true, 16, plain, Qt::white},
        {"EDT 11:59 PM", true, 27, plain, Qt::white},
        {"1:01:11", true, 40, right, Qt::white},
        {"Market Closed", true, 12, right, QColor(255, 0, 0)},
        {"Market Open", true, 12, right, QColor(0, 255, 0)},
        {"The schedule needs update", true, 12, right, Qt::white},
        {"Pre-Market", true, 9, right, QColor(255, 255, 0)},
        {"Caption of the desk ", false, 12, plain, Qt::white},
        {"", true, 16, right, Qt::white},
    };
    for (const Row &r : rows) {
        QLabel general;
        TBarLabel own;
        // Set through a longer text first, as the bar does all day, and given the row's font
        // last, as the bar scales its fonts with its height: the size follows both.
        Dress(general, BarFont(!r.bold, 20), r.align, r.ink);
        Dress(own, BarFont(!r.bold, 20), r.align, r.ink);
        for (const QString &text :
            {QStringLiteral("10:00:00 and more"), QString::fromLatin1(r.text)}) {
            general.setText(text);
            own.setText(text);
        }
        general.setFont(BarFont(r.bold, r.pixels));
        own.setFont(BarFont(r.bold, r.pixels));
        general.adjustSize();
        own.adjustSize();
        ASSERT_EQ(own.size(), general.size()) << r.text << " at " << r.pixels;
        EXPECT_EQ(own.grab().toImage(), general.grab().toImage()) << r.text << " at " << r.pixels;
        QAccessibleInterface *read = QAccessible::queryAccessibleInterface(&own);
        QAccessibleInterface *want = QAccessible::queryAccessibleInterface(&general);
        EXPECT_EQ(read->text(QAccessible::Name), want->text(QAccessible::Name)) << r.text;
        EXPECT_EQ(read->role(), want->role()) << r.text;
    }
}

// The countdown's new second is on screen when the tick that set it ends, without a second round
// of the event loop; a text of a new size waits for that round, as the bar moves the label first.
TEST(BarLabel, ASameSizedTextIsPaintedAtOnceAndANewSizeAfterItsMove)
{
    struct Counting : TBarLabel
    {
        void paintEvent(QPaintEvent *event) override
        {
            ++paints;
            TBarLabel::paintEvent(event);
        }
        int paints = 0;
    };
    struct Row
    {
        const char *text;
        int paintedAtOnce;
    };
    const Row rows[] = {{"0:29:58", 1}, {"10:29:58", 0}, {"--:--:--", 0}, {"0:29:57", 0}};
    QWidget bar;
    bar.resize(240, 34);
    auto *label = new Counting;
    label->setParent(&bar);
    label->setFont(BarFont(true, 16));
    label->setText(QStringLiteral("0:29:59"));
    bar.show();
    QCoreApplication::processEvents();
    for (const Row &r : rows) {
        const QSize was = label->size();
        label->paints = 0;
        label->setText(QString::fromLatin1(r.text));
        EXPECT_EQ(label->paints, r.paintedAtOnce) << r.text;
        EXPECT_EQ(label->size() == was, r.paintedAtOnce == 1) << r.text;
        QCoreApplication::processEvents();
        EXPECT_GE(label->paints, 1) << r.text << ": never painted";
    }
}
