#pragma once

#include "grid/gridfilter.h"

#include <QDialog>

#include <optional>
#include <vector>

class QComboBox;
class QRadioButton;

namespace rg {

// The custom filter of one column: two conditions, each an operator and a value (typed,
// or picked from the column's values), joined by AND or OR.
class TCustomFilterDialog : public QDialog {
    Q_OBJECT
public:
    // `values` fill the value boxes; `current` is the column's condition, if it has one.
    TCustomFilterDialog(const QString& caption, std::vector<Value> values,
                        const ColumnFilter* current, QWidget* parent = nullptr);

    // The condition as entered; none when the first operator is left empty.
    std::optional<ColumnFilter> filter() const;

    QComboBox *cbOperator1, *cbValue1, *cbOperator2, *cbValue2;
    QRadioButton *rbAnd, *rbOr;

private:
    std::optional<FilterCondition> condition(const QComboBox* op, const QComboBox* value) const;
    void preset(QComboBox* op, QComboBox* value, const FilterCondition& c);
    void enableValues();

    std::vector<Value> values_;
};

} // namespace rg
