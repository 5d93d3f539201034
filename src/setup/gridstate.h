#pragma once

// The grid as the user arranged it (grouping, sorting, filter, hidden columns, column
// order and widths) between a settings file and the live grid. Columns are named by their
// fields, never by position, so a setup whose query has changed restores what still fits
// and skips the rest.

#include <string>
#include <vector>

namespace rg {

class TSetup;
class TdxDBGrid;

void SaveGridState(TSetup& setup, TdxDBGrid& grid);

// Applies what the file holds and leaves everything else as it is: a file without these
// entries changes nothing. A grouping, sort or filter entry that cannot be read or applied
// throws rg::Error naming it; one whose field is gone is skipped and described in
// `skipped` ("排序 city").
void RestoreGridState(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped);

// Adds to `skipped` every name that names no column of the grid, as `what` and the name.
void NoteGoneFields(const TdxDBGrid& grid, const std::vector<std::string>& names, const char* what,
                    std::vector<std::string>& skipped);

} // namespace rg
