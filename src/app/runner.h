#pragma once

#include "app/commandline.h"

#include <string>
#include <vector>

namespace rg {

class TdxDBGrid;

// Groups the grid's level `level` by one --group-by entry: a field, or a field, ':' and an
// interval ("订单日期:月"); a field whose own name holds the ':' is taken whole. Throws
// rg::Error naming a field that is missing or an interval that does not fit it.
void groupByEntry(TdxDBGrid& grid, const std::string& entry, int level);
// One --show-as entry ("amount:sum:pct-parent"): the mode of the first summary of that field
// and kind; one --top entry ("region:3:sum:amount"): the top N of a grouped field's level.
// Throw rg::Error naming what is missing or cannot be shown so.
void showAsEntry(TdxDBGrid& grid, const std::string& entry);
void topEntry(TdxDBGrid& grid, const std::string& entry);

// Loads the setup exactly as the main window does, without a window, and writes the
// report. Returns the exit status; on failure the error's message goes to `errors` and
// nothing else is written. A report written whole but for what its format cannot hold
// (an .xls with texts outside GBK) or for saved entries whose field is gone returns 0 with
// the notices in `errors`. A run that
// passes its time limit is stopped where it is (a running statement through the driver)
// and returns 1.
int runReport(const RunOptions& options, std::string& errors);

// One load of the setup written to several files, as a schedule writes it: each output a
// format name and a path, written in order. With `skipEmpty` a report without rows writes
// none. `message` holds the error or the notices as runReport puts them in `errors`.
struct RunOutput {
    std::string format, path;
};
struct RunResult {
    int status = 0;
    std::string message;
    int rows = 0;
};
RunResult runReportOutputs(const RunOptions& options, const std::vector<RunOutput>& outputs,
                           bool skipEmpty);

} // namespace rg
