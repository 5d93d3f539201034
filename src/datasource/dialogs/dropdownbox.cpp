#include "datasource/dialogs/dropdownbox.h"

#include <QAbstractItemView>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>

namespace rg {

TDropDownBox::TDropDownBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typed text never becomes a list entry; Enter in the text goes to the dialog.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
    view()->installEventFilter(this);
}

bool TDropDownBox::DroppedDown() const {
    return (emptyList_ && emptyList_->isVisible()) || (view() && view()->isVisible());
}

void TDropDownBox::SetDroppedDown(bool on) {
    if (on)
        showPopup();
    else
        hidePopup();
}

void TDropDownBox::showPopup() {
    if (OnDropDown)
        OnDropDown();
    if (count() > 0) {
        QComboBox::showPopup();
        return;
    }
    // Qt opens no list for an empty box; show an empty one as tall as one row.
    if (!emptyList_) {
        emptyList_ = new QFrame(this, Qt::Popup);
        emptyList_->setObjectName("emptyList");
        emptyList_->setFrameShape(QFrame::Box);
        emptyList_->setAutoFillBackground(true);
        emptyList_->setBackgroundRole(QPalette::Base);
        emptyList_->installEventFilter(this);
    }
    emptyList_->setGeometry(QRect(mapToGlobal(QPoint(0, height())), QSize(width(), 6)));
    emptyList_->show();
    emptyList_->setFocus();
}

void TDropDownBox::hidePopup() {
    if (emptyList_ && emptyList_->isVisible())
        emptyList_->hide();
    QComboBox::hidePopup();
}

void TDropDownBox::keyPressEvent(QKeyEvent* event) {
    if (OnKeyPress && OnKeyPress(event->key())) {
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

bool TDropDownBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool inList = watched == view() || watched == emptyList_;
        if ((watched == lineEdit() || inList) && OnKeyPress && OnKeyPress(key->key()))
            return true;
        if (watched == emptyList_ && (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
                                      key->key() == Qt::Key_Enter || key->key() == Qt::Key_F4)) {
            hidePopup();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

} // namespace rg
