#pragma once

// The field captions dialog: edits the display labels of a data set's fields, which the
// grid shows as column captions. Created once at program start and reused.

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace rg {

class DataSet;

class Tfrmdisplaysetup : public QDialog {
    Q_OBJECT
public:
    explicit Tfrmdisplaysetup(QWidget* parent = nullptr);

    // Set by the caller before every showing; not owned.
    rg::DataSet* DataSet = nullptr;

    // Rebuilds the field list; false (after the message) when DataSet is missing.
    bool FillList();
    // Sets DataSet, fills the list and shows the dialog modally; a missing data set gets
    // the message instead.
    void ShowFor(rg::DataSet* dataSet);

    // Handlers; they throw rg::Error, the widget slots run them guarded.
    void lstFieldClick();
    void txtdisplayExit();
    void Button2Click();

    QLabel* Label1;
    QListWidget* lstField;
    QLabel* Label2;
    QLineEdit* txtdisplay;
    QPushButton* Button2;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool filling_ = false;
};

} // namespace rg
