#pragma once

#include <QFrame>
#include <QStringList>

#include <cstdint>
#include <vector>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace rg {

// What the drop-down lists besides "(All)" and "(Custom...)".
struct FilterDropDownContents {
    QStringList values;          // the display texts, in order
    std::vector<int64_t> counts; // the rows of each value; empty when not counted
    bool hasBlanks = false;      // offers "(Blanks)" and "(NonBlanks)"
    int64_t blankCount = -1;     // the blank rows, when counted
};

// What the ticks said when OK was pressed.
struct FilterTicks {
    bool everything = false; // every entry ticked and no search: no condition
    bool blanks = false;
    bool nonBlanks = false;  // every value, blanks left out
    std::vector<int> values; // rows of `values`, ticked (and shown, while searching)
};

// The drop-down list under a column header's filter button, as a spreadsheet's: a search
// box, "(All)" and "(Custom...)", then "全选", the blanks entries and the values, each with a
// tick box and its count. A click on an entry's text chooses it alone and closes the list;
// a click on its box (or Space) ticks it, and OK applies every ticked entry. Escape or a
// click elsewhere closes it without a choice.
class TdxFilterDropDown : public QFrame {
    Q_OBJECT
public:
    // The entries chosen alone, as `chosen` reports them.
    enum Entry { All, Custom, Blanks, NonBlanks, FirstValue };
    // An entry's count of rows, as text; none when not counted.
    static constexpr int CountRole = Qt::UserRole + 1;

    // `current` is the entry made current at the start (an Entry, or FirstValue plus a value's
    // row). Everything listed is ticked: the values come from the rows the filter kept.
    TdxFilterDropDown(const FilterDropDownContents& contents, int current, QWidget* parent);
    QListWidget* list() const { return list_; }
    QLineEdit* search() const { return search_; }
    QPushButton* okButton() const { return ok_; }
    // The item of an entry (an Entry, or FirstValue plus a value's row), and of "全选".
    QListWidgetItem* entryItem(int entry) const;
    QListWidgetItem* allItem() const { return all_; }
    FilterTicks ticks() const;
    // Shows it with its top left corner at a global position, at least `width` wide.
    void popup(const QPoint& topLeft, int width);

signals:
    void chosen(int entry);
    void ticked(const rg::FilterTicks& ticks);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addEntry(const QString& text, int entry, bool checkable, int64_t count);
    void clicked(QListWidgetItem* item);
    void checkChanged(QListWidgetItem* item);
    void narrow(const QString& text);
    void setTicks(QListWidgetItem* from, Qt::CheckState state);
    void syncSummaryTicks();
    std::vector<QListWidgetItem*> valueItems(bool shownOnly) const;

    QLineEdit* search_;
    QListWidget* list_;
    QPushButton* ok_;
    QListWidgetItem* all_ = nullptr;
    QListWidgetItem* blanks_ = nullptr;
    QListWidgetItem* nonBlanks_ = nullptr;
    bool syncing_ = false;    // ticks set by the list itself, not by a click
    bool boxClicked_ = false; // the click that ends now ticked a box
};

} // namespace rg
