#include "datasource/ui/splitter.h"

#include <QLayout>
#include <QMouseEvent>

namespace rg {

TSplitter::TSplitter(Qt::Orientation between, QWidget* control, QWidget* parent)
    : QFrame(parent), between_(between), control_(control) {
    setFrameStyle(QFrame::Panel | QFrame::Raised); // beveled
    setLineWidth(1);
    setCursor(between == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    if (between == Qt::Horizontal)
        setFixedWidth(3);
    else
        setFixedHeight(3);
}

int TSplitter::controlSize() const {
    return between_ == Qt::Horizontal ? control_->width() : control_->height();
}

int TSplitter::along(const QPointF& globalPos) const {
    return qRound(between_ == Qt::Horizontal ? globalPos.x() : globalPos.y());
}

bool TSplitter::MoveTo(int newSize) {
    if (newSize == controlSize())
        return true;
    if (OnCanResize && !OnCanResize(newSize))
        return false;
    if (between_ == Qt::Horizontal)
        control_->setFixedWidth(newSize);
    else
        control_->setFixedHeight(newSize);
    // Lay the window out now, so that OnMoved sees the new places.
    if (QWidget* window = this->window(); window && window->layout())
        window->layout()->activate();
    if (control_->parentWidget() && control_->parentWidget()->layout())
        control_->parentWidget()->layout()->activate();
    if (OnMoved)
        OnMoved();
    return true;
}

void TSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    dragging_ = true;
    dragStart_ = along(event->globalPosition());
    sizeAtStart_ = controlSize();
}

void TSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return QFrame::mouseMoveEvent(event);
    MoveTo(sizeAtStart_ + along(event->globalPosition()) - dragStart_);
}

void TSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_)
        return QFrame::mouseReleaseEvent(event);
    dragging_ = false;
    MoveTo(sizeAtStart_ + along(event->globalPosition()) - dragStart_);
}

} // namespace rg
