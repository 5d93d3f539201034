#pragma once

// The dialog "汇总公式": the report's summary formulas, each a name, an expression over the
// summaries of a group and the column whose footers show it, checked as it is typed.

#include "calc/summaryformula.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace rg {

class TdxDBGrid;

class TfrmSummaryFormulas : public QDialog {
public:
    TfrmSummaryFormulas(QWidget* parent, const TdxDBGrid& grid);

    // The formulas as the dialog holds them, `column` a column name.
    const std::vector<SummaryFormula>& formulas() const { return formulas_; }

    QListWidget* FormulaList;  // the formulas, "名称 = 表达式"
    QLineEdit* NameEdit;       // the name of the formula edited
    QPlainTextEdit* ExprEdit;  // its expression
    QComboBox* ColumnCombo;    // where it shows: the group rows, or a column's footers
    QLabel* CheckLabel;        // what the check of the expression found
    QListWidget* InputList;    // the fields by caption; a double click inserts SUM(field)
    QListWidget* FunctionList; // the functions; a double click inserts one
    QPushButton* AddButton;
    QPushButton* ReplaceButton;
    QPushButton* DeleteButton;
    QPushButton* OkButton;
    QPushButton* CancelButton;

private:
    std::string check() const; // the fault of the edited entry, empty when it is fine
    SummaryFormula edited() const;
    void showCheck();
    void fillList();
    void selectFormula();
    void addFormula();
    void replaceFormula();
    void deleteFormula();
    void insertText(const QString& text);

    std::vector<CalcInput> inputs_;
    std::vector<SummaryFormula> formulas_;
};

// The formulas the user settles on, or nullopt when the dialog is cancelled.
std::optional<std::vector<SummaryFormula>> RunSummaryFormulasDialog(QWidget* parent,
                                                                    const TdxDBGrid& grid);

} // namespace rg
