#pragma once

// The summaries of a grid: its one summary group, whose items apply to every grouping level;
// the values of group rows and group footers, held in the row tree, and of the summary
// footer; and which item a group footer cell shows.

#include "calc/summaryformula.h"
#include "grid/rowtree.h"
#include "grid/summary.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rg {

class DataSet;
class TdxDBGridColumn;

// What the summary footer of one column adds up.
struct FooterSource {
    int field = -1; // the bound field, -1 when none
    TdxSummaryType kind = TdxSummaryType::cstNone;
};

// The kind of summary an aggregate of a formula reads (AVG reads a sum).
TdxSummaryType SummaryTypeOfAggregate(AggregateKind kind);

class SummaryEngine {
public:
    // `groupColumns` are the grid's grouped columns, one per level; `onItemsChanged` is
    // called when the items change.
    SummaryEngine(const std::vector<TdxDBGridColumn*>& groupColumns,
                  std::function<void()> onItemsChanged, std::function<void()> onShownChanged);
    SummaryEngine(const SummaryEngine&) = delete;
    SummaryEngine& operator=(const SummaryEngine&) = delete;

    TdxDBGridSummaryGroup& group() { return group_; }
    const TdxDBGridSummaryGroup& group() const { return group_; }
    // The summary group of a grouping level, nullptr for a level that is not grouped.
    const TdxDBGridSummaryGroup* groupOfLevel(int level) const;

    // Binds every item to its field: its SummaryField, else the field of the column it names.
    void bindItems(const std::function<int(const std::string& fieldName)>& fieldIndex,
                   const std::function<std::string(const std::string& columnName)>& columnField);
    // The items as a load depends on them.
    std::string signature() const;

    // Summary formulas (calc/summaryformula.h), computed at every level and in the summary
    // footer from that level's own summaries.
    const std::vector<SummaryFormula>& formulas() const { return formulas_; }
    void setFormulas(std::vector<SummaryFormula> formulas) { formulas_ = std::move(formulas); }
    // The formula shown in the footer cells of the column named `columnName`; -1 when none.
    int formulaOfColumn(const std::string& columnName) const;
    // What a formula over `ds` may name: its fields, by index.
    static std::vector<CalcInput> formulaInputs(const DataSet& ds);
    // The formulas read over the fields of `ds`. Throws rg::Error "汇总公式“名称”：…".
    static std::vector<SummaryExpression> compileFormulas(const DataSet& ds,
                                                          const std::vector<SummaryFormula>& f);
    // The summaries the formulas read, each once.
    static std::vector<AggregateRef> formulaReads(const std::vector<SummaryExpression>& exprs);
    // Fills GroupRow::formulas and appends the footer's values of the formulas to `footers`,
    // the summaries they read being held in the slots from `itemCount` on (of the group
    // rows) and from `sources` on (of `footers`), which it then drops.
    void computeFormulas(std::vector<SummaryExpression>& exprs,
                         const std::vector<AggregateRef>& reads, RowTree& t, int itemCount,
                         size_t sources, std::vector<SummaryValue>& footers) const;

    // The values of the group rows of `tree` and of the footers (one per source, then one
    // per formula) from the records of `ds`; `innerOf` holds each record's innermost group
    // as RowTree::build gives it. Reports progress; rethrows what a value that cannot be
    // summed throws.
    std::vector<SummaryValue> compute(const DataSet& ds, RowTree& tree,
                                      const std::vector<int32_t>& innerOf,
                                      const std::vector<FooterSource>& footers) const;
    // Each record's innermost group in a built tree, as RowTree::build gave it.
    static std::vector<int32_t> innerGroupsOf(const RowTree& tree, int records);
    // After a failure no group keeps a value of part of the records.
    static void clearValues(RowTree& tree);

    // The items' part of a group row's text: the group's texts around the values of the
    // items that name no column.
    std::string groupRowText(const DataSet* ds, const GroupRow& row,
                             const std::string& separator) const;
    // Whether a level's group has items for footer cells.
    bool levelHasFooters(int level) const;
    // The item shown in the group footer cell of the column named `columnName` at `level`
    // and its value slot; nullptr when the cell does not exist.
    const TdxDBGridSummaryItem* footerItem(int level, const std::string& columnName,
                                           int* slot) const;
    // How an item's values print: dates as dates, counts and all else as numbers.
    static SummaryValueKind valueKind(const DataSet* ds, const TdxDBGridSummaryItem& item);
    // The mode of each item, in item order.
    std::vector<ShowValuesAs> showModes() const;
    // The item a column's summary footer shows otherwise: the first that names the column
    // with the footer's kind; nullptr when none.
    const TdxDBGridSummaryItem* footerShowItem(const std::string& columnName,
                                               TdxSummaryType kind) const;

private:
    const std::vector<TdxDBGridColumn*>& groupColumns_;
    TdxDBGridSummaryGroup group_;
    std::vector<SummaryFormula> formulas_;
};

} // namespace rg
