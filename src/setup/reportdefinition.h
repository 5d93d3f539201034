#pragma once

// A report between its value (document/report.h), its settings file and the live
// connection, data set and grid: what the main window's document, the headless runner and
// the benchmark build reports with.

#include "datasource/dataset.h"
#include "document/report.h"
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

// The report the objects show, as a save writes it; and its source alone.
Report CaptureReport(ReportObjects report);
ReportSource CaptureSource(const Connection& conn, DataSet& dataset);

// Sets the connection and the data set to the source of a report, closing whatever they
// showed, without opening them. A stored procedure may write when the source says so and the
// user has allowed it for `setupFile` (the file the report comes from); without a file the
// source is the user's own. Returns the notice that a procedure runs read-only although its
// file asks otherwise, or empty. `placement`, when given, takes the place of where the
// source says the rows are summarized.
std::string SetReportSource(Connection& conn, DataSet& dataset, const ReportSource& source,
                            const std::optional<std::string>& setupFile,
                            std::optional<RowPlacement> placement = std::nullopt);
// SetReportSource, then the procedure's parameters and the open.
std::string OpenReportSource(Connection& conn, DataSet& dataset, const ReportSource& source,
                             const std::optional<std::string>& setupFile,
                             std::optional<RowPlacement> placement = std::nullopt);

// Binds the grid to the objects' data set and arranges it over the open rows as the report
// says, replacing the previous
// arrangement whole, with one read of the rows: columns, captions, summaries, key field,
// grouping, sort, filter, cross table and chart. An entry that cannot be read or applied
// throws rg::Error naming it; entries whose field is gone are skipped and listed in the
// notice returned (empty when none).
std::string ArrangeReport(ReportObjects objects, const Report& report);

// OpenReportSource, then ArrangeReport, with one read of the rows; the notices of both.
// Errors end it where they arise: callers that must keep what was shown build beside it.
std::string BuildReport(ReportObjects objects, const Report& report,
                        const std::optional<std::string>& setupFile,
                        std::optional<RowPlacement> placement = std::nullopt);

// The report of a settings file. A file that is missing or cannot be read throws, naming it.
Report ReadReportFile(const std::string& fileName);
// The named parameters of the report in a settings file as saved, in the order of its SQL
// text; none for a command that is no SQL text. Its connection is not touched (no password
// is asked for). A file that is missing or cannot be read throws, naming it.
std::vector<SqlParameter> SetupParameters(const std::string& fileName);
// The report's name as the list of saved reports shows it: the file's name without its
// folder and ".ini".
std::string ReportName(const std::string& fileName);
// Two notices as one message, a line each; either may be empty.
std::string JoinNotices(const std::string& a, const std::string& b);

// BuildReport on the report of a settings file, its errors led by "打开报表“…”失败". A file
// that is missing or cannot be read fails before anything changes. `calculated` fields are
// added after the file's own; one of the same name as a saved field takes its place. So are
// summary `formulas` (their `column` a field name).
std::string LoadSetup(ReportObjects report, const std::string& fileName,
                      std::optional<RowPlacement> placement = std::nullopt,
                      const std::vector<CalculatedField>& calculated = {},
                      const std::vector<SummaryFormula>& formulas = {});

// The stored procedure a settings file lets write, when the user has not allowed that yet
// for this file: what the window asks about before the first open.
std::optional<ProcedureWrite> UnapprovedProcedureWrite(const std::string& fileName);

// Writes the report the objects show into a settings file, in one write that replaces whatever
// report the file held; sections of other programs stay. Throws rg::Error naming the
// file when it cannot be written, and the file is then as it was.
void SaveSetup(ReportObjects report, const std::string& fileName);

} // namespace rg
