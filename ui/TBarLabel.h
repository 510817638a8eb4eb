#pragma once

#include <QString>
#include <QTextLayout>
#include <QWidget>

namespace quorvane {

// One line of the bar's text, always as large as its text. A general label shapes the same text
// again for its size hint, its minimum size hint and each paint; the countdown changes every
// second all day, and that shaping, done cold each second, was a third of the idle bar's time.
// This one shapes a text once, when it is set, and paints the glyphs it got. Sizes and pixels are
// those of a plain-text label of the same font and alignment.
class TBarLabel : public QWidget
{
public:
    explicit TBarLabel(QWidget *parent = nullptr);

    QString text() const { return FText; }
    // Sizes the label to the text and schedules its repaint; the same text does nothing.
    void setText(const QString &text);
    Qt::Alignment alignment() const { return FAlignment; }
    void setAlignment(Qt::Alignment alignment);
    QSize sizeHint() const override { return FSize; }
    QSize minimumSizeHint() const override { return FSize; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Shape();
    // Where the line starts inside a box of the given size, as the toolkit's text drawing puts it.
    QPointF Origin(QSizeF box, Qt::Alignment alignment) const;

    QString FText;
    Qt::Alignment FAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    QTextLayout FLayout;
    qreal FWidth = 0;
    qreal FHeight = 0;
    QSize FSize;
};

} // namespace quorvane
