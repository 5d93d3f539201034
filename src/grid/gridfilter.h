#pragma once

// Filtering the grid by column values. Each column may carry a condition; the conditions
// of all columns, joined by AND, become the data set's filter expression, and the grid
// reloads from the filtered records. The conditions are what the user chose; the data
// set's expression is always derived from them.

#include "grid/filtercondition.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rg {

class DataSet;
class ServerRows;
class TdxDBGridColumn;

// What a column header's drop-down offers besides "(All)" and "(Custom...)": whether some
// loaded row is blank in that column, and the column's distinct values in ascending order,
// with the count of loaded rows of each (and of the blanks).
struct FilterValues {
    bool hasBlanks = false;
    std::vector<Value> values;
    std::vector<int64_t> counts; // one per value
    int64_t blankCount = 0;
};

// The grid as its filter sees it.
class GridFilterHost {
public:
    // The data set the conditions go to; nullptr while the grid has none.
    virtual DataSet* filteredDataSet() const = 0;
    // The record of each loaded row, in shown order.
    virtual const std::vector<int32_t>& loadedRecords() const = 0;
    // The rows when they stay on the server, else nullptr.
    virtual const ServerRows* serverRows() const = 0;
    // Hands the combined expression to the data set, which reloads the grid; throws what
    // the data set throws.
    virtual void setDataSetFilter(const std::string& expression) = 0;
    // The conditions changed: what shows them is repainted.
    virtual void filterChanged() = 0;

protected:
    ~GridFilterHost() = default;
};

class TdxDBGridFilter {
public:
    static constexpr int MaxDropDownCount = 1000;

    explicit TdxDBGridFilter(GridFilterHost& grid) : grid_(grid) {}

    // Sets, replaces or (nullopt) removes the condition of a column and hands the combined
    // expression to the data set, which reports changed contents, so the grid reloads. An
    // expression the data set refuses (a text that is no number for a number field, say)
    // throws its message and leaves everything as it was.
    void SetColumnFilter(const TdxDBGridColumn& c, std::optional<ColumnFilter> f);
    void Clear();
    const ColumnFilter* ColumnFilterOf(const TdxDBGridColumn& c) const;
    bool Empty() const { return conditions_.empty(); }

    // The combined condition as the data set reads it: bracketed field names, literals in
    // a form that compares equal to the values they came from.
    std::string Expression() const;
    // The same condition for the user: column captions and display texts. A filter the
    // data set was given by other means is shown as its expression.
    std::string DisplayText() const;

    // At most MaxDropDownCount values, the smallest ones, among the grid's loaded rows (the
    // server's first ones in its own order when the rows stay there).
    FilterValues DropDownValues(const TdxDBGridColumn& c) const;

    // For the grid. A column about to be destroyed takes its condition along; true when it
    // had one, and the grid hands the remaining conditions to the data set with reapply
    // once the column is gone.
    bool forgetColumn(const TdxDBGridColumn& c);
    void reapply();
    // A closed data set keeps no condition of the grid: the next command may lack their
    // fields, and an open whose filter does not fit would fail.
    void dataSetClosed();

private:
    using Conditions = std::vector<std::pair<const TdxDBGridColumn*, ColumnFilter>>;
    void apply(Conditions conditions);
    std::string render(bool forDisplay) const;

    GridFilterHost& grid_;
    Conditions conditions_;
};

} // namespace rg
