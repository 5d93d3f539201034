#pragma once

// The summary items dialog: adds summaries (an item of the default summary group plus the
// column's footer kind, or an item shown in the group rows) to the grid and deletes items.

#include "grid/summary.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace rg {

class TdxDBGrid;

// The kind box entries "无", "求和", "求平均", "总数", "最大值", "最小值" each stand for
// the kind their text names; any other position (no selection) means no summary.
TdxSummaryType summaryKindOfPosition(int position);
// The inverse; -1 for a kind without an entry.
int positionOfSummaryKind(TdxSummaryType kind);

class Tfrusummarysetup : public QDialog {
    Q_OBJECT
public:
    explicit Tfrusummarysetup(QWidget* parent = nullptr);

    TdxDBGrid* Grid = nullptr; // set by the caller before FillLists; not owned

    bool FillLists();
    // With `inGroupRow` the summary is written into the group rows instead of the footers.
    void AddSummaryItem(int column, int kindPosition, bool inGroupRow = false);
    void DeleteSummaryItem(int line);
    void summarytypeSelect();
    void btnaddClick();
    void btnDeleteClick();
    void Button2Click();

    QGroupBox* GroupBox1;
    QListWidget* lstSummaryItem;
    QPushButton* btnDelete;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    QComboBox* fieldlist;
    QLabel* lbl;
    QComboBox* summarytype;
    QCheckBox* chkGroupRow;
    QPushButton* btnadd;
    QPushButton* Button2;
    QPushButton* btnShowAs; // opens "显示方式与前 N 项"

private:
    void fillItemList();
    bool updatingList_ = false;
};

// The command of the main window's button "设置汇总方式".
void RunSummaryDialog(QWidget* parent, TdxDBGrid& grid);

} // namespace rg
