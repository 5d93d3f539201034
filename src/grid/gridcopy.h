#pragma once

// Rows of the grid as text for the clipboard, in the form spreadsheets and chat windows
// take when pasted: tab-separated cells, one line per record.

#include "grid/grid.h"

#include <string>

namespace rg {

// A line of the visible columns' captions, then the display texts of the data row, or of
// every data row under a group row at all depths in the order shown, one line each. A
// cell holding a tab, a line break or a quote is quoted, its quotes doubled. Empty for
// no row.
std::string RowsAsText(const TdxDBGrid& grid, RowHandle row);

} // namespace rg
