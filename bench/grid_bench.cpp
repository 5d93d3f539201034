// Grid load over the large table: the row tree, group rows and every summary, without
// grouping and with one and two levels (and with a share of the parent shown), against the
// open of the same table; then the
// interaction on it, copying a group's rows included; last the grouping of a date column by
// month.

#include "benchcommon.h"

#include "datasource/dataset.h"
#include "grid/grid.h"
#include "grid/gridcopy.h"

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

using namespace rg::bench;

namespace {

struct LoadTimes {
    double first = 0; // cold: the first load after the change
    double best = 0;  // best of three
};

// The load a user meets (the first after a change) and the best of three reloads.
LoadTimes timeLoad(rg::TdxDBGrid& g, const std::function<void()>& change) {
    LoadTimes t;
    auto start = std::chrono::steady_clock::now();
    change();
    t.first = secondsSince(start);
    t.best = t.first;
    for (int i = 0; i < 2; ++i) {
        start = std::chrono::steady_clock::now();
        g.ReloadRows();
        t.best = std::min(t.best, secondsSince(start));
    }
    return t;
}

// Seconds of one operation, also as a ratio to the open.
double timed(const std::string& name, double openS, const std::function<void()>& op) {
    const auto start = std::chrono::steady_clock::now();
    op();
    const double s = secondsSince(start);
    report(name + "_s", s);
    report(name + "_vs_open", s / openS);
    return s;
}

} // namespace

// A cross table of 50 groups by 36 values over every row: the cells alone on the loaded
// grid, and the load of the grouping with the cross table set.
void benchCrossTable(const std::string& path) {
    BenchGrid bench(path, rg::CommandType::cmdText,
                    "select id, 'g' || (id % 50) as grp, 'm' || (id % 36) as mon, amount "
                    "from bench");
    rg::TdxDBGrid& grid = bench.grid;
    grid.SetKeyField("id");
    grid.GroupColumn(*grid.ColumnByFieldName("grp"), 0);
    double cells = 1e9;
    for (int i = 0; i < 3; ++i) {
        grid.ClearCrossTable();
        const auto start = std::chrono::steady_clock::now();
        grid.SetCrossTable({"mon", {}, rg::TdxSummaryType::cstSum, "amount"});
        cells = std::min(cells, secondsSince(start));
    }
    const rg::CrossTable* x = grid.ShownCrossTable();
    if (!x || x->columnCount() != 36 || grid.TopCount() != 50)
        throw std::runtime_error("the cross table is not 50 by 36");
    report("grid_cross_open_s", bench.openSeconds);
    report("grid_cross_50x36_s", cells);
    report("grid_cross_50x36_vs_open", cells / bench.openSeconds);
    const LoadTimes load = timeLoad(grid, [&] { grid.ReloadRows(); });
    report("grid_cross_load_with_table_s", load.best);
    report("grid_cross_load_with_table_vs_open", load.best / bench.openSeconds);
}

