#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

class QToolButton;
class QVBoxLayout;
class QWidget;

namespace rg {

// One entry of the bar's item collection. The bar owns it; destroying it removes its
// link from the group.
class TdxNavBarItem : public QObject {
    Q_OBJECT
public:
    QString Caption() const { return caption_; }
    void setCaption(const QString& caption);
    // Bytes the owner ties to the item, handed back on a click.
    const QByteArray& Data() const { return data_; }
    void setData(const QByteArray& data) { data_ = data; }
    // The widget that shows the item in its group.
    QWidget* linkWidget() const;
    ~TdxNavBarItem() override;

signals:
    void clicked(rg::TdxNavBarItem* item);

private:
    friend class TdxNavBar;
    explicit TdxNavBarItem(QObject* owner) : QObject(owner) {}
    QString caption_;
    QByteArray data_;
    QPointer<QWidget> link_; // gone first when the whole bar is destroyed
};

// The group of the bar: a bold caption with an expand button over the list of links.
class TdxNavBarGroup : public QObject {
    Q_OBJECT
public:
    explicit TdxNavBarGroup(QObject* owner) : QObject(owner) {}
    QString Caption() const;
    bool Expanded() const;
    void setExpanded(bool expanded);
    int LinkCount() const;
    TdxNavBarItem* Link(int index) const;
    // A hidden group shows neither its caption nor its links.
    bool Shown() const { return shown_; }
    void setShown(bool shown);

private:
    friend class TdxNavBar;
    bool shown_ = true;
    QToolButton* header_ = nullptr;
    QWidget* links_ = nullptr;
    QVBoxLayout* linkLayout_ = nullptr;
};

// Navigation bar with groups of links on the highlight colour: centred white text,
// underlined under the pointer. A clicked link never stays selected.
class TdxNavBar : public QWidget {
    Q_OBJECT
public:
    TdxNavBar(const QString& groupName, const QString& groupCaption, QWidget* parent = nullptr);

    // The first group, made with the bar.
    TdxNavBarGroup* Group() const { return group_; }
    // Another group below the ones made before.
    TdxNavBarGroup* AddGroup(const QString& name, const QString& caption);
    int ItemCount() const { return int(items_.size()); }
    TdxNavBarItem* Item(int index) const { return items_.at(size_t(index)); }

    // Creates an item in the collection and links it at the end of `group` (the first one
    // when none is given).
    TdxNavBarItem* AddItem(const QString& caption, TdxNavBarGroup* group = nullptr);
    // Destroys every item of the collection.
    void ClearItems();

private:
    friend class TdxNavBarItem;
    void forget(TdxNavBarItem* item);

    TdxNavBarGroup* group_;
    std::vector<TdxNavBarItem*> items_;
};

} // namespace rg
