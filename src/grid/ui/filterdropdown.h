#pragma once

#include <QFrame>
#include <QStringList>

class QListWidget;

namespace rg {

// The drop-down list under a column header's filter button. Choosing an entry with the
// mouse or Enter closes it and reports the entry's row; Escape or a click elsewhere
// closes it without a choice.
class TdxFilterDropDown : public QFrame {
    Q_OBJECT
public:
    TdxFilterDropDown(const QStringList& entries, int current, QWidget* parent);
    QListWidget* list() const { return list_; }
    // Shows it with its top left corner at a global position, at least `width` wide.
    void popup(const QPoint& topLeft, int width);

signals:
    void chosen(int row);

private:
    void choose(int row);
    QListWidget* list_;
};

} // namespace rg
