#pragma once

// The program's command line, read once and before any application object exists: --help,
// --version and a wrong option need no display, and a run takes the options read here. The
// usage text describes what this reader takes.

#include "calc/summaryformula.h"
#include "common/error.h"
#include "datasource/dataset.h"

#include <optional>
#include <string>
#include <vector>

namespace rg {

// What `reportgen --run FILE.ini [options]` asks for.
struct RunOptions {
    std::string setupFile;
    // Field names, outermost first, each with an interval after a ':' where it has one
    // ("订单日期:月", "amount:区间100").
    std::vector<std::string> groupBy;
    std::string filter;
    // "字段:汇总:显示方式" ("amount:sum:pct-parent"): how the first summary of that field and
    // kind is shown; "分组字段:N:汇总:字段" ("region:3:sum:amount"): a grouping level's top N.
    std::vector<std::string> showAs, top;
    // --calc NAME=EXPRESSION, in their order: defined for this run, after the saved ones
    // (taking the place of one of the same name).
    std::vector<CalculatedField> calculated;
    // --formula NAME=EXPRESSION or NAME:FIELD=EXPRESSION (shown in that field's column), in
    // their order, after the saved ones as --calc.
    std::vector<SummaryFormula> formulas;
    std::string format = "text"; // a name of ReportFormats()
    std::string output;          // empty: standard output (formats that write there)
    std::string saveAs;
    int timeoutSeconds = 0; // 0: no limit
    // Where a password the secret store does not give comes from: the file's first line,
    // else the environment variable REPORTGEN_PASSWORD. Never a value on the command line,
    // which every user can read in the process list.
    std::string passwordFile;
    // Values of the report's named parameters by name: a value as typed, or "@" and a date
    // preset; and the day the run is as of (none: today).
    ParameterTexts params;
    std::optional<int64_t> asOfDay;
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

// What `reportgen --run-schedule NAME [--as-of DATE] [--password-file FILE]` asks for: a
// saved schedule run as its timer runs it.
struct ScheduleRequest {
    std::string name;
    std::optional<int64_t> asOfDay;
    std::string passwordFile;
};

struct StartRequest {
    enum class Mode { Window, Run, RunSchedule, Help, Version, Misuse };
    Mode mode = Mode::Window;
    // Misuse: what was wrong. Run without options: their fault, which fails the run (exit
    // status 1) rather than misusing the command line.
    std::string problem;
    std::optional<RunOptions> run;           // Run: the options read
    std::optional<ScheduleRequest> schedule; // RunSchedule
};

// `args` without the program's name. "--run-schedule" first runs a schedule; "--run" first runs a
// report (its options are read by parseRunOptions); otherwise the window starts, with the options
// Qt takes for it.
StartRequest ReadCommandLine(const std::vector<std::string>& args);

// The options, the formats the runner writes and the exit statuses.
std::string UsageText();
std::string VersionText();

} // namespace rg
