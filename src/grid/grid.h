#pragma once

// The result grid without widgets: columns bound to the fields of a data set, grouping, the
// key field, the focused row and the listeners. The rows of a load live in a RowTree, the
// summaries in a SummaryEngine and the filter conditions in TdxDBGridFilter; the view, the
// exporters and the report link read everything they show through this facade.

#include "common/value.h"
#include "datasource/dataset.h"
#include "grid/crosstable.h"
#include "grid/gridfilter.h"
#include "grid/groupinterval.h"
#include "grid/rowtree.h"
#include "grid/showas.h"
#include "grid/summary.h"
#include "grid/summaryengine.h"
#include "grid/unfilteredrows.h"
#include "grid/visiblelines.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rg {

enum class TdxTreeListColumnSort { csNone, csDown, csUp };

// The groups of a level that a top N keeps in each parent: the `count` greatest by the
// summary of `field` of kind `kind` (the first item of that field and kind); the others
// fold into one group "其他" whose summaries are over all their rows. A count of 0 keeps all.
struct TopGroups {
    int count = 0;
    std::string field;
    TdxSummaryType kind = TdxSummaryType::cstNone;
    bool operator==(const TopGroups&) const = default;
};
inline constexpr const char* kOtherGroupText = "其他";

class TdxDBGrid;
class ServerRows;

class TdxDBGridColumn {
public:
    TdxDBGridColumn(TdxDBGrid* grid, std::string name);

    const std::string& Name() const { return name_; }
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    // The bound field's display name (its label, else its name), else FieldName.
    std::string Caption() const;

    bool Visible() const { return visible_; }
    void SetVisible(bool v); // changes the layout at once, no reload
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v) { readOnly_ = v; }

    TdxTreeListColumnSort Sorted() const { return sorted_; }
    // Re-orders the rows at once (group rows of a grouped column's level, data rows of an
    // ungrouped one) without a reload.
    void SetSorted(TdxTreeListColumnSort s);

    int GroupIndex() const;
    void SetGroupIndex(int level); // groups, moves or (with -1) ungroups
    // The interval its group rows stand for while grouped (dates by month, numbers by
    // range...); kept when ungrouped. Changing it on a grouped column reloads as a grouping
    // change does: a cancelled reload puts the old interval back. While the data set is open,
    // an interval that cannot group the field's values is refused (CheckIntervalFits).
    const IntervalSpec& GroupInterval() const { return interval_; }
    void SetGroupInterval(const IntervalSpec& spec);
    // The top N of its level while grouped, kept when ungrouped. A change on a grouped
    // column reloads as a grouping change does: a failed reload puts the old one back. The server
    // does not fold groups: in server mode a top N is refused (ServerRefusal).
    const TopGroups& GroupTop() const { return top_; }
    void SetGroupTop(const TopGroups& top);

    int Index() const; // position among the grid's columns, creation order
    int Width() const { return width_; }
    void SetWidth(int w);
    Alignment alignment() const;

    // The field bound by FieldName (ignoring case), nullptr when the data set has none.
    Field* field() const;

    // Footer attributes.
    TdxSummaryType SummaryFooterType() const { return footerType_; }
    void SetSummaryFooterType(TdxSummaryType t);
    const std::string& SummaryFooterField() const { return footerField_; }
    void SetSummaryFooterField(const std::string& f) { footerField_ = f; }
    const std::string& SummaryFooterFormat() const { return footerFormat_; }
    void SetSummaryFooterFormat(const std::string& f);

private:
    friend class TdxDBGrid;
    // Sets what shapes the column's groups; a grouped column's groups are built anew, the
    // open ones kept open.
    template <class T> void setGroupingAttribute(T& member, const T& value);
    TdxDBGrid* grid_;
    std::string name_, fieldName_;
    bool visible_ = true, readOnly_ = false;
    TdxTreeListColumnSort sorted_ = TdxTreeListColumnSort::csNone;
    IntervalSpec interval_;
    TopGroups top_;
    int width_ = 100;
    TdxSummaryType footerType_ = TdxSummaryType::cstNone;
    std::string footerField_, footerFormat_;
    // Bound at every load.
    int fieldIndex_ = -1;
    int footerFieldIndex_ = -1;
    SummaryValue footerValue_;
};

class GridListener {
public:
    virtual ~GridListener() = default;
    // Layout, rows or values changed: repaint (and re-read everything).
    virtual void gridChanged() = 0;
    // The focused row changed.
    virtual void focusChanged() {}
};

