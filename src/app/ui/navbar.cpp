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

void TdxNavBarGroup::setShown(bool shown) {
    shown_ = shown;
    header_->setVisible(shown);
    links_->setVisible(shown && Expanded());
}

int TdxNavBarGroup::LinkCount() const {
    return linkLayout_->count() - 1; // the trailing stretch
}

TdxNavBarItem* TdxNavBarGroup::Link(int index) const {
    auto bar = static_cast<TdxNavBar*>(parent());
    QWidget* w = linkLayout_->itemAt(index)->widget();
    for (int i = 0; i < bar->ItemCount(); ++i)
        if (bar->Item(i)->linkWidget() == w)
            return bar->Item(i);
    return nullptr;
}

TdxNavBar::TdxNavBar(const QString& groupName, const QString& groupCaption, QWidget* parent)
    : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    setPalette(pal);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    group_ = AddGroup(groupName, groupCaption);
}

TdxNavBarGroup* TdxNavBar::AddGroup(const QString& name, const QString& caption) {
    auto group = new TdxNavBarGroup(this);
    group->setObjectName(name);
    auto header = new QToolButton(this);
    header->setObjectName(name + QStringLiteral("Caption"));
    header->setText(caption);
    header->setCheckable(true);
    header->setChecked(true);
    header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->setArrowType(Qt::UpArrow);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    group->header_ = header;
    layout()->addWidget(header);

    auto scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto links = new QWidget;
    links->setAutoFillBackground(false);
    group->linkLayout_ = new QVBoxLayout(links);
    group->linkLayout_->setContentsMargins(0, 4, 0, 4);
    group->linkLayout_->setSpacing(4);
    group->linkLayout_->addStretch(1);
    scroll->setWidget(links);
    group->links_ = scroll;
    static_cast<QVBoxLayout*>(layout())->addWidget(scroll, 1);

    connect(header, &QToolButton::toggled, this, [group](bool expanded) {
        group->header_->setArrowType(expanded ? Qt::UpArrow : Qt::DownArrow);
        group->links_->setVisible(expanded && group->shown_);
    });
    return group;
}

TdxNavBarItem* TdxNavBar::AddItem(const QString& caption, TdxNavBarGroup* group) {
    if (!group)
        group = group_;
    auto item = new TdxNavBarItem(this);
    items_.push_back(item);
    auto linksWidget = static_cast<QScrollArea*>(group->links_)->widget();
    auto link = new NavBarLink([item] { emit item->clicked(item); }, linksWidget);
    item->link_ = link;
    item->setCaption(caption);
    group->linkLayout_->insertWidget(group->linkLayout_->count() - 1, link);
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
