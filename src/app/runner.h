#pragma once

#include "common/error.h"
#include "datasource/dataset.h"

#include <optional>
#include <string>
#include <vector>

namespace rg {

class TdxDBGrid;

// What `reportgen --run FILE.ini [options]` asks for.
struct RunOptions {
    std::string setupFile;
    // Field names, outermost first, each with an interval after a ':' where it has one
    // ("订单日期:月", "amount:区间100").
    std::vector<std::string> groupBy;
    std::string filter;
    std::string format = "text"; // a name of ReportFormats()
    std::string output;          // empty: standard output (formats that write there)
    std::string saveAs;
    int timeoutSeconds = 0; // 0: no limit
    // --server or --memory; without either, as the setup file says.
    std::optional<RowPlacement> placement;
};

// Options that contradict each other: a misuse of the command line, as an unknown option
// before --run is.
class OptionConflict : public Error {
public:
    using Error::Error;
};

// Reads the options after "--run"; throws rg::Error on a malformed command line.
RunOptions parseRunOptions(const std::vector<std::string>& args);

// Groups the grid's level `level` by one --group-by entry: a field, or a field, ':' and an
// interval ("订单日期:月"); a field whose own name holds the ':' is taken whole. Throws
// rg::Error naming a field that is missing or an interval that does not fit it.
void groupByEntry(TdxDBGrid& grid, const std::string& entry, int level);

// Loads the setup exactly as the main window does, without a window, and writes the
// report. Returns the exit status; on failure the error's message goes to `errors` and
// nothing else is written. A report written whole but for what its format cannot hold
// (an .xls with texts outside GBK) or for saved entries whose field is gone returns 0 with
// the notices in `errors`. A run that
// passes its time limit is stopped where it is (a running statement through the driver)
// and returns 1.
int runReport(const RunOptions& options, std::string& errors);

} // namespace rg