class TdxDBGrid : private DataSetObserver, private GridFilterHost {
public:
    TdxDBGrid();
    ~TdxDBGrid() override;
    TdxDBGrid(const TdxDBGrid&) = delete;
    TdxDBGrid& operator=(const TdxDBGrid&) = delete;

    std::string Name = "dxDBGrid";

    // The data set of the grid's data source; nullptr detaches.
    void SetDataSet(DataSet* ds);
    DataSet* dataSet() const { return dataSet_; }
    // The rows shown stay on the database server, which groups and sums them; data rows are
    // read a page at a time.
    bool ServerMode() const { return server_ != nullptr; }

    // What the views show around the rows; a change repaints them, the rows stay.
    bool ShowGroupPanel() const { return showGroupPanel_; }
    void SetShowGroupPanel(bool on);
    bool ShowRowFooter() const { return showRowFooter_; } // the group footer rows
    void SetShowRowFooter(bool on);
    bool ShowSummaryFooter() const { return showSummaryFooter_; }
    void SetShowSummaryFooter(bool on);
    // Between the summaries of a group row text.
    const std::string& SummarySeparator() const { return summarySeparator_; }
    void SetSummarySeparator(const std::string& separator);
    // How the report prints, kept with the report: the print engine's link takes these
    // before it builds, and gives back what its designer and page setup changed.
    struct PrintChoices {
        bool pageSubtotals = false;
        bool headersOnEveryPage = true;
        std::string paper;       // "A4", "Letter" ... or "210x297" (mm); empty: the default
        std::string orientation; // "Portrait", "Landscape"; empty: the default
        bool operator==(const PrintChoices&) const = default;
    };
    const PrintChoices& ReportPrintChoices() const { return printChoices_; }
    void SetReportPrintChoices(const PrintChoices& choices);

    // Columns, creation order.
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    TdxDBGridColumn& Columns(int i); // "List index out of bounds (%d)"
    const TdxDBGridColumn& Columns(int i) const;
    TdxDBGridColumn* ColumnByName(const std::string& name) const;
    TdxDBGridColumn* ColumnByFieldName(const std::string& fieldName) const;
    TdxDBGridColumn& AddColumn(); // named by the rule of CreateColumnsForFields
    void DestroyColumn(int i);
    void CreateColumnsForFields(DataSet& ds);
    // Visible columns in header order, the layout the view, exporters and report use.
    std::vector<TdxDBGridColumn*> VisibleColumns() const;
    // Header order of all columns; the user moves columns by changing it.
    const std::vector<TdxDBGridColumn*>& HeaderOrder() const { return headerOrder_; }
    void MoveColumn(TdxDBGridColumn& c, int headerPosition);

    // Grouping.
    int GroupColumnCount() const { return static_cast<int>(groupColumns_.size()); }
    TdxDBGridColumn& GroupColumns(int level);
    const TdxDBGridColumn& GroupColumns(int level) const;
    bool GroupColumn(TdxDBGridColumn& c, int position); // false: refused, nothing changed
    void UngroupColumn(int level);
    void ClearGrouping();
    // A click on a header: none or down become up, up becomes down, with Ctrl none; one
    // ungrouped column at most is sorted. On a group button: up and down alternate.
    void SortByClick(TdxDBGridColumn& c, bool ctrl);
    // Where a dragged header or group button dropped at x on the group panel goes.
    int GroupDropPosition(int x, bool alreadyGrouped) const;
    // The end of a drag of a column header or (fromGroupPanel) of a group button: on the
    // group panel it groups the column or moves its level to the position of x; a group
    // button let go elsewhere is ungrouped, and shown again at `headerPosition` on the
    // header row, at its old place elsewhere in the grid, not at all away from the grid.
    // A header let go on the header row moves there; away from the grid it is hidden,
    // unless it is the last one shown. Refused groupings change nothing.
    enum class DropPlace { GroupPanel, HeaderRow, Grid, Outside };
    void DropColumn(TdxDBGridColumn& c, bool fromGroupPanel, DropPlace place, int x,
                    int headerPosition);

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    void BeginGroupingUpdate();
    void EndGroupingUpdate();
    void ReloadRows();
    // Reads the rows anew as after an open, expanded groups not kept; inside a grouping update
    // every load waits for its end and the grid shows no rows until then.
    void ReloadStructure();
    void ExpandAll();
    void CollapseAll();

    const std::string& KeyField() const { return keyField_; }
    void SetKeyField(const std::string& name);
    // Read-only while no key field is resolved.
    bool keyFieldResolved() const { return keyFieldIndex_ >= 0; }

    // Filtering by column values, through the data set's filter expression.
    TdxDBGridFilter Filter{*this};

