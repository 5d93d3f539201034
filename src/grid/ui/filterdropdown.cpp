#include "grid/ui/filterdropdown.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace rg {
namespace {

constexpr int kEntryRole = Qt::UserRole; // the Entry, FirstValue plus a row, or kAllEntry
constexpr int kCountRole = TdxFilterDropDown::CountRole;
constexpr int kAllEntry = -1;

// The count of rows beside each entry, right-aligned and dimmed, so that the entry's text
// stays what a search and a test read.
class CountDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QString count = index.data(kCountRole).toString();
        if (count.isEmpty())
            return;
        painter->save();
        const bool selected = option.state & QStyle::State_Selected;
        painter->setPen(
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
        painter->drawText(option.rect.adjusted(0, 0, -6, 0), Qt::AlignRight | Qt::AlignVCenter,
                          count);
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString count = index.data(kCountRole).toString();
        if (!count.isEmpty())
            size.rwidth() += option.fontMetrics.horizontalAdvance(count) + 18;
        return size;
    }
};

} // namespace

TdxFilterDropDown::TdxFilterDropDown(const FilterDropDownContents& contents, int current,
                                     QWidget* parent)
    : QFrame(parent, Qt::Popup) {
    setObjectName(QStringLiteral("filterDropDown"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("filterSearch"));
    search_->setPlaceholderText(tr("搜索"));
    search_->setClearButtonEnabled(true);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("filterList"));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(true); // a thousand values measure like one
    list_->setItemDelegate(new CountDelegate(list_));
    ok_ = new QPushButton(tr("确定"), this);
    ok_->setObjectName(QStringLiteral("filterOk"));
    auto cancel = new QPushButton(tr("取消"), this);
    cancel->setObjectName(QStringLiteral("filterCancel"));

    addEntry(tr("(All)"), All, false, -1);
    addEntry(tr("(Custom...)"), Custom, false, -1);
    addEntry(tr("全选"), kAllEntry, true, -1);
    all_ = list_->item(list_->count() - 1);
    if (contents.hasBlanks) {
        addEntry(tr("(Blanks)"), Blanks, true, contents.blankCount);
        blanks_ = list_->item(list_->count() - 1);
        addEntry(tr("(NonBlanks)"), NonBlanks, true, -1);
        nonBlanks_ = list_->item(list_->count() - 1);
    }
    for (qsizetype i = 0; i < contents.values.size(); ++i) {
        const size_t at = static_cast<size_t>(i);
        addEntry(contents.values[i], FirstValue + static_cast<int>(i), true,
                 at < contents.counts.size() ? contents.counts[at] : -1);
    }
    QListWidgetItem* start = entryItem(current);
    list_->setCurrentItem(start ? start : list_->item(0));

    auto buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(3);
    layout->addWidget(search_);
    layout->addWidget(list_);
    layout->addLayout(buttons);

    connect(list_, &QListWidget::itemClicked, this, &TdxFilterDropDown::clicked);
    connect(list_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        boxClicked_ = false;
        clicked(item);
    });
    connect(list_, &QListWidget::itemChanged, this, &TdxFilterDropDown::checkChanged);
    connect(search_, &QLineEdit::textChanged, this, &TdxFilterDropDown::narrow);
    connect(ok_, &QPushButton::clicked, this, [this] {
        hide();
        emit ticked(ticks());
        deleteLater();
    });
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    list_->viewport()->installEventFilter(this);
    search_->installEventFilter(this);
    syncSummaryTicks();
}

void TdxFilterDropDown::addEntry(const QString& text, int entry, bool checkable, int64_t count) {
    auto item = new QListWidgetItem(text, list_);
    item->setData(kEntryRole, entry);
    if (count >= 0)
        item->setData(kCountRole, QString::number(count));
    if (checkable)
        item->setCheckState(Qt::Checked);
    else
        item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
}

QListWidgetItem* TdxFilterDropDown::entryItem(int entry) const {
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->data(kEntryRole).toInt() == entry)
            return list_->item(i);
    return nullptr;
}

std::vector<QListWidgetItem*> TdxFilterDropDown::valueItems(bool shownOnly) const {
    std::vector<QListWidgetItem*> items;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        if (item->data(kEntryRole).toInt() >= FirstValue && !(shownOnly && item->isHidden()))
            items.push_back(item);
    }
    return items;
}

