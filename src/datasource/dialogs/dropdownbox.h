#pragma once

// An editable drop-down box that knows whether its list is open, tells before the list
// opens, and opens an (empty) list even when it holds no entries.

#include <QComboBox>

#include <functional>

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

    void showPopup() override;
    void hidePopup() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFrame* emptyList_ = nullptr;
};

} // namespace rg
