#pragma once

// The grid as the user arranged it (grouping, sorting, filter, hidden columns, column
// order and widths) between a settings file and the live grid. Columns are named by their
// fields, never by position, so a setup whose query has changed restores what still fits
// and skips the rest.

namespace rg {

class TSetup;
class TdxDBGrid;

void SaveGridState(TSetup& setup, TdxDBGrid& grid);

// Applies what the file holds and leaves everything else as it is: a file without these
// entries changes nothing.
void RestoreGridState(TSetup& setup, TdxDBGrid& grid);

} // namespace rg
