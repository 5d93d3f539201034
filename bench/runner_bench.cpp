// The runner writing the large table as CSV and as aligned text, run as a child process
// the way scripts run it: its time and its peak resident memory, flat and grouped.
// RG_BENCH_RUNNER names another runner binary to measure (an older build, say).

#include "benchcommon.h"

#include "setup/reportdefinition.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace rg::bench;

namespace {

std::string runnerPath() {
    if (const char* other = std::getenv("RG_BENCH_RUNNER"))
        return other;
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size());
    if (n <= 0)
        throw std::runtime_error("cannot find the benchmark's own folder");
    self.resize(static_cast<size_t>(n));
    return self.substr(0, self.rfind('/') + 1) + "reportgen";
}

// Best of three for the time and for the memory.
Run bestOfThree(const std::vector<std::string>& args) {
    Run best{1e9, 1e9};
    for (int i = 0; i < 3; ++i) {
        const Run r = runChild(args);
        best.seconds = std::min(best.seconds, r.seconds);
        best.peakMb = std::min(best.peakMb, r.peakMb);
    }
    return best;
}

// A settings file for the table, with a key field and two footers; grouped by region and
// product when `grouped`.
std::string makeSetup(const std::string& db, const std::string& path, bool grouped) {
    BenchGrid b(db, rg::CommandType::cmdTable, "bench");
    b.grid.SetKeyField("id");
    addSummary(b.grid, "qty", rg::TdxSummaryType::cstSum);
    addSummary(b.grid, "amount", rg::TdxSummaryType::cstMax);
    if (grouped) {
        rg::GroupingUpdate batch(b.grid);
        b.grid.GroupColumn(*b.grid.ColumnByFieldName("region"), 0);
        b.grid.GroupColumn(*b.grid.ColumnByFieldName("product"), 1);
    }
    rg::SaveSetup({b.conn, b.ds, b.grid}, path);
    return path;
}

} // namespace

void bench_runner(const Args& args) {
    const std::string db = benchTable(args, args.rows);
    const std::string runner = runnerPath();
    const std::string out = args.dir + "/rg_runner_bench.out";
    report("runner_rows", static_cast<double>(args.rows));
    for (const bool grouped : {false, true}) {
        const std::string name = grouped ? "grouped" : "flat";
        const std::string setup =
            makeSetup(db, args.dir + "/rg_runner_bench_" + name + ".ini", grouped);
        for (const char* format : {"csv", "text"}) {
            const Run r =
                bestOfThree({runner, "--run", setup, "--format", format, "--output", out});
            const std::string key = "runner_" + name + "_" + format;
            report(key + "_s", r.seconds);
            report(key + "_peak_mb", r.peakMb);
        }
        std::remove(setup.c_str());
    }
    std::remove(out.c_str());
}