void bench_grid(const Args& args) {
    const std::string path = benchTable(args, args.rows);
    uint64_t textBytes = 0;
    const double rawS = rawSqliteScan(path, textBytes);
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

    const double rows = static_cast<double>(ds.RecordCount());
    report("grid_rows", rows);
    report("grid_sqlite_raw_scan_s", rawS);
    report("grid_open_s", openS);
    report("grid_open_vs_raw", openS / rawS);

    const size_t empty = heapInUse();
    const LoadTimes load0 = timeLoad(grid, [&] { grid.SetKeyField("id"); });
    const size_t flat = heapInUse();
    if (grid.DataRowCount() != ds.RecordCount())
        throw std::runtime_error("the grid lost rows");
    const LoadTimes load1 =
        timeLoad(grid, [&] { grid.GroupColumn(*grid.ColumnByFieldName("region"), 0); });
    const LoadTimes load2 =
        timeLoad(grid, [&] { grid.GroupColumn(*grid.ColumnByFieldName("product"), 1); });
    const size_t twoLevels = heapInUse();

    report("grid_load_flat_first_s", load0.first);
    report("grid_load_flat_s", load0.best);
    report("grid_load_1_level_first_s", load1.first);
    report("grid_load_1_level_s", load1.best);
    report("grid_load_2_levels_first_s", load2.first);
    report("grid_load_2_levels_s", load2.best);
    report("grid_group_rows_2_levels", grid.GroupRowCount());
    report("grid_bytes_per_row_flat",
           static_cast<double>(static_cast<int64_t>(flat - empty)) / rows);
    report("grid_bytes_per_row_2_levels",
           static_cast<double>(static_cast<int64_t>(twoLevels - empty)) / rows);
    report("grid_load_2_levels_first_vs_open", load2.first / openS);
    report("grid_load_2_levels_vs_open", load2.best / openS);

    // Each group's share of its parent, computed from the group values a load holds: the
    // same load with the share against it without.
    rg::TdxDBGridSummaryItem& amountItem = grid.DefaultGroup().SummaryItems.Items(1);
    amountItem.SetShowAs(rg::ShowValuesAs::PercentOfParent);
    const LoadTimes shared = timeLoad(grid, [&] { grid.ReloadRows(); });
    amountItem.SetShowAs(rg::ShowValuesAs::Value);
    report("grid_load_2_levels_with_share_s", shared.best);
    report("grid_load_2_levels_with_share_vs_without", shared.best / load2.best);

    // Interaction on the two-level grid: reversing the groups of a level and sorting the data
    // rows reorder without a reload; a header drop-down lists distinct values; choosing one
    // filters the data set and reloads.
    timed("grid_reverse_groups", openS,
          [&] { grid.SortByClick(*grid.ColumnByFieldName("region"), false); });
    timed("grid_sort_data_rows", openS,
          [&] { grid.SortByClick(*grid.ColumnByFieldName("amount"), false); });
    for (const char* field : {"product", "note", "amount"}) {
        rg::FilterValues values;
        timed(std::string("grid_dropdown_") + field, openS,
              [&] { values = grid.Filter.DropDownValues(*grid.ColumnByFieldName(field)); });
        if (values.values.empty())
            throw std::runtime_error(std::string("no values for ") + field);
    }
    timed("grid_filter_one_region", openS, [&] {
        grid.Filter.SetColumnFilter(*grid.ColumnByFieldName("region"),
                                    rg::ColumnFilter::equalTo(rg::Value::fromText("华东")));
    });
    report("grid_filter_one_region_rows", grid.DataRowCount());
    timed("grid_filter_clear", openS, [&] { grid.Filter.Clear(); });

    // Ctrl+C on a region's group row: every record under it as tab-separated text.
    std::string copied;
    timed("grid_copy_group", openS, [&] { copied = rg::RowsAsText(grid, grid.Top(0)); });
    report("grid_copy_group_rows", grid.DataRowsBelow(grid.Top(0)));
    report("grid_copy_group_bytes", static_cast<double>(copied.size()));
    copied = std::string();

    // The lines a view shows with every group of the two levels open, as the view asks for
    // them to paint and scroll.
    const size_t heapBefore = heapInUse();
    timed("grid_expand_all", openS, [&] {
        grid.ExpandAll();
        grid.VisibleRows();
    });
    report("grid_lines_expanded", static_cast<double>(grid.VisibleRows().size()));
    report("grid_lines_expanded_heap_mib",
           (static_cast<double>(heapInUse()) - static_cast<double>(heapBefore)) / 1048576.0);

    const double peak = peakResidentMb();
    report("values_as_text_mb", static_cast<double>(textBytes) / 1048576.0);
    report("peak_resident_mb", peak);
    report("peak_resident_vs_text", peak * 1048576.0 / static_cast<double>(textBytes));

    // Without grouping the sort by amount orders all rows at once, and its keys take memory
    // of their own for a moment: reported apart from the peak above.
    timed("grid_ungroup_sorted_flat", openS, [&] {
        grid.ClearGrouping();
        grid.VisibleRows();
    });
    const double flatPeak = peakResidentMb();
    report("peak_resident_with_flat_sort_mb", flatPeak);
    report("peak_resident_with_flat_sort_vs_text",
           flatPeak * 1048576.0 / static_cast<double>(textBytes));

    // The day column by month, its data rows in record order as for the levels above.
    grid.SortByClick(*grid.ColumnByFieldName("amount"), true);
    rg::TdxDBGridColumn& day = *grid.ColumnByFieldName("day");
    day.SetGroupInterval({rg::GroupInterval::Month, 0});
    const LoadTimes monthly = timeLoad(grid, [&] { grid.GroupColumn(day, 0); });
    report("grid_group_by_month_groups", grid.TopCount());
    report("grid_group_by_month_first_s", monthly.first);
    report("grid_group_by_month_s", monthly.best);
    report("grid_group_by_month_vs_open", monthly.best / openS);
    benchCrossTable(path);
}
