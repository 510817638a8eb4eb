#include "TBaseMainForm.h"

#include <QCursor>
#include <QEnterEvent>
#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace quorvane {

const QColor TBaseMainForm::Background(36, 51, 66);
const QColor TBaseMainForm::TopLine(62, 87, 113);
const QColor TBaseMainForm::KeyColor(121, 91, 23);

TBaseMainForm::TBaseMainForm(IDesktop *desktop, QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
            | Qt::WindowDoesNotAcceptFocus)
    , FOwnDesktop(desktop ? nullptr : MakeDesktop())
    , FDesktop(desktop ? desktop : FOwnDesktop.get())
    , Timer2(new QTimer(this))
{
    // A click must leave the keyboard focus in the user's application and still arrive here.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Timer2->setInterval(FadeIntervalMs);
    connect(Timer2, &QTimer::timeout, this, &TBaseMainForm::Timer2Timer);
    ApplyOpacity();
    FDesktop->PrepareWindow(this);
}

TBaseMainForm::~TBaseMainForm() = default;

QRegion TBaseMainForm::Shape(int w, int h)
{
    QRegion r(0, 0, w, h);
    const QPoint corner[] = {{0, h - 1}, {1, h - 2}, {1, h - 1}, {0, h - 2}, {2, h - 1}, {0, h - 3},
        {3, h - 1}, {0, h - 4}};
    for (const QPoint &p : corner) {
        r -= QRegion(p.x(), p.y(), 1, 1);
        r -= QRegion(w - 1 - p.x(), p.y(), 1, 1);
    }
    return r;
}

void TBaseMainForm::FormMouseDown(
    Qt::MouseButton button, Qt::KeyboardModifiers shift, int /*x*/, int /*y*/, QPoint screen)
{
    if (button != Qt::LeftButton)
        return;
    if (shift & Qt::ControlModifier) {
        FAlphaBlend = !FAlphaBlend;
        ApplyOpacity();
    }
    FDragPoint = screen;
    FDragWindow = pos();
    FDragging = true;
    FDragPlaced = false;
}

void TBaseMainForm::FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    FormMouseDown(button, shift, x, y, mapToGlobal(QPoint(x, y)));
}

void TBaseMainForm::FormMouseUp()
{
    EndDrag();
}

void TBaseMainForm::EndDrag()
{
    const bool placed = FDragging && FDragPlaced;
    FDragging = false;
    FDragPlaced = false;
    if (placed)
        PlacementEnded();
}

void TBaseMainForm::FormMouseMove(Qt::MouseButtons buttons, int x, int y)
{
    FormMouseMove(buttons, x, y, mapToGlobal(QPoint(x, y)));
}

void TBaseMainForm::FormMouseMove(Qt::MouseButtons buttons, int x, int y, QPoint screen)
{
    if (!FDragging || !(buttons & Qt::LeftButton)) {
        EndDrag();
        const bool inGrip
            = x >= width() - GripSize && x < width() && y >= height() - GripSize && y < height();
        if (inGrip != FSizing) {
            FSizing = inGrip;
            setCursor(inGrip ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
        }
        return;
    }
    const QPoint d = screen - FDragPoint;
    FDragPoint = screen;
    if (FSizing) {
        const int w = std::clamp(width() + d.x(), MinWidth, MaxWidth);
        const int h = std::clamp(height() + d.y(), MinHeight, MaxHeight);
        if (w != width() || h != height())
            FDragPlaced = true;
        setGeometry(this->x(), this->y(), w, h);
        repaint();
    } else {
        FDragWindow += d;
        const QPoint target = DragTarget(FDragWindow, screen);
        if (target != pos()) {
            FDragPlaced = true;
            move(target);
        }
    }
}

void TBaseMainForm::SetOpacity(int value)
{
    if (value == FOpacity)
        return;
    FOpacity = value;
    ApplyOpacity();
}

void TBaseMainForm::ApplyOpacity()
{
    const double effective = FAlphaBlend ? FOpacity / 255.0 : 1.0;
    if (effective == FAppliedOpacity)
        return;
    FAppliedOpacity = effective;
    ++FOpacityApplications;
    setWindowOpacity(effective);
    if (!FDesktop->OpacityHonoured()) {
        // One effect over the whole window, its children included.
        auto *effect = qobject_cast<QGraphicsOpacityEffect *>(graphicsEffect());
        if (!effect) {
            effect = new QGraphicsOpacityEffect(this);
            setGraphicsEffect(effect);
        }
        effect->setOpacity(effective);
    }
    // Without this the change can wait in the toolkit's output buffer until the next repaint.
    FDesktop->Flush();
}

bool TBaseMainForm::FadeRunning() const
{
    return Timer2->isActive();
}

void TBaseMainForm::UpdateFade()
{
    // Nothing can change while the opacity rests at its target: the timer sleeps until the
    // pointer crosses the edge or the floor moves.
    const bool moving = FPointerInside ? FOpacity < FFadeMax : FOpacity > FFadeMin;
    if (moving && !Timer2->isActive())
        Timer2->start();
    else if (!moving)
        Timer2->stop();
}

void TBaseMainForm::Timer2Timer()
{
    if (FPointerInside) {
        if (FOpacity < FFadeMax)
            SetOpacity(std::min(FOpacity + FadeStep, static_cast<int>(FFadeMax)));
    } else if (FOpacity > FFadeMin) {
        SetOpacity(std::max(FOpacity - FadeStep, static_cast<int>(FFadeMin)));
    }
    UpdateFade();
}

void TBaseMainForm::SetFadeMin(uint8_t value)
{
    if (value == FFadeMin)
        return;
    FFadeMin = value;
    UpdateFade();
}

void TBaseMainForm::SetPointerInside(bool inside)
{
    FPointerInside = inside;
    UpdateFade();
}

bool TBaseMainForm::PointerOverShape() const
{
    return isVisible() && VisibleShape().contains(mapFromGlobal(QCursor::pos()));
}

void TBaseMainForm::CheckPointer()
{
    SetPointerInside(PointerOverShape());
}

void TBaseMainForm::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    FormMouseDown(
        event->button(), event->modifiers(), p.x(), p.y(), event->globalPosition().toPoint());
}

