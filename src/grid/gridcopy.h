#pragma once

// Rows of the grid as text for the clipboard, in the form spreadsheets and chat windows
// take when pasted: tab-separated cells, one line per record.

#include "grid/grid.h"

#include <string>
#include <string_view>

namespace rg {

// A line of the visible columns' captions, then the display texts of the data row, or of
// every data row under a group row at all depths in the order shown, one line each. A
// cell holding a tab, a line break or a quote is quoted, its quotes doubled. Empty for
// no row.
std::string RowsAsText(const TdxDBGrid& grid, RowHandle row);

// Appends one cell of a delimited line: as it is, or in quotes with its quotes doubled when
// it holds the separator, a quote or a line break (RFC 4180 with ",", spreadsheets' paste
// with a tab).
void AppendDelimitedCell(std::string& out, std::string_view text, char separator);

} // namespace rg
