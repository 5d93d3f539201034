#pragma once

// The dialog "显示方式与前 N 项": how each summary item's group values are shown (showas.h)
// and each grouping level's top N. Opened from the summary items dialog; every change is
// made on the grid at once, inside the command that opened it.

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace rg {

class TdxDBGrid;

class TfrmShowAs : public QDialog {
    Q_OBJECT
public:
    TfrmShowAs(QWidget* parent, TdxDBGrid& grid);

    // The mode of cmbShowAs for the selected summary item; refused modes change nothing.
    void applyShowAs();
    // The top N of the level of cmbTopLevel by the summary of cmbTopSummary; 0 shows all.
    void applyTop();

    QGroupBox* grpShowAs;
    QListWidget* lstShowItems;
    QLabel* lblShowAs;
    QComboBox* cmbShowAs;
    QPushButton* btnShowAs;
    QGroupBox* grpTop;
    QLabel* lblTopLevel;
    QComboBox* cmbTopLevel;
    QLabel* lblTopCount;
    QSpinBox* spnTopCount;
    QLabel* lblTopSummary;
    QComboBox* cmbTopSummary;
    QPushButton* btnTop;
    QPushButton* btnClose;

private:
    void fill();
    void showItem();
    void showLevel();
    TdxDBGrid& grid_;
};

} // namespace rg
