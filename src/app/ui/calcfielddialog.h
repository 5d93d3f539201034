#pragma once

// The dialog "计算字段": the report's calculated fields, each a name and an expression over
// the data set's fields, checked as it is typed.

#include "calc/calcfield.h"

#include <QDialog>

#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace rg {

class DataSet;

class TfrmCalcFields : public QDialog {
public:
    TfrmCalcFields(QWidget* parent, const DataSet& dataset);

    // The fields as the dialog holds them.
    const std::vector<CalculatedField>& fields() const { return fields_; }

    QListWidget* FieldList;    // the calculated fields, "名称 = 表达式"
    QLineEdit* NameEdit;       // the name of the field edited
    QPlainTextEdit* ExprEdit;  // its expression
    QLabel* CheckLabel;        // what the check of the expression found
    QListWidget* InputList;    // the data set's fields by caption; a double click inserts one
    QListWidget* FunctionList; // the functions; a double click inserts one
    QPushButton* AddButton;
    QPushButton* ReplaceButton;
    QPushButton* DeleteButton;
    QPushButton* OkButton;
    QPushButton* CancelButton;

private:
    // The fields an expression of entry `upTo` (the end for a new one) may name.
    std::vector<CalcInput> inputsFor(size_t upTo) const;
    // The fault of the edited entry, empty when it is fine; `kind` its result's.
    std::string check(FieldKind* kind) const;
    void showCheck();
    void fillFieldList();
    void selectField();
    void addField();
    void replaceField();
    void deleteField();
    void insertText(const QString& text);

    std::vector<CalcInput> fetched_;
    std::vector<CalculatedField> fields_;
};

// The fields the user settles on, or nullopt when the dialog is cancelled.
std::optional<std::vector<CalculatedField>> RunCalculatedFieldsDialog(QWidget* parent,
                                                                      const DataSet& dataset);

} // namespace rg
