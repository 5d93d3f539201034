#pragma once

// The grid as the user arranged it (grouping, sorting, filter, hidden columns, column
// order and widths, footer formats, the cross table, the print choices) between a report
// and the live grid. Columns are named by their fields, never by position, so a setup whose
// query has changed restores what still fits and skips the rest.

#include <string>
#include <vector>

namespace rg {

struct Report;
class TdxDBGrid;

// Fills the report's arrangement entries from the grid, adding one field entry per column,
// in the columns' order.
void CaptureGridState(TdxDBGrid& grid, Report& report);

// Applies what the report holds and leaves everything else as it is: a report without these
// entries changes nothing but the print choices, which go back to the print engine's own. A
// grouping, sort or filter entry that cannot be read or applied throws rg::Error naming it; one
// whose field is gone is skipped and described in `skipped` ("排序 city").
void RestoreGridState(const Report& report, TdxDBGrid& grid, std::vector<std::string>& skipped);

// Adds to `skipped` every name that names no column of the grid, as `what` and the name.
void NoteGoneFields(const TdxDBGrid& grid, const std::vector<std::string>& names, const char* what,
                    std::vector<std::string>& skipped);

} // namespace rg
