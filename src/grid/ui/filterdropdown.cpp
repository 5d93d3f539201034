#include "grid/ui/filterdropdown.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace rg {

TdxFilterDropDown::TdxFilterDropDown(const QStringList& entries, int current, QWidget* parent)
    : QFrame(parent, Qt::Popup) {
    setObjectName(QStringLiteral("filterDropDown"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("filterList"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(true); // a thousand values measure like one
    list_->addItems(entries);
    list_->setCurrentRow(std::clamp(current, 0, static_cast<int>(entries.size()) - 1));
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(list_);
    connect(list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { choose(list_->row(item)); });
    connect(list_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { choose(list_->row(item)); });
}

void TdxFilterDropDown::popup(const QPoint& topLeft, int width) {
    const int w = std::max(width, std::min(list_->sizeHintForColumn(0) + 32, 400));
    resize(w, height());
    // Items know their height only once laid out.
    list_->doItemsLayout();
    const int rowHeight =
        std::max(list_->visualItemRect(list_->item(0)).height(), fontMetrics().height());
    resize(w, std::min(list_->count(), 16) * rowHeight + 2 * (frameWidth() + 1));
    QPoint at = topLeft;
    // Keep it on the screen: above the header when there is no room below.
    if (const QScreen* screen = QGuiApplication::screenAt(topLeft)) {
        const QRect area = screen->availableGeometry();
        if (at.y() + height() > area.bottom())
            at.ry() -= height();
        at.rx() = std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - w));
    }
    move(at);
    show();
    list_->setFocus();
    list_->scrollToItem(list_->currentItem());
}

// Hidden before the choice is carried out (it may open a dialog), deleted after.
void TdxFilterDropDown::choose(int row) {
    hide();
    emit chosen(row);
    deleteLater();
}

} // namespace rg