FilterTicks TdxFilterDropDown::ticks() const {
    FilterTicks t;
    const bool searching = !search_->text().isEmpty();
    for (QListWidgetItem* item : valueItems(searching))
        if (item->checkState() == Qt::Checked)
            t.values.push_back(item->data(kEntryRole).toInt() - FirstValue);
    if (searching)
        return t;
    t.everything = all_->checkState() == Qt::Checked;
    t.blanks = blanks_ && blanks_->checkState() == Qt::Checked;
    t.nonBlanks = nonBlanks_ && nonBlanks_->checkState() == Qt::Checked;
    return t;
}

// A click on a box ticks it (itemChanged came first); a click on the text chooses the entry
// alone, as the list always did; "全选" has nothing to choose and ticks. The list hides
// before the choice is carried out (it may open a dialog) and is deleted after.
void TdxFilterDropDown::clicked(QListWidgetItem* item) {
    if (isHidden())
        return;
    if (boxClicked_) {
        boxClicked_ = false;
        return;
    }
    if (item == all_) {
        all_->setCheckState(all_->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        return;
    }
    hide();
    emit chosen(item->data(kEntryRole).toInt());
    deleteLater();
}

void TdxFilterDropDown::checkChanged(QListWidgetItem* item) {
    if (syncing_)
        return;
    boxClicked_ = true;
    if (item == all_ || item == nonBlanks_)
        setTicks(item, item->checkState() == Qt::Unchecked ? Qt::Unchecked : Qt::Checked);
    syncSummaryTicks();
}

// "全选" ticks every entry shown, "(NonBlanks)" every value.
void TdxFilterDropDown::setTicks(QListWidgetItem* from, Qt::CheckState state) {
    syncing_ = true;
    std::vector<QListWidgetItem*> items = valueItems(from == all_);
    if (from == all_) {
        for (QListWidgetItem* extra : {blanks_, nonBlanks_})
            if (extra && !extra->isHidden())
                items.push_back(extra);
    }
    for (QListWidgetItem* item : items)
        item->setCheckState(state);
    syncing_ = false;
}

// "(NonBlanks)" is ticked when every value is, "全选" when every entry shown is, half when
// some are; OK needs one tick among the entries shown.
void TdxFilterDropDown::syncSummaryTicks() {
    syncing_ = true;
    const std::vector<QListWidgetItem*> values = valueItems(false);
    if (nonBlanks_) {
        const bool every = std::all_of(values.begin(), values.end(), [](QListWidgetItem* i) {
            return i->checkState() == Qt::Checked;
        });
        nonBlanks_->setCheckState(every ? Qt::Checked : Qt::Unchecked);
    }
    int shown = 0, checked = 0;
    for (int i = 0; i < list_->count(); ++i) {
        QListWidgetItem* item = list_->item(i);
        if (item == all_ || item->isHidden() || !(item->flags() & Qt::ItemIsUserCheckable))
            continue;
        ++shown;
        checked += item->checkState() == Qt::Checked;
    }
    all_->setCheckState(checked == 0       ? Qt::Unchecked
                        : checked == shown ? Qt::Checked
                                           : Qt::PartiallyChecked);
    syncing_ = false;
    ok_->setEnabled(checked > 0);
}

void TdxFilterDropDown::narrow(const QString& text) {
    for (QListWidgetItem* item : valueItems(false))
        item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
    for (QListWidgetItem* extra : {blanks_, nonBlanks_})
        if (extra)
            extra->setHidden(!text.isEmpty());
    syncSummaryTicks();
}

bool TdxFilterDropDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::MouseButtonPress)
        boxClicked_ = false;
    if (watched == search_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ok_->isEnabled()) {
            ok_->click();
            return true;
        }
        if (key == Qt::Key_Down) {
            list_->setFocus();
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TdxFilterDropDown::popup(const QPoint& topLeft, int width) {
    const int w = std::max(width, std::min(list_->sizeHintForColumn(0) + 40, 420));
    // Items know their height only once laid out.
    resize(w, height());
    list_->doItemsLayout();
    const int rowHeight =
        std::max(list_->visualItemRect(list_->item(0)).height(), fontMetrics().height());
    list_->setFixedHeight(std::min(list_->count(), 16) * rowHeight + 4);
    resize(w, sizeHint().height());
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

} // namespace rg
