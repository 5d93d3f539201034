// The program's command line: the start's reading of every argument list, the runner's
// options after --run, and each --group-by entry applied to a grid over a table with a
// field of every kind. Faults are messages; options read once read the same when written
// out again; an entry either groups its field by an interval that fits it or says why not.

#include "app/commandline.h"
#include "app/runner.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "fuzzsupport.h"
#include "fuzztable.h"
#include "grid/grid.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

std::optional<RunOptions> runOptions(const std::vector<std::string>& args) {
    try {
        return parseRunOptions(args);
    } catch (const Error&) {
        return std::nullopt;
    }
}

// The options as a command line that asks for them.
std::vector<std::string> written(const RunOptions& o) {
    std::vector<std::string> args = {"--run", o.setupFile, "--format", o.format};
    std::string groups;
    for (const std::string& g : o.groupBy)
        groups += (groups.empty() ? "" : ",") + g;
    const std::pair<const char*, std::string> valued[] = {{"--group-by", groups},
                                                          {"--filter", o.filter},
                                                          {"--output", o.output},
                                                          {"--save-as", o.saveAs}};
    for (const auto& [option, value] : valued)
        if (!value.empty())
            args.insert(args.end(), {option, value});
    if (o.timeoutSeconds > 0)
        args.insert(args.end(), {"--timeout", std::to_string(o.timeoutSeconds)});
    if (o.placement)
        args.push_back(*o.placement == RowPlacement::Server ? "--server" : "--memory");
    return args;
}

bool same(const RunOptions& a, const RunOptions& b) {
    const auto tie = [](const RunOptions& o) {
        return std::tie(o.setupFile, o.groupBy, o.filter, o.format, o.output, o.saveAs,
                        o.timeoutSeconds, o.placement);
    };
    return tie(a) == tie(b);
}

TdxDBGrid& grid() {
    static Connection conn;
    static DataSet ds(&conn);
    static std::unique_ptr<TdxDBGrid> g;
    if (g)
        return *g;
    conn.SetConnectionString(rgfuzz::ordersConnection());
    ds.SetCommandText("SELECT * FROM orders");
    ds.Open();
    g = std::make_unique<TdxDBGrid>();
    g->SetDataSet(&ds);
    g->CreateColumnsForFields(ds);
    return *g;
}

void checkGrouping(const std::vector<std::string>& entries) {
    TdxDBGrid& g = grid();
    g.ClearGrouping();
    try {
        GroupingUpdate oneLoad(g);
        for (size_t level = 0; level < entries.size(); ++level)
            groupByEntry(g, entries[level], static_cast<int>(level));
    } catch (const Error&) {
        return;
    }
    require(g.GroupColumnCount() <= static_cast<int>(entries.size()),
            "no more levels than entries");
    for (int level = 0; level < g.GroupColumnCount(); ++level) {
        const TdxDBGridColumn& c = g.GroupColumns(level);
        require(intervalFits(c.GroupInterval().kind, c.field()->Kind()),
                "a field is grouped by an interval that fits it");
    }
}

} // namespace

// The input is the argument list, one argument a line.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    for (size_t at = 0; at <= input.size();) {
        const size_t end = std::min(input.find('\n', at), input.size());
        args.emplace_back(input.substr(at, end - at));
        at = end + 1;
    }
    const StartRequest start = ReadCommandLine(args);
    require(start.mode != StartRequest::Mode::Misuse || !start.problem.empty(),
            "a misuse is named");
    if (args[0] != "--run")
        return 0;
    const std::optional<RunOptions> options = runOptions(args);
    if (!options)
        return 0;
    require(start.mode == StartRequest::Mode::Run && start.run && same(*start.run, *options),
            "options that read run as read");
    const std::optional<RunOptions> again = runOptions(written(*options));
    require(again && same(*again, *options), "options written out read the same");
    checkGrouping(options->groupBy);
    return 0;
}
