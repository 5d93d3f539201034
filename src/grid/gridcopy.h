#pragma once

// Rows of the grid as text for the clipboard, in the form spreadsheets and chat windows
// take when pasted: tab-separated cells, one line per record.

#include "grid/grid.h"

#include <functional>
#include <string>
#include <string_view>

namespace rg {

// A line of captions, then one line per data row: the row itself, or every data row under
// a group row at all depths in the order shown. Each line begins with one cell per
// grouping level holding the row's group value, so that a paste keeps which group each
// row belongs to, followed by the visible columns' display texts. A cell holding a tab, a
// line break or a quote is quoted, its quotes doubled; a text a spreadsheet would run as a
// formula gets a leading apostrophe (numbers stay as they are). Empty for no row.
std::string RowsAsText(const TdxDBGrid& grid, RowHandle row);
// The same for the rows `selected` answers true for, in the order shown; a selected group
// row stands for all data rows under it. Empty when nothing is selected.
std::string SelectedRowsAsText(const TdxDBGrid& grid,
                               const std::function<bool(RowHandle)>& selected);

// Appends one cell of a delimited line: as it is, or in quotes with its quotes doubled when
// it holds the separator, a quote or a line break (RFC 4180 with ",", spreadsheets' paste
// with a tab).
void AppendDelimitedCell(std::string& out, std::string_view text, char separator);

// Whether a spreadsheet given the text as a cell would take it for a formula: it begins
// with =, +, -, @, a tab or a carriage return.
bool SpreadsheetFormulaLike(std::string_view text);

} // namespace rg
