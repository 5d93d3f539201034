// Calculated fields: a field of two operations over every row of the bench table, computed
// once the rows are open, against the open itself; doubles, integers and exact decimals (a
// decimal product and a division). Best of three runs each. Then a two-level grouping with a
// ratio summary formula and a share of the parent, against the same grouping without them.

#include "benchcommon.h"

#include "grid/showas.h"

#include <algorithm>

using namespace rg::bench;

namespace {

double calcSeconds(rg::DataSet& ds, const std::string& expression) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        ds.SetCalculatedFields({});
        const auto start = std::chrono::steady_clock::now();
        ds.SetCalculatedFields({{"结果", expression}});
        best = std::min(best, secondsSince(start));
    }
    return best;
}

double reloadSeconds(rg::TdxDBGrid& grid) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        grid.ReloadRows();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

void benchFormula(rg::DataSet& ds) {
    rg::TdxDBGrid grid;
    grid.SetDataSet(&ds);
    grid.CreateColumnsForFields(ds);
    grid.BeginUpdate();
    addSummary(grid, "qty", rg::TdxSummaryType::cstSum);
    addSummary(grid, "amount", rg::TdxSummaryType::cstSum);
    grid.EndUpdate();
    grid.SetKeyField("id");
    {
        rg::GroupingUpdate batch(grid);
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
        grid.GroupColumn(*grid.ColumnByFieldName("product"), 1);
    }
    const double without = reloadSeconds(grid);
    grid.SetSummaryFormulas(
        {{"均价", "SUM(amount) / SUM(qty)", grid.ColumnByFieldName("price")->Name()}});
    const double formula = reloadSeconds(grid);
    grid.DefaultGroup().SummaryItems.Items(1).SetShowAs(rg::ShowValuesAs::PercentOfParent);
    const double with = reloadSeconds(grid);
    report("calc_two_levels_groups", grid.GroupRowCount());
    report("calc_two_levels_seconds", without);
    report("calc_two_levels_formula_seconds", formula);
    report("calc_two_levels_formula_and_share_seconds", with);
    report("calc_two_levels_formula_and_share_vs_without", with / without);
}

} // namespace

void bench_calc(const Args& args) {
    const std::string path = benchTable(args, args.rows);
    double open = 1e30;
    for (int run = 0; run < 3; ++run) {
        rg::Connection conn;
        conn.SetConnectionString("Provider=SQLite;Data Source=" + path);
        rg::DataSet ds(&conn);
        ds.SetCommandText("SELECT * FROM bench");
        const auto start = std::chrono::steady_clock::now();
        ds.Open();
        open = std::min(open, secondsSince(start));
    }
    rg::Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=" + path);
    rg::DataSet ds(&conn);
    ds.SetCommandText("SELECT * FROM bench");
    ds.Open();
    report("calc_rows", static_cast<double>(ds.RecordCount()));
    report("calc_open_seconds", open);
    const std::pair<const char*, const char*> fields[] = {
        {"double", "qty * price - amount"},
        {"integer", "qty * 3 + id"},
        {"decimal", "qty * 1.25 + qty / 7"},
    };
    for (const auto& [name, expression] : fields) {
        const double s = calcSeconds(ds, expression);
        report(std::string("calc_") + name + "_seconds", s);
        report(std::string("calc_") + name + "_to_open", s / open);
    }
    ds.SetCalculatedFields({});
    benchFormula(ds);
}
