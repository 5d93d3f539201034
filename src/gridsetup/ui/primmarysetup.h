#pragma once

// The key field dialog: chooses the grid's KeyField among the fields of its columns.

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

namespace rg {

class TdxDBGrid;

class Tfrmprimmarysetup : public QDialog {
    Q_OBJECT
public:
    explicit Tfrmprimmarysetup(QWidget* parent = nullptr);

    TdxDBGrid* Grid = nullptr; // set by the caller before FillList; not owned

    // Fills the field box; false (after the message) when Grid is missing.
    bool FillList();
    void Button1Click();

    QLabel* Label1;
    QComboBox* lstfield;
    QPushButton* Button1;
};

// The command of the main window's button "设置关键字".
void RunKeyFieldDialog(QWidget* parent, TdxDBGrid& grid);

} // namespace rg
