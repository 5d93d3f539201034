#pragma once

// A bar beside a panel that resizes the panel when dragged. The panel sits in a box
// layout before the bar and keeps the fixed width or height the bar gives it.

#include <QFrame>

#include <functional>

namespace rg {

class TSplitter : public QFrame {
    Q_OBJECT
public:
    // A bar between side-by-side controls resizes the width of `control`, a bar between
    // stacked ones its height.
    TSplitter(Qt::Orientation between, QWidget* control, QWidget* parent);

    // Asked before every new size; false keeps the current one.
    std::function<bool(int newSize)> OnCanResize;
    // Runs after the control took a new size.
    std::function<void()> OnMoved;

    // Gives the control a new size as a drag does; false when it was refused.
    bool MoveTo(int newSize);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int controlSize() const;
    int along(const QPointF& globalPos) const;

    Qt::Orientation between_;
    QWidget* control_;
    bool dragging_ = false;
    int dragStart_ = 0;
    int sizeAtStart_ = 0;
};

} // namespace rg
