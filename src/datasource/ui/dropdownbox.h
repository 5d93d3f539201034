#pragma once

// An editable drop-down box that knows whether its list is open, tells before the list
// opens, and opens an (empty) list even when it holds no entries.

#include <QComboBox>

#include <functional>
#include <string>
#include <vector>

class QFrame;

namespace rg {

class TDropDownBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDropDownBox(QWidget* parent = nullptr);

    bool DroppedDown() const;
    void SetDroppedDown(bool on);

    // Runs before the list opens: it may fill the list.
    std::function<void()> OnDropDown;
    // A key pressed in the box or in its open list; true consumes it.
    std::function<bool(int key)> OnKeyPress;
    // Runs when the focus leaves the box for another control of its window.
    std::function<void()> OnExit;
    // Runs when an entry is selected: clicked or chosen with Enter in the list, or moved
    // to with the arrow keys. Typed text is no selection, even when it equals an entry.
    std::function<void()> OnSelect;
    // When on, the arrow keys in the open list select each entry they pass over.
    bool SelectWhileBrowsing = false;

    // Adds the names in the order of a sorted list; the text the box shows stays.
    void AddSortedItems(std::vector<std::string> names);

    void showPopup() override;
    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool browseList(int key);
    bool passesEnterOn(QKeyEvent* event) const;

    QFrame* emptyList_ = nullptr;
    bool leavingText_ = false;
};

} // namespace rg
