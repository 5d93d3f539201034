#include "app/ui/navbar.h"

#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace rg {

class NavBarLink : public QLabel {
public:
    NavBarLink(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), onClick_(std::move(onClick)) {
        setAlignment(Qt::AlignCenter);
        setCursor(Qt::PointingHandCursor);
        setStyleSheet(QStringLiteral("color: white;"));
        setContentsMargins(2, 3, 2, 3);
    }

protected:
    void enterEvent(QEnterEvent*) override { setUnderline(true); }
    void leaveEvent(QEvent*) override { setUnderline(false); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            onClick_();
    }

private:
    void setUnderline(bool on) {
        QFont f = font();
        f.setUnderline(on);
        setFont(f);
    }
    std::function<void()> onClick_;
};

void TdxNavBarItem::setCaption(const QString& caption) {
    caption_ = caption;
    if (auto label = qobject_cast<QLabel*>(link_.data()))
        label->setText(caption);
}

QWidget* TdxNavBarItem::linkWidget() const {
    return link_;
}

TdxNavBarItem::~TdxNavBarItem() {
    delete link_;
    if (auto bar = qobject_cast<TdxNavBar*>(parent()))
        bar->forget(this);
}

QString TdxNavBarGroup::Caption() const {
    return header_->text();
}

bool TdxNavBarGroup::Expanded() const {
    return header_->isChecked();
}

void TdxNavBarGroup::setExpanded(bool expanded) {
    header_->setChecked(expanded);
}

int TdxNavBarGroup::LinkCount() const {
    return linkLayout_->count() - 1; // the trailing stretch
}

TdxNavBarItem* TdxNavBarGroup::Link(int index) const {
    auto bar = qobject_cast<TdxNavBar*>(parent());
    QWidget* w = linkLayout_->itemAt(index)->widget();
    for (int i = 0; i < bar->ItemCount(); ++i)
        if (bar->Item(i)->linkWidget() == w)
            return bar->Item(i);
    return nullptr;
}

TdxNavBar::TdxNavBar(const QString& groupName, const QString& groupCaption, QWidget* parent)
    : QWidget(parent), group_(new TdxNavBarGroup(this)) {
    group_->setObjectName(groupName);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    setPalette(pal);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);

    auto header = new QToolButton(this);
    header->setObjectName(groupName + QStringLiteral("Caption"));
    header->setText(groupCaption);
    header->setCheckable(true);
    header->setChecked(true);
    header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->setArrowType(Qt::UpArrow);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    group_->header_ = header;
    layout->addWidget(header);

    auto scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto links = new QWidget;
    links->setAutoFillBackground(false);
    group_->linkLayout_ = new QVBoxLayout(links);
    group_->linkLayout_->setContentsMargins(0, 4, 0, 4);
    group_->linkLayout_->setSpacing(4);
    group_->linkLayout_->addStretch(1);
    scroll->setWidget(links);
    group_->links_ = scroll;
    layout->addWidget(scroll, 1);

    connect(header, &QToolButton::toggled, this, [header, scroll](bool expanded) {
        header->setArrowType(expanded ? Qt::UpArrow : Qt::DownArrow);
        scroll->setVisible(expanded);
    });
}

TdxNavBarItem* TdxNavBar::AddItem(const QString& caption) {
    auto item = new TdxNavBarItem(this);
    items_.push_back(item);
    auto linksWidget = static_cast<QScrollArea*>(group_->links_)->widget();
    auto link = new NavBarLink([item] { emit item->clicked(item); }, linksWidget);
    item->link_ = link;
    item->setCaption(caption);
    group_->linkLayout_->insertWidget(group_->linkLayout_->count() - 1, link);
    return item;
}

void TdxNavBar::ClearItems() {
    while (!items_.empty())
        delete items_.back(); // its destructor takes it out of items_
}

void TdxNavBar::forget(TdxNavBarItem* item) {
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
}

} // namespace rg
