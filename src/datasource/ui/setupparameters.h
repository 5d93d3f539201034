#pragma once

// The stored-procedure parameter dialog: picks a procedure of the data set's connection
// and takes a value for each of its parameters, all written into the data set at once.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rg {

class DataSet;
class TDropDownBox;

class TfrmParameterSetup : public QDialog {
    Q_OBJECT
public:
    explicit TfrmParameterSetup(QWidget* parent = nullptr);

    // Set by the opener before the dialog is shown; not owned. Its connection lists the
    // procedures.
    rg::DataSet* DataSet = nullptr;

    // Handlers. The two of the procedure box show their errors through the error box
    // themselves; the parameter handlers throw, the widget slots run them through it.
    void MasterTableNameDropDown();
    void MasterTableNameClick();
    void lstparamterlistClick();
    void txtparametervalueExit();
    void cmdokClick();
    void cmdcancelClick();

    QGroupBox* TableNames;
    TDropDownBox* MasterTableName;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QListWidget* lstparamterlist;
    QLabel* Label2;
    QLineEdit* txtparametervalue;
    QPushButton* cmdok;
    QPushButton* cmdcancel;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int selectedParameter() const;

    bool filling_ = false;
};

} // namespace rg