void TBaseMainForm::mouseReleaseEvent(QMouseEvent *)
{
    FormMouseUp();
}

void TBaseMainForm::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    FormMouseMove(event->buttons(), p.x(), p.y(), event->globalPosition().toPoint());
}

void TBaseMainForm::enterEvent(QEnterEvent *)
{
    SetPointerInside(true);
}

void TBaseMainForm::leaveEvent(QEvent *)
{
    SetPointerInside(false);
}

void TBaseMainForm::paintEvent(QPaintEvent *)
{
    // A change of scale shows first as a repaint at the new device size.
    UpdateShape();
    QPainter painter(this);
    painter.translate(0, ContentTop());
    const int w = width(), h = BarHeight();
    // A see-through background leaves the cut corners clear, as a shape would.
    const bool clear = testAttribute(Qt::WA_TranslucentBackground);
    if (clear)
        painter.setClipRegion(Shape(w, h));
    painter.fillRect(0, 0, w, h, Background);
    // A desktop without shaped windows shows the key colour at the cut corners, as the layout
    // describes. Where the shape cuts them, the shape is in device pixels, scaled and rounded
    // by the platform, and key pixels painted beside it would show.
    if (!FDesktop->ShapesHonoured() && !clear) {
        for (const QRect &r : QRegion(0, 0, w, h).subtracted(Shape(w, h)))
            painter.fillRect(r, KeyColor);
    }
    painter.setPen(TopLine);
    painter.drawLine(4, 0, w - 5, 0);
}

void TBaseMainForm::UpdateShape()
{
    // The platform holds the shape in device pixels: a new scale needs it again even when the
    // size in the window's own pixels stayed the same.
    const QSize device = (QSizeF(size()) * devicePixelRatioF()).toSize();
    if (device == FShapeDeviceSize && FHiddenRows == FShapeHiddenRows)
        return;
    FShapeDeviceSize = device;
    FShapeHiddenRows = FHiddenRows;
    const QRegion shape = VisibleShape();
    if (mask() == shape)
        clearMask();
    setMask(shape);
}

QRect TBaseMainForm::VisibleRect() const
{
    if (FCutHeight)
        return geometry();
    return QRect(x(), y() + FHiddenRows, width(), std::max(height() - FHiddenRows, 1));
}

QRegion TBaseMainForm::VisibleShape() const
{
    if (FCutHeight)
        return QRegion(rect());
    return Shape(width(), height()) & QRegion(0, FHiddenRows, width(), height() - FHiddenRows);
}

void TBaseMainForm::SetHiddenRows(int rows)
{
    FHiddenRows = std::max(rows, 0);
    UpdateShape();
}

void TBaseMainForm::PlaceWithHiddenRows(QPoint topLeft, int rows)
{
    if (!FDesktop->ShapesHonoured()) {
        PlaceCut(topLeft, rows);
        return;
    }
    // Rows are cut before the window moves and given back after: the other order would show
    // them for a moment over whatever lies above the strip.
    if (topLeft == pos() && rows == FHiddenRows)
        return;
    FPlacing = true;
    if (rows > FHiddenRows)
        SetHiddenRows(rows);
    if (topLeft != pos())
        move(topLeft);
    SetHiddenRows(rows);
    FPlacing = false;
    // Weighed in between, a pointer on the strip of a bar being revealed lies outside the old
    // shape: the bar would retract at the next auto-hide step and come back, over and over.
    CheckPointer();
}

void TBaseMainForm::PlaceCut(QPoint topLeft, int rows)
{
    // Only the window's own size cuts it: it shrinks to what shows, at the place where that is.
    const int full = BarHeight();
    rows = std::clamp(rows, 0, full - 1);
    const QRect target(topLeft.x(), topLeft.y() + rows, width(), full - rows);
    if (target == geometry() && rows == FHiddenRows)
        return;
    FPlacing = true;
    FHiddenRows = rows;
    FCutHeight = rows > 0 ? full : 0;
    setGeometry(target);
    FPlacing = false;
    CheckPointer();
}

bool TBaseMainForm::event(QEvent *event)
{
    if (event->type() == QEvent::ScreenChangeInternal)
        UpdateShape();
    return QWidget::event(event);
}

void TBaseMainForm::resizeEvent(QResizeEvent *event)
{
    UpdateShape();
    QWidget::resizeEvent(event);
}

void TBaseMainForm::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (!FDragging && !FPlacing)
        CheckPointer();
}

void TBaseMainForm::showEvent(QShowEvent *event)
{
    if (graphicsEffect()) {
        // The effect that draws the opacity draws the window with its children at once. A
        // child that fills its background with an opaque colour is repainted alone, past the
        // effect; one step short of opaque, it is repainted with the window.
        for (QWidget *child : findChildren<QWidget *>()) {
            QPalette p = child->palette();
            QColor c = p.color(child->backgroundRole());
            if (child->autoFillBackground() && c.alpha() == 255) {
                c.setAlpha(254);
                p.setColor(child->backgroundRole(), c);
                child->setPalette(p);
            }
        }
    }
    QWidget::showEvent(event);
    CheckPointer();
}

} // namespace quorvane