    // Summaries: one group, the default group.
    std::span<TdxDBGridSummaryGroup, 1> SummaryGroups() {
        return std::span<TdxDBGridSummaryGroup, 1>(&DefaultGroup(), 1);
    }
    TdxDBGridSummaryGroup& DefaultGroup() { return summaries_.group(); }
    const TdxDBGridSummaryGroup& DefaultGroup() const { return summaries_.group(); }

    // Summary formulas (calc/summaryformula.h). Setting them checks each over the data set's
    // fields (rg::Error "汇总公式“名称”：…", keeping those before) and computes them anew.
    const std::vector<SummaryFormula>& SummaryFormulas() const { return summaries_.formulas(); }
    void SetSummaryFormulas(std::vector<SummaryFormula> formulas);
    // The formula shown in the footer cells of `c` in place of its summaries; -1 when none.
    int ColumnFormula(const TdxDBGridColumn& c) const;
    // A group's value of formula `f`; the summary footer's.
    SummaryValue GroupFormulaValue(RowHandle group, int f) const;
    SummaryValue FooterFormulaValue(int f) const;
    // The text of formula `f`'s value.
    std::string FormulaText(int f, SummaryPlace place, const SummaryValue& value) const;

    // The tree of the last load.
    int TopCount() const;
    RowHandle Top(int i) const;
    int ChildCount(RowHandle r) const;
    RowHandle Child(RowHandle r, int i) const;
    RowHandle Parent(RowHandle r) const;
    bool HasChildren(RowHandle r) const { return ChildCount(r) > 0; }
    bool IsLastChild(RowHandle r) const;
    int Level(RowHandle r) const; // group level; data rows sit at GroupColumnCount()
    bool Expanded(RowHandle r) const;
    void SetExpanded(RowHandle r, bool on);
    int RecordOf(RowHandle r) const; // record position (a group row: its first record)
    Value KeyValueOf(RowHandle r) const;
    int DataRowCount() const { return tree_.dataCount(); }
    int GroupRowCount() const { return tree_.groupCount(); }
    int DataRowsBelow(RowHandle group) const;

    // Texts and values as shown.
    std::string GroupRowText(RowHandle group) const;
    const Value& GroupValue(RowHandle group) const;
    // The group's value as its row shows it, without caption and summaries.
    const std::string& GroupValueText(RowHandle group) const;
    // The group's value of summary item `item` of the default group as shown (showas.h);
    // empty when none.
    SummaryValue GroupSummaryValue(RowHandle group, int item) const;
    std::string CellText(RowHandle dataRow, const TdxDBGridColumn& c) const;
    Value CellValue(RowHandle dataRow, const TdxDBGridColumn& c) const;

    // Group footer rows after a data row, innermost first.
    int FooterRowCount(RowHandle dataRow) const;
    // The group footer rows a line of `r` is followed by: footer rows first, first + 1...
    // of data row `row`. A data row has all those it closes; a collapsed group row those of
    // the groups around it that its last data row closes, as a parent's footer shows
    // whatever the state of its children (its own and its subgroups' are hidden with its
    // rows); an expanded group row none, its rows follow it.
    struct FooterRun {
        RowHandle row;
        int first = 0;
        int count = 0;
    };
    FooterRun FootersAfter(RowHandle r) const;
    int FooterLevel(RowHandle dataRow, int j) const;
    bool FooterCellExists(RowHandle dataRow, const TdxDBGridColumn& c, int j) const;
    std::string FooterCellText(RowHandle dataRow, const TdxDBGridColumn& c, int j) const;
    SummaryValue FooterCellValue(RowHandle dataRow, const TdxDBGridColumn& c, int j) const;
    TdxSummaryType FooterCellKind(RowHandle dataRow, const TdxDBGridColumn& c, int j) const;
    // How the cell's item is shown (showas.h): a value shown otherwise is no sum of the
    // cells above it.
    ShowValuesAs FooterCellShowAs(RowHandle dataRow, const TdxDBGridColumn& c, int j) const;
    // The summary footer band.
    bool SummaryFooterCellExists(const TdxDBGridColumn& c) const;
    std::string SummaryFooterText(const TdxDBGridColumn& c) const;
    // As shown: a share of the whole is 100 % (ShownFooterValue).
    SummaryValue SummaryFooterValue(const TdxDBGridColumn& c) const;
    ShowValuesAs SummaryFooterShowAs(const TdxDBGridColumn& c) const;
    SummaryValueKind FooterValueKind(const TdxDBGridColumn& c) const;
    // Whether the column's footers (its summary footer and its group footer items) are of
    // several kinds: then each of its footer cells says its kind (FormatFooterValue).
    bool FooterNamesKind(const TdxDBGridColumn& c) const;
    // Where the grand total's row of `columns` says kGrandTotalLabel: the first column
    // without a summary footer; -1 when each has one.
    int SummaryFooterLabelColumn(std::span<const TdxDBGridColumn* const> columns) const;

