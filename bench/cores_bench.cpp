// The long steps on every core against the same steps on one thread, in one run, and
// beside DuckDB (its node package, bench/duckdb_bench.cjs) over the grid benchmark's table:
// two levels with four footers, the 50 x 36 cross table, grouping by month, the filter to
// one region, sorting the data rows, and the open against the raw scan.

#include "benchcommon.h"

#include "common/parallel.h"
#include "datasource/dataset.h"
#include "export/xlsxexport.h"
#include "grid/grid.h"
#include "grid/gridfilter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <time.h>

using namespace rg::bench;

namespace {

// Best of three, each after `prepare` (not timed).
double bestOfThree(const std::function<void()>& op, const std::function<void()>& prepare = {}) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        if (prepare)
            prepare();
        const auto start = std::chrono::steady_clock::now();
        op();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

// DuckDB's seconds by operation; empty (with a note printed) when its package does not
// install or run.
std::map<std::string, double> duckdbSeconds(int64_t rows) {
    std::map<std::string, double> out;
    const std::string build = RG_BENCH_BUILD_DIR, source = RG_BENCH_SOURCE_DIR;
    if (std::system(("bash " + source + "/bench/duckdb_install.sh " + build).c_str()) != 0) {
        report("duckdb_note", "the @duckdb/node-api package did not install: no DuckDB column");
        return out;
    }
    const std::string command = "NODE_PATH=" + build + "/duckdb-bench/node_modules node " + source +
                                "/bench/duckdb_bench.cjs " + std::to_string(rows);
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char line[256];
    while (std::fgets(line, sizeof line, pipe)) {
        char name[128];
        double value = 0;
        if (std::sscanf(line, "duckdb_%127[a-z0-9_]: %lf", name, &value) != 2)
            continue;
        std::string key = name;
        if (key.size() > 2 && key.compare(key.size() - 2, 2, "_s") == 0)
            out[key.substr(0, key.size() - 2)] = value;
        else
            report("duckdb_" + key, value);
    }
    if (pclose(pipe) != 0)
        report("duckdb_note", "DuckDB's run failed: its column is incomplete");
    return out;
}

// Seconds of processor time the process has used, on all its threads.
double processorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One operation on every core, on one thread and in DuckDB; on a busy machine the processor
// time the threads take together (`_cpu_vs_1_thread`) says what the wall time cannot.
void compare(const std::string& name, const std::map<std::string, double>& duck,
             const std::function<double()>& timedRun) {
    rg::setParallelThreads(1);
    double cpu = processorSeconds();
    const double one = timedRun();
    const double oneCpu = processorSeconds() - cpu;
    rg::setParallelThreads(0);
    cpu = processorSeconds();
    const double all = timedRun();
    const double allCpu = processorSeconds() - cpu;
    report("cores_" + name + "_1_thread_s", one);
    report("cores_" + name + "_s", all);
    report("cores_" + name + "_vs_1_thread", all / one);
    report("cores_" + name + "_cpu_vs_1_thread", allCpu / oneCpu);
    if (const auto it = duck.find(name); it != duck.end()) {
        report("cores_" + name + "_duckdb_s", it->second);
        report("cores_" + name + "_vs_duckdb", all / it->second);
    }
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The two-level grid, every group open, as .xlsx on one thread and on all: best of three
// each, and whether the two files are the same bytes.
void compareXlsx(rg::TdxDBGrid& grid, const std::string& dir) {
    grid.ExpandAll();
    const std::string one = dir + "/rg_cores_1_thread.xlsx", all = dir + "/rg_cores.xlsx";
    std::string path = one;
    compare("xlsx", {}, [&] {
        const double s =
            bestOfThree([&] { rg::ExportToXlsx(grid, path, true, rg::GridAppearance()); });
        path = all;
        return s;
    });
    report("cores_xlsx_same_bytes", fileBytes(one) == fileBytes(all) ? 1 : 0);
}

} // namespace

void bench_cores(const Args& args) {
    const std::string path = benchTable(args, args.rows);
    report("cores_threads", rg::parallelThreads());
    const std::map<std::string, double> duck = duckdbSeconds(args.rows);

    uint64_t textBytes = 0;
    const double rawS = rawSqliteScan(path, textBytes);
    report("cores_sqlite_raw_scan_s", rawS);
    // The open of the grid section; the best of three on every core against the raw scan.
    double openBest = 0;
    compare("open", {}, [&] {
        openBest = 1e9;
        for (int i = 0; i < 3; ++i)
            openBest =
                std::min(openBest, BenchGrid(path, rg::CommandType::cmdTable, "bench").openSeconds);
        return openBest;
    });
    report("cores_open_vs_raw", openBest / rawS);

    BenchGrid bench(path, rg::CommandType::cmdTable, "bench");
    rg::TdxDBGrid& grid = bench.grid;
    grid.BeginUpdate();
    addSummary(grid, "qty", rg::TdxSummaryType::cstSum);
    addSummary(grid, "amount", rg::TdxSummaryType::cstSum);
    addSummary(grid, "id", rg::TdxSummaryType::cstCount);
    addSummary(grid, "price", rg::TdxSummaryType::cstAvg);
    grid.EndUpdate();
    grid.SetKeyField("id");
    grid.BeginGroupingUpdate();
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    grid.GroupColumn(*grid.ColumnByFieldName("product"), 1);
    grid.EndGroupingUpdate();
    // Where threads start paying: the same load over the first records only.
    for (const int64_t few : {int64_t(1) << 15, int64_t(1) << 17, int64_t(1) << 19})
        if (few < args.rows) {
            bench.ds.SetFilter("id <= " + std::to_string(few));
            compare("two_levels_" + std::to_string(few) + "_rows", {},
                    [&] { return bestOfThree([&] { grid.ReloadRows(); }); });
        }
    bench.ds.SetFilter("");
    compare("two_levels", duck, [&] { return bestOfThree([&] { grid.ReloadRows(); }); });
    // The export of a million rows; ten million take minutes a run.
    if (args.rows <= 1000000)
        compareXlsx(grid, args.dir);
    rg::TdxDBGridColumn& region = *grid.ColumnByFieldName("region");
    compare("filter_one_region", duck, [&] {
        return bestOfThree(
            [&] {
                grid.Filter.SetColumnFilter(region,
                                            rg::ColumnFilter::equalTo(rg::Value::fromText("华东")));
            },
            [&] { grid.Filter.Clear(); });
    });
    grid.Filter.Clear();
    rg::TdxDBGridColumn& amount = *grid.ColumnByFieldName("amount");
    compare("sort_data_rows", duck,
            [&] { return bestOfThree([&] { grid.SortByClick(amount, false); }); });
    grid.ClearGrouping();
    compare("sort_flat", duck, [&] {
        return bestOfThree([&] {
            grid.SortByClick(amount, false);
            grid.VisibleRows();
        });
    });
    rg::TdxDBGridColumn& day = *grid.ColumnByFieldName("day");
    day.SetGroupInterval({rg::GroupInterval::Month, 0});
    grid.GroupColumn(day, 0);
    compare("by_month", duck, [&] { return bestOfThree([&] { grid.ReloadRows(); }); });

    BenchGrid cross(path, rg::CommandType::cmdText,
                    "select id, 'g' || (id % 50) as grp, 'm' || (id % 36) as mon, amount "
                    "from bench");
    cross.grid.SetKeyField("id");
    cross.grid.GroupColumn(*cross.grid.ColumnByFieldName("grp"), 0);
    compare("cross_50x36", duck, [&] {
        return bestOfThree(
            [&] {
                cross.grid.SetCrossTable({"mon", {}, rg::TdxSummaryType::cstSum, "amount"});
            },
            [&] { cross.grid.ClearCrossTable(); });
    });
    const rg::CrossTable* x = cross.grid.ShownCrossTable();
    if (!x || x->columnCount() != 36 || cross.grid.TopCount() != 50)
        throw std::runtime_error("the cross table is not 50 by 36");
}
