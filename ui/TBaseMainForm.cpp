#include "TBaseMainForm.h"

#include "X11Window.h"

#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace quorvane {

const QColor TBaseMainForm::Background(36, 51, 66);
const QColor TBaseMainForm::TopLine(62, 87, 113);
const QColor TBaseMainForm::KeyColor(121, 91, 23);

TBaseMainForm::TBaseMainForm(QWidget *parent)
    : QWidget(parent,
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool
            | Qt::WindowDoesNotAcceptFocus)
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
    SkipTaskbar(this);
    TrackTruePosition(this);
    // A dock is what window managers leave in place when the user shows the desktop. Set once
    // the platform window exists, which is when the toolkit passes the type on.
    setAttribute(Qt::WA_X11NetWmWindowTypeDock);
}

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
        const QPoint target = DragTarget(FDragWindow);
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
    // Without this the change can wait in the toolkit's output buffer until the next repaint.
    FlushWindowSystem();
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

void TBaseMainForm::CheckPointer()
{
    SetPointerInside(isVisible() && VisibleShape().contains(mapFromGlobal(QCursor::pos())));
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
    const int w = width(), h = height();
    painter.fillRect(rect(), Background);
    // The cut corners are outside the shape; painting them keeps a platform without shaped
    // windows showing the key colour there, as the layout describes.
    painter.setPen(KeyColor);
    for (const QRect &r : QRegion(rect()).subtracted(Shape(w, h)))
        painter.drawPoint(r.topLeft());
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

QRegion TBaseMainForm::VisibleShape() const
{
    return Shape(width(), height()) & QRegion(0, FHiddenRows, width(), height() - FHiddenRows);
}

void TBaseMainForm::SetHiddenRows(int rows)
{
    FHiddenRows = std::max(rows, 0);
    UpdateShape();
}

void TBaseMainForm::PlaceWithHiddenRows(QPoint topLeft, int rows)
{
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
    QWidget::showEvent(event);
    CheckPointer();
}

} // namespace quorvane