    // The cross table, computed at every load from the loaded rows while it is set. Setting
    // one computes it at once and throws (keeping the one before) when it cannot be: a binary
    // cross field, an interval that cannot group it (CheckIntervalFits), cells that cannot
    // be summed (SummaryComputable).
    void SetCrossTable(const CrossTableDef& def);
    void ClearCrossTable();
    const std::optional<CrossTableDef>& CrossTableDefinition() const { return crossDef_; }
    // The cross table of the current rows; nullptr when none is set or its fields are gone.
    const CrossTable* ShownCrossTable() const { return cross_.get(); }
    // The groups' order by a cross column's value (columnCount(): the row total), -1: none.
    int CrossSortColumn() const { return crossSortColumn_; }
    bool CrossSortDown() const { return crossSortDown_; }
    void SetCrossSort(int column, bool down);
    // The child group rows of `parent` (the top ones for an invalid handle) in the cross
    // table's order.
    std::vector<RowHandle> CrossChildren(RowHandle parent) const;

    // The rows as shown, expanded groups open, footer rows included; held as runs, not one
    // entry per line.
    const VisibleLines& VisibleRows() const;

    // The focused row, following the data set's current record and moving it.
    RowHandle FocusedRow() const { return focused_; }
    void SetFocusedRow(RowHandle r);

    void addListener(GridListener* l);
    void removeListener(GridListener* l);

private:
    friend class TdxDBGridColumn;
    // What the grouping commands change, so that a cancelled load can put it back.
    struct ColumnState {
        TdxDBGridColumn* column;
        bool visible;
        TdxTreeListColumnSort sorted;
        IntervalSpec interval;
        TopGroups top;
    };
    struct GroupingState {
        std::vector<TdxDBGridColumn*> groupColumns;
        std::vector<ColumnState> columns;
    };
    enum class LoadReason { Structure, KeepExpanded };
    struct ViewState;
    // A load's rows before they are shown.
    struct LoadedRows {
        LoadedRows();
        LoadedRows(LoadedRows&&) noexcept;
        LoadedRows& operator=(LoadedRows&&) noexcept;
        ~LoadedRows();
        RowTree tree;
        std::vector<SummaryValue> footers;
        std::unique_ptr<CrossTable> cross;
        std::exception_ptr summaryError;
        std::unique_ptr<ServerRows> server;
    };

    void dataSetEvent(DataEvent e) override;
    DataSet* filteredDataSet() const override { return dataSet_; }
    const std::vector<int32_t>& loadedRecords() const override { return tree_.records(); }
    const ServerRows* serverRows() const override { return server_.get(); }
    void setDataSetFilter(const std::string& expression) override;
    void filterChanged() override { changed(); }

    // What a failed load leaves: no rows, or (for a change the old rows still answer, such
    // as a grouping) the rows, footers and grouping as they were. A cancel always keeps them.
    enum class OnFailure { ClearRows, KeepRows };
    void load(LoadReason reason, OnFailure onFailure = OnFailure::ClearRows);
    // The expanded groups and the focused row, to be found again after a load.
    ViewState viewState(LoadReason reason) const;
    // Drops grouping levels whose field is gone; false when there is nothing to load and
    // the rows are cleared.
    bool readyToLoad();
    // The rows of the current records, built aside: the view may repaint from the old ones
    // while progress is reported, and a cancelled load keeps them.
    LoadedRows loadRows();
    LoadedRows loadServerRows();
    // Folds the groups each level's top N leaves out into "其他", level after level, each
    // fold followed by the summaries of the new groups over their rows (topgroups.h).
    void foldTopGroups(LoadedRows& rows, std::vector<int32_t>& innerOf) const;
    void showRows(LoadedRows rows);
    void restoreView(const ViewState& view);
    void clearRows();
    void prepareSummaries();
    std::vector<FooterSource> footerSources() const;
    void setFooterValues(std::vector<SummaryValue> footers);
    void recomputeSummaries();
    void recomputeAndRepaint();
    void clearSummaryValues();
    bool levelHasFooters(int level) const;
    const TdxDBGridSummaryItem* footerItem(RowHandle dataRow, const TdxDBGridColumn& c, int j,
                                           int* slot) const;
    int groupAtLevel(RowHandle dataRow, int level) const;
    RowTree::Order rowOrder() const;
    // Reorders the loaded rows in place of a reload; the focused data row stays on its record.
    void sortAll();
    // What decides a load's tree besides the records: levels, sorts, summary items.
    std::string loadSignature() const;
    // Keeps the rows of the unfiltered records while a filter is set, so that clearing
    // the filter again needs no reload.
    void keepUnfilteredRows();
    GroupingState groupingState() const;
    void restoreGrouping(const GroupingState& s);
    // Reloads after a grouping change made since `before` (only marks it inside a grouping
    // update); a cancelled reload puts `before` back and rethrows.
    void reloadGrouping(const GroupingState& before);
    void summaryItemsChanged();
    // The shown values of the items (showas.h) from the group values held.
    void applyShowAs();
    void shownValuesChanged();
    void changed();
    void focusChanged();
    void invalidateVisible() { visibleDirty_ = true; }
    void focusFromDataSet();
    // The cross table of `tree`, nullptr when none is set or its fields are missing.
    std::unique_ptr<CrossTable> computeCrossTable(const RowTree& tree,
                                                  const ServerRows* server = nullptr) const;
    // A load's cross table; a value that cannot be summed is reported like the summaries'.
    void addCrossTable(LoadedRows& rows) const;
    int resolveField(const std::string& name) const;
    void rebindColumns();
    std::vector<std::string> groupFieldNames() const;
    // The interval of each grouping level, None where it does not apply to the field.
    std::vector<IntervalSpec> levelIntervals() const;

