#pragma once

// A report setup between a settings file and the live connection, data set and grid:
// the loading and saving behind the main window's commands and the headless runner.

#include "datasource/dataset.h"
#include "grid/grid.h"
#include "setup/procedurewrites.h"

#include <optional>
#include <string>

namespace rg {

struct ReportObjects {
    Connection& conn;
    DataSet& dataset;
    TdxDBGrid& grid;
};

// "cmdText", "cmdTable", "cmdStoredProc"; empty for the kinds without a name.
std::string CommandTypeName(CommandType t);
// Compared byte for byte: any other text has no kind.
std::optional<CommandType> CommandTypeFromName(const std::string& name);
// "cstnone" ... "cstcount", and "cstavg" for an average so that it survives a save.
std::string SummaryTypeName(TdxSummaryType t);
// Unknown texts give cstNone.
TdxSummaryType SummaryTypeFromName(const std::string& name);

// Replaces the grid's columns by one read-only column per field of its data set, after
// clearing the grouping and switching on the group panel and footers. Summary items and
// the key field stay.
void BuildGridColumns(TdxDBGrid& grid);

// Adds the summary of field i as DefineSummary does, with the kind named as a settings
// file names it; any unknown text is cstNone.
void ApplySummary(TdxDBGrid& grid, int fieldIndex, const std::string& kindName,
                  SummaryPlace place = SummaryPlace::Footer);

// Applies a settings file: the report it describes replaces the previous one, summary
// items included, and the grid is arranged as it was saved. Errors (a refused
// connection, faulty SQL, a missing table, a saved summary, grouping, sort or filter that
// cannot be read or applied) end it where they arise; what was done before stays. A file
// that is missing or cannot be read fails before anything changes. Returns the notice
// listing the saved entries skipped because their field is gone, or empty. `placement`,
// when given, takes the place of where the file says the rows are summarized.
std::string LoadSetup(ReportObjects report, const std::string& fileName,
                      std::optional<RowPlacement> placement = std::nullopt);

// The stored procedure a settings file lets write, when the user has not allowed that yet
// for this file: what the window asks about before the first open.
std::optional<ProcedureWrite> UnapprovedProcedureWrite(const std::string& fileName);

// Writes the current setup into a settings file, in one write that replaces whatever
// report the file held; sections of other programs stay. Throws rg::Error naming the
// file when it cannot be written, and the file is then as it was.
void SaveSetup(ReportObjects report, const std::string& fileName);

} // namespace rg
