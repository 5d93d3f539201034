#pragma once

// The grid's cross table as a sheet: the group rows of every level in the order the cross
// table shows them, then the totals; one leading column per grouping level, one column per
// cross value and the row total. The exporters write this sheet instead of the rows while
// the grid shows a cross table.

#include "grid/crosstable.h"

#include <string>
#include <vector>

namespace rg {

class TdxDBGrid;

struct CrossSheetRow {
    int level = 0;                   // of the group; the totals at 0
    int group = CrossTable::kTotals; // the tree's group, or the totals
    std::string text;                // the group row's text, "合计" for the totals
};

struct CrossSheet {
    const CrossTable* table = nullptr;
    int leading = 1;                   // leading columns: one per level, at least one
    int levels = 0;                    // grouping levels
    std::vector<std::string> captions; // of the leading columns
    std::vector<CrossSheetRow> rows;   // every group, depth first, the totals last
    // The parameter values the report ran with, above the header; empty without parameters.
    std::string heading;
};

// The sheet of the grid's cross table; the grid must show one.
CrossSheet crossSheetOf(TdxDBGrid& grid);

// A cell's value alone, as a spreadsheet would show its number: every digit of an exact
// value, the shortest digits of a double, a date as a date; no kind ("MAX=") before it and
// no rounding to the footers' two places. Empty for a cell without records.
std::string CrossCellText(const CrossTable& x, const SummaryValue& v);

// Comma-separated, UTF-8: for a spreadsheet (`listing` false: a byte-order mark, the group
// texts in their level's leading column) or for scripts (`listing`: each line's kind
// "header", "group" or "total" and level first, then the group text in one column). An
// empty path writes to standard output.
void ExportCrossTableCsv(TdxDBGrid& grid, const std::string& path, bool listing);
// A self-contained web page with the cross table.
void ExportCrossTableHtml(TdxDBGrid& grid, const std::string& path);
// An .xlsx sheet: numbers as numbers; for sums and counts the totals are SUM and SUMIF
// formulas over the cells they add up; header row and leading columns frozen.
void ExportCrossTableXlsx(TdxDBGrid& grid, const std::string& path);

} // namespace rg