    DataSet* dataSet_ = nullptr;
    bool showGroupPanel_ = false, showRowFooter_ = false, showSummaryFooter_ = false;
    std::string summarySeparator_ = ", ";
    PrintChoices printChoices_;
    std::vector<std::unique_ptr<TdxDBGridColumn>> columns_;
    std::vector<TdxDBGridColumn*> headerOrder_;
    std::vector<TdxDBGridColumn*> groupColumns_;
    SummaryEngine summaries_{groupColumns_, [this] { summaryItemsChanged(); },
                             [this] { shownValuesChanged(); }};
    std::string keyField_;
    int keyFieldIndex_ = -1;

    std::vector<SummaryValue> formulaFooters_; // the summary footer's, one per formula
    RowTree tree_;
    std::unique_ptr<ServerRows> server_; // the rows stay on the server
    UnfilteredRows unfiltered_;
    std::vector<std::string> lastGroupFields_;

    mutable VisibleLines visible_;
    mutable bool visibleDirty_ = true;
    RowHandle focused_;
    bool movingDataSet_ = false;
    bool loading_ = false;

    int updateCount_ = 0;
    int groupingUpdateCount_ = 0;
    // A load of a new structure asked for inside a grouping update, made at its end.
    bool structureLoadPending_ = false;
    GroupingState groupingBeforeUpdate_; // restored when the update's load is cancelled
    bool summariesDirty_ = false;        // items changed inside BeginUpdate/EndUpdate
    std::vector<GridListener*> listeners_;

    std::optional<CrossTableDef> crossDef_;
    std::unique_ptr<CrossTable> cross_;
    int crossSortColumn_ = -1;
    bool crossSortDown_ = false;
};

// Holds a layout update (BeginUpdate) or a grouping update (BeginGroupingUpdate) for as long
// as it lives, so that no path out of a batch of changes forgets to end it. The normal end
// repaints or reloads and may throw; an end while another error unwinds drops its own
// error so that the first one reaches the user.
template <void (TdxDBGrid::*Begin)(), void (TdxDBGrid::*End)()> class GridBatch {
public:
    explicit GridBatch(TdxDBGrid& grid) : grid_(grid), unwinding_(std::uncaught_exceptions()) {
        (grid_.*Begin)();
    }
    ~GridBatch() noexcept(false) {
        if (ended_)
            return;
        if (std::uncaught_exceptions() == unwinding_) {
            (grid_.*End)();
            return;
        }
        try {
            (grid_.*End)();
        } catch (...) {
        }
    }
    GridBatch(const GridBatch&) = delete;
    GridBatch& operator=(const GridBatch&) = delete;
    // Ends the batch before the end of its scope.
    void end() {
        ended_ = true;
        (grid_.*End)();
    }

private:
    TdxDBGrid& grid_;
    int unwinding_;
    bool ended_ = false;
};
using GridUpdate = GridBatch<&TdxDBGrid::BeginUpdate, &TdxDBGrid::EndUpdate>;
using GroupingUpdate = GridBatch<&TdxDBGrid::BeginGroupingUpdate, &TdxDBGrid::EndGroupingUpdate>;

} // namespace rg
