#pragma once

// The grid's cross table on screen: the grouping levels down the left (expanded and
// collapsed like the grid's groups), one column per cross value, the row total and a totals
// row. A click on a column header orders the groups by that column's value, a second one
// the other way. It reads everything from the grid and is rebuilt when the grid changes.

#include "grid/grid.h"

#include <QDialog>
#include <QTreeWidget>

#include <optional>

class QComboBox;

namespace rg {

class TdxCrossTableView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TdxCrossTableView(TdxDBGrid& grid, QWidget* parent = nullptr);
    // Reads the grid's cross table again, keeping the expanded groups.
    void rebuild();

private:
    void addChildren(QTreeWidgetItem* parent, RowHandle row, const CrossTable& x);
    void fill(QTreeWidgetItem* item, int group, const CrossTable& x);
    void headerClicked(int section);

    TdxDBGrid& grid_;
};

// The small dialog that chooses a cross table's cells: the summary kind and its field, and
// for a date field the interval of its columns.
class TdxCrossTableDialog : public QDialog {
    Q_OBJECT
public:
    TdxCrossTableDialog(const TdxDBGrid& grid, const CrossTableDef& proposed,
                        QWidget* parent = nullptr);
    CrossTableDef definition() const;

private:
    CrossTableDef def_;
    QComboBox* kind_ = nullptr;
    QComboBox* field_ = nullptr;
    QComboBox* interval_ = nullptr;
};

// The summary kinds a cross table offers, with their names.
const char* crossKindName(TdxSummaryType kind);

} // namespace rg
