// Grid load over the large table: the row tree, group rows and every summary, without
// grouping and with one and two levels, against the open of the same table; then the
// interaction on it, copying a group's rows included.

#include "benchcommon.h"

#include "datasource/dataset.h"
#include "grid/grid.h"
#include "grid/gridcopy.h"

#include <chrono>
#include <stdexcept>
#include <string>

using namespace rg::bench;

namespace {

// Best of a few loads: the first one also warms the caches of the record store.
double timeLoad(rg::TdxDBGrid& g) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        g.ReloadRows();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

} // namespace

void bench_grid(const Args& args) {
    const std::string path = benchTable(args, args.rows);
    BenchGrid bench(path, rg::CommandType::cmdTable, "bench");
    rg::DataSet& ds = bench.ds;
    rg::TdxDBGrid& grid = bench.grid;
    const double openS = bench.openSeconds;
    // Three items; footer kinds sum and count.
    grid.BeginUpdate();
    addSummary(grid, "qty", rg::TdxSummaryType::cstSum);
    addSummary(grid, "amount", rg::TdxSummaryType::cstSum);
    addSummary(grid, "id", rg::TdxSummaryType::cstCount);
    grid.EndUpdate();

    const size_t empty = heapInUse();
    grid.SetKeyField("id");
    const size_t flat = heapInUse();
    if (grid.DataRowCount() != ds.RecordCount()) throw std::runtime_error("the grid lost rows");
    const double load0 = timeLoad(grid);

    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    const double load1 = timeLoad(grid);

    grid.GroupColumn(*grid.ColumnByFieldName("product"), 1);
    const double load2 = timeLoad(grid);
    const size_t twoLevels = heapInUse();

    const double rows = static_cast<double>(ds.RecordCount());
    report("grid_rows", rows);
    report("grid_open_s", openS);
    report("grid_load_flat_s", load0);
    report("grid_load_1_level_s", load1);
    report("grid_load_2_levels_s", load2);
    report("grid_group_rows_2_levels", grid.GroupRowCount());
    report("grid_bytes_per_row_flat", static_cast<double>(static_cast<int64_t>(flat - empty)) / rows);
    report("grid_bytes_per_row_2_levels", static_cast<double>(static_cast<int64_t>(twoLevels - empty)) / rows);
    report("grid_load_2_levels_vs_open", load2 / openS);

    // Interaction on the two-level grid: reversing the groups of a level and sorting the data
    // rows reorder without a reload; a header drop-down lists distinct values; choosing one
    // filters the data set and reloads.
    auto start = std::chrono::steady_clock::now();
    grid.SortByClick(*grid.ColumnByFieldName("region"), false);
    report("grid_reverse_groups_s", secondsSince(start));
    start = std::chrono::steady_clock::now();
    grid.SortByClick(*grid.ColumnByFieldName("amount"), false);
    report("grid_sort_data_rows_s", secondsSince(start));
    for (const char* field : {"product", "note", "amount"}) {
        start = std::chrono::steady_clock::now();
        const rg::FilterValues values = grid.Filter.DropDownValues(*grid.ColumnByFieldName(field));
        report(std::string("grid_dropdown_") + field + "_s", secondsSince(start));
        if (values.values.empty()) throw std::runtime_error(std::string("no values for ") + field);
    }
    start = std::chrono::steady_clock::now();
    grid.Filter.SetColumnFilter(*grid.ColumnByFieldName("region"), rg::ColumnFilter::equalTo(rg::Value::fromText("华东")));
    report("grid_filter_one_region_s", secondsSince(start));
    report("grid_filter_one_region_rows", grid.DataRowCount());
    start = std::chrono::steady_clock::now();
    grid.Filter.Clear();
    report("grid_filter_clear_s", secondsSince(start));

    // Ctrl+C on a region's group row: every record under it as tab-separated text.
    start = std::chrono::steady_clock::now();
    const std::string copied = rg::RowsAsText(grid, grid.Top(0));
    report("grid_copy_group_s", secondsSince(start));
    report("grid_copy_group_rows", grid.DataRowsBelow(grid.Top(0)));
    report("grid_copy_group_bytes", static_cast<double>(copied.size()));
}
