#pragma once

// The named parameters of the data source dialog's SQL text, one row each: its name, type,
// default (a value or a date preset), the parameter that ends its date range, and a list's
// values (typed, separated by commas) or the query that gives them.

#include "datasource/sqlparameters.h"

#include <QTableWidget>

#include <functional>
#include <vector>

namespace rg {

class TParameterTable : public QTableWidget {
    Q_OBJECT
public:
    explicit TParameterTable(QWidget* parent = nullptr);

    // Replaces the rows; the type of each row is a box named "ParameterType1" ....
    void showParameters(const std::vector<SqlParameter>& params);
    // What the rows say now.
    std::vector<SqlParameter> parameters() const;

    // Called after the user changed a row.
    std::function<void()> OnEdited;

private:
    bool filling_ = false;
};

} // namespace rg
