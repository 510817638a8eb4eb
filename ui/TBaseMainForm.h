#pragma once

#include "BarPlacement.h"
#include "Desktop.h"

#include <QPoint>
#include <QWidget>

#include <cstdint>
#include <memory>

class QTimer;

namespace quorvane {

// A borderless, always-on-top bar that never takes the focus: dragged by any point, resized from
// its bottom-right grip, translucent, and fading up while the pointer is over it.
class TBaseMainForm : public QWidget
{
public:
    // The desktop the bar asks; the platform's own when null.
    explicit TBaseMainForm(IDesktop *desktop = nullptr, QWidget *parent = nullptr);
    ~TBaseMainForm() override;

    static constexpr int GripSize = 10;
    static constexpr int MinWidth = 200, MaxWidth = 500, MinHeight = 34, MaxHeight = 100;
    static constexpr TBarLimits Limits() { return {{MinWidth, MinHeight}, {MaxWidth, MaxHeight}}; }
    static constexpr int FadeStep = 20, FadeIntervalMs = 20;

    // Pointer handlers: (x, y) in the window's client coordinates for the grip, and the pointer's
    // screen position for the drag, which must not depend on where the window is believed to be
    // while it is moving.
    void FormMouseDown(
        Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y, QPoint screen);
    void FormMouseUp();
    virtual void FormMouseMove(Qt::MouseButtons buttons, int x, int y, QPoint screen);
    // The same, with the screen position mapped from the client point.
    void FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void FormMouseMove(Qt::MouseButtons buttons, int x, int y);
    void Timer2Timer();

    int Opacity() const { return FOpacity; }
    bool AlphaBlend() const { return FAlphaBlend; }
    uint8_t FadeMin() const { return FFadeMin; }
    uint8_t FadeMax() const { return FFadeMax; }
    // The fade floor; the fade resumes towards it when it moved.
    void SetFadeMin(uint8_t value);
    bool Dragging() const { return FDragging; }
    bool FadeRunning() const;
    // Whether the pointer is over the window, as enter and leave events tell it.
    bool PointerInside() const { return FPointerInside; }
    // Whether the pointer is over the visible window now, as its position tells it.
    bool PointerOverShape() const;
    void SetPointerInside(bool inside);
    // Hides the window's top rows from sight and from the pointer; 0 shows the whole window.
    void SetHiddenRows(int rows);
    // Moves the window to `topLeft` with `rows` top rows hidden, never showing more of it on
    // the way than before or after, and then weighs the pointer against the finished shape.
    void PlaceWithHiddenRows(QPoint topLeft, int rows);
    int HiddenRows() const { return FHiddenRows; }
    // The bar's own height, also while the window itself is cut to its strip.
    int BarHeight() const { return FCutHeight ? FCutHeight : height(); }
    // Where the bar's top row lies in the window: above it, by the rows cut away, while the
    // window is cut to its strip, so that the strip shows the bar's bottom rows, as a shape
    // would. What the bar holds is placed from here down.
    int ContentTop() const { return FCutHeight ? -FHiddenRows : 0; }
    // What of the window shows: a retracted bar is its strip.
    QRect VisibleRect() const;
    IDesktop &Desktop() const { return *FDesktop; }
    // How often the window opacity was handed to the platform.
    int OpacityApplications() const { return FOpacityApplications; }

    // The window's shape: everything but the sixteen corner pixels of the bottom corners.
    static QRegion Shape(int width, int height);

    static const QColor Background;
    static const QColor TopLine;
    static const QColor KeyColor;

protected:
    // Where a drag step puts the window's top-left corner, given where the pointer's movement
    // alone would put it and where the pointer is.
    virtual QPoint DragTarget(QPoint topLeft, QPoint /*pointer*/) const { return topLeft; }
    // A drag or a resize from the grip has ended, and it moved or sized the window.
    virtual void PlacementEnded() { }
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void EndDrag();
    void SetOpacity(int value);
    void ApplyOpacity();
    void UpdateFade();
    void CheckPointer();
    void UpdateShape();
    QRegion VisibleShape() const;
    void PlaceCut(QPoint topLeft, int rows);

    std::unique_ptr<IDesktop> FOwnDesktop;
    IDesktop *FDesktop;
    QTimer *Timer2;
    QPoint FDragPoint;
    // Where the drag has put the window so far; the window's own position can lag behind by the
    // window manager's answers to the previous steps.
    QPoint FDragWindow;
    bool FDragging = false;
    bool FDragPlaced = false; // this drag has moved or sized the window
    // The move and the shape change are two steps; the pointer is weighed after both.
    bool FPlacing = false;
    uint8_t FFadeMin = 120;
    uint8_t FFadeMax = 220;
    int FOpacity = 80;
    bool FAlphaBlend = true;
    bool FPointerInside = false;
    bool FSizing = false;
    double FAppliedOpacity = -1;
    int FOpacityApplications = 0;
    QSize FShapeDeviceSize;
    int FHiddenRows = 0;
    int FShapeHiddenRows = 0;
    // The bar's height while the window is cut to its strip, where the desktop ignores shapes.
    int FCutHeight = 0;
};

} // namespace quorvane
