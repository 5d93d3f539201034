#pragma once

// The visible fields dialog: one check mark per grid column for its visibility.

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace rg {

class TdxDBGrid;

class TfrmFieldsetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFieldsetup(QWidget* parent = nullptr);

    TdxDBGrid* Grid = nullptr; // set by the caller before FillList; not owned

    bool FillList();
    void btnDeleteClick();
    void Button2Click();

    QLabel* Label1;
    QListWidget* lstField;
    QPushButton* btnDelete;
    QPushButton* Button2;
};

// The command of the main window's button "设置字段".
void RunVisibleFieldsDialog(QWidget* parent, TdxDBGrid& grid);

} // namespace rg
