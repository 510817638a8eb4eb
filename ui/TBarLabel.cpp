#include "TBarLabel.h"

#include <QAccessibleWidget>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLine>

#include <cmath>

namespace quorvane {

namespace {

// The box a plain-text label measures its text in.
constexpr qreal kMeasuringBox = 2000;

// A screen reader takes the bar's texts for static text, as it takes a label's.
QAccessibleInterface *AccessibleBarLabel(const QString &, QObject *object)
{
    auto *label = dynamic_cast<TBarLabel *>(object);
    return label ? new QAccessibleWidget(label, QAccessible::StaticText) : nullptr;
}

} // namespace

TBarLabel::TBarLabel(QWidget *parent)
    : QWidget(parent)
{
    static const bool readable = (QAccessible::installFactory(AccessibleBarLabel), true);
    Q_UNUSED(readable);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    FLayout.setTextOption(option);
    // Kept shaped for every paint until the text changes.
    FLayout.setCacheEnabled(true);
    Shape();
}

void TBarLabel::setText(const QString &text)
{
    if (text == FText)
        return;
    FText = text;
    // What a screen reader reads of a label is its text.
    setAccessibleName(text);
    const QSize was = size();
    Shape();
    // The countdown keeps its size nearly every second, and then its place too: painted now, it
    // spares the event loop a second round for a posted repaint. A new size may move the label
    // and bares what it covered; that waits for the one repaint of the whole change.
    if (size() == was && isVisible())
        repaint();
    else
        update();
}

void TBarLabel::setAlignment(Qt::Alignment alignment)
{
    if (alignment == FAlignment)
        return;
    FAlignment = alignment;
    Shape();
    update();
}

void TBarLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Shape();
        update();
    }
}

void TBarLabel::Shape()
{
    FLayout.clearLayout();
    FLayout.setText(FText);
    FLayout.setFont(font());
    FWidth = 0;
    if (FText.isEmpty()) {
        FHeight = QFontMetricsF(font()).height();
    } else {
        FLayout.beginLayout();
        QTextLine line = FLayout.createLine();
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
        FLayout.endLayout();
        FWidth = line.naturalTextWidth();
        // Unrounded, as a label adds it up; the line's own height is rounded up.
        FHeight = line.ascent() + line.descent();
    }
    // Measured as a label measures: placed in a large box by the alignment, centring left out,
    // then widened to whole pixels on both sides.
    const QPointF at = Origin(
        QSizeF(kMeasuringBox, kMeasuringBox), FAlignment & ~(Qt::AlignVCenter | Qt::AlignHCenter));
    FSize = QRectF(at, QSizeF(FWidth, FHeight)).toAlignedRect().size();
    if (size() != FSize) {
        resize(FSize);
        updateGeometry();
    }
}

QPointF TBarLabel::Origin(QSizeF box, Qt::Alignment alignment) const
{
    qreal x = 0;
    qreal y = 0;
    if (alignment & Qt::AlignBottom)
        y = box.height() - FHeight;
    else if (alignment & Qt::AlignVCenter)
        y = (box.height() - FHeight) / 2;
    if (alignment & Qt::AlignRight)
        x = box.width() - FWidth;
    else if (alignment & Qt::AlignHCenter)
        x = (box.width() - FWidth) / 2;
    return {x, y};
}

void TBarLabel::paintEvent(QPaintEvent *)
{
    if (FText.isEmpty())
        return;
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    FLayout.draw(&painter, Origin(QSizeF(size()), FAlignment));
}

} // namespace quorvane
