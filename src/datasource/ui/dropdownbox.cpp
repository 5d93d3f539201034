#include "datasource/ui/dropdownbox.h"

#include "datasource/ui/dialogparts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFrame>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace rg {

TDropDownBox::TDropDownBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // Typed text never becomes a list entry; Enter in the text goes to the dialog.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    lineEdit()->installEventFilter(this);
    view()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this] {
        if (!leavingText_ && OnSelect)
            OnSelect();
    });
}

void TDropDownBox::focusOutEvent(QFocusEvent* event) {
    // Qt activates the entry equal to the typed text when the text loses the focus.
    leavingText_ = true;
    QComboBox::focusOutEvent(event);
    leavingText_ = false;
    // Opening the box's own list, switching windows or closing the dialog is no leaving.
    const Qt::FocusReason reason = event->reason();
    QWidget* next = QApplication::focusWidget();
    if (OnExit && reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && next &&
        next != this && window()->isAncestorOf(next))
        OnExit();
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

void TDropDownBox::AddSortedItems(std::vector<std::string> names) {
    sortNames(names);
    const QString text = currentText();
    for (const std::string& n : names)
        addItem(QString::fromStdString(n));
    // Filling the list must not replace what the box shows.
    setCurrentIndex(findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive));
    setEditText(text);
}

// Enter in the text goes on to the dialog; Qt's combo box would first select the entry
// equal to the typed text.
bool TDropDownBox::passesEnterOn(QKeyEvent* event) const {
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !DroppedDown();
}

bool TDropDownBox::browseList(int key) {
    int step = key == Qt::Key_Down ? 1 : key == Qt::Key_Up ? -1 : 0;
    if (!SelectWhileBrowsing || step == 0 || count() == 0)
        return false;
    // Qt makes an entry current without highlighting it when the list opens; from there
    // the first key goes to the first entry.
    const QModelIndex current = view()->currentIndex();
    const bool highlighted = current.isValid() && view()->selectionModel()->isSelected(current);
    int row = highlighted ? current.row() + step : 0;
    row = std::clamp(row, 0, count() - 1);
    if (row == currentIndex())
        return true;
    view()->setCurrentIndex(model()->index(row, modelColumn()));
    setCurrentIndex(row);
    if (OnSelect)
        OnSelect();
    return true;
}

void TDropDownBox::keyPressEvent(QKeyEvent* event) {
    if (OnKeyPress && OnKeyPress(event->key())) {
        event->accept();
        return;
    }
    if (passesEnterOn(event)) {
        event->ignore();
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
        if (watched == lineEdit() && passesEnterOn(key)) {
            key->ignore();
            return true;
        }
        const auto held = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        if (watched == view() && !(key->modifiers() & held) && browseList(key->key()))
            return true;
        if (watched == emptyList_ &&
            (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
             key->key() == Qt::Key_Enter || key->key() == Qt::Key_F4)) {
            hidePopup();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

} // namespace rg
