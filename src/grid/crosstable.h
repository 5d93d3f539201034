#pragma once

// A cross table over the grid's load: the distinct values of one field become columns, and
// every group row of every level (and the grand total) holds one summary of one field per
// column beside its row total. Built from the loaded rows, so it follows the grid's filter
// and grouping; the values are SummaryValues, so they mean what the footers mean.

#include "grid/groupinterval.h"
#include "grid/summary.h"
#include "grid/summaryvalue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rg {

class DataSet;
class RowTree;

// What a cross table shows; fields by name, as the setup saves them.
struct CrossTableDef {
    std::string field;                            // its distinct values become columns
    IntervalSpec interval;                        // dates by month, numbers by range...
    TdxSummaryType kind = TdxSummaryType::cstSum; // the cells' summary
    std::string summaryField;                     // what the cells add up (none for counts)
    bool operator==(const CrossTableDef&) const = default;
};

// The caption of the row totals' column and the totals' row.
inline constexpr const char* kCrossTotalText = "合计";

class CrossTable {
public:
    // More distinct values than this go together into one last column.
    static constexpr int kMaxColumns = 200;
    // The row of the totals below the groups, for cell() and rowTotal().
    static constexpr int kTotals = -1;

    CrossTable() = default;
    // The cross table of the rows of `tree` over the records of `ds`: `crossField` gives the
    // columns (its values by `interval`), `valueField` (-1 for counts) the cells. Reports progress
    // and may throw rg::Cancelled, or rg::Error for a value that cannot be summed.
    static CrossTable compute(const DataSet& ds, const RowTree& tree, int crossField,
                              const IntervalSpec& interval, TdxSummaryType kind, int valueField);

    TdxSummaryType kind() const { return kind_; }
    // How the cells print: dates as dates for minima and maxima of dates.
    SummaryValueKind valueKind() const { return valueKind_; }

    // The cross columns in value order, the column "其他" last when there are too many.
    int columnCount() const { return static_cast<int>(columnTexts_.size()); }
    const std::string& columnText(int column) const {
        return columnTexts_[static_cast<size_t>(column)];
    }
    bool isOtherColumn(int column) const { return hasOther_ && column == columnCount() - 1; }

    // `group` is a group of the tree (any level) or kTotals. A cell without records is empty.
    const SummaryValue& cell(int group, int column) const;
    const SummaryValue& rowTotal(int group) const;
    const SummaryValue& columnTotal(int column) const { return cell(kTotals, column); }
    const SummaryValue& grandTotal() const { return rowTotal(kTotals); }
    // The text of a value as the footers write it.
    std::string text(const SummaryValue& v) const;

    // Sibling groups (the children of `parent`, the top groups for -1) in the order shown:
    // the tree's, or by their value in `sortColumn` (columnCount(): the row total) when
    // sortColumn >= 0; empty cells count as the least.
    std::vector<int> children(const RowTree& tree, int parent, int sortColumn, bool down) const;

private:
    struct Row {
        std::vector<int32_t> columns; // the columns holding records, ascending
        std::vector<SummaryValue> cells;
        SummaryValue total;
    };
    friend class CrossTableBuilder;
    friend class ServerRows; // the cells of the server's groups
    const Row& row(int group) const {
        return group == kTotals ? rows_.back() : rows_[static_cast<size_t>(group)];
    }

    TdxSummaryType kind_ = TdxSummaryType::cstSum;
    SummaryValueKind valueKind_ = SummaryValueKind::Number;
    std::vector<std::string> columnTexts_;
    bool hasOther_ = false;
    std::vector<Row> rows_; // one per group of the tree, the totals last
};

} // namespace rg
