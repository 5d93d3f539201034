#pragma once

// The SQL builder (CommandText Editor): a free-text SQL box beside the tables of the
// database and the fields of the selected table, whose names it inserts at the caret,
// composing a select statement with the separators filled in. It does not run the SQL.

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace rg {

class TSplitter;

// Shaped like Connection::ListTableNames and Connection::ListFieldNames: each replaces
// the list's entries.
using TableLister = std::function<void(std::vector<std::string>& list, bool includeSystem)>;
using FieldLister = std::function<void(const std::string& table, std::vector<std::string>& list)>;

class TSQLEditForm : public QDialog {
    Q_OBJECT
public:
    explicit TSQLEditForm(QWidget* parent = nullptr);

    TableLister tableLister;
    FieldLister fieldLister;
    int HelpContext = 0;
    int LineHeight = 0; // of the SQL box, measured when the builder is shown

    void FormShow();
    void FillTableList();
    void FillFieldList();
    void TableListClick() { FillFieldList(); }
    void InsertAtCaret(const QString& text, bool comma);
    void AddTableButtonClick();
    void AddFieldButtonClick();
    void DrawInsertMark();
    void HelpButtonClick();

    QWidget* TopPanel;
    QLabel* TableListLabel;
    QLabel* SQLLabel;
    QWidget* MetaInfoPanel;
    QWidget* TableListPanel;
    QListWidget* TableList;
    QPushButton* AddTableButton;
    TSplitter* TableFieldsSplitter;
    QWidget* FieldsPanel;
    QLabel* FieldListLabel;
    QListWidget* FieldList;
    QPushButton* AddFieldButton;
    TSplitter* MetaInfoSQLSplitter;
    QPlainTextEdit* SQLMemo;
    QWidget* ButtonPanel;
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* HelpButton;
    QLabel* Image1;     // hidden; holds the picture of the insertion mark
    QLabel* InsertMark; // the mark shown on the SQL box

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMetaInfoPanel();
    void buildButtonPanel();
    void caretLineAndColumn(int& line, QString& lineText, int& column) const;
};

// Shows the builder on `sql` with the two listers; true, with `sql` replaced by the SQL
// box's whole text, when the user ended with OK.
bool ExecuteSQLEditor(QString& sql, TableLister tableLister, FieldLister fieldLister);

} // namespace rg
