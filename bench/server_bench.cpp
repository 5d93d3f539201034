// Server mode on PostgreSQL: the statements that leave the rows on the server, then the
// program's side (the same report as the window shows it, two levels and four footers, and
// the runner writing it whole), each beside the same work done by psql, the server's own time. The
// server is the one RG_TEST_PG names; without --rows the table has 10,000,000 rows.

#include "benchcommon.h"

#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "server/serverquery.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

using namespace rg::bench;

namespace {

// psql with the server's address, run to the end; seconds it took.
double psqlSeconds(const rg::ConnParts& cs, const std::vector<std::string>& extra) {
    return psql(cs, extra).seconds;
}

template <typename Fn> double bestOfThree(Fn fn) {
    double best = 1e300;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        best = std::min(best, secondsSince(start));
    }
    return best;
}

const char* kGroupingSql =
    "SELECT region, shelf, GROUPING(region) + GROUPING(shelf), count(*), sum(amount), sum(qty), "
    "min(day), max(price) FROM srv8 GROUP BY GROUPING SETS ((region, shelf), (region), ())";

// The settings file of the report over srv8: key, four footers, grouped by region and
// shelf when `grouped`, summarized on the server.
std::string writeSetup(const std::string& path, const std::string& cs, bool grouped) {
    std::filesystem::remove(path);
    rg::TSetup s(path);
    s.WriteConnString(cs);
    s.WriteCommandType("cmdTable");
    s.WriteCommandText("srv8");
    s.WriteKeyField("id");
    s.WriteSummaryField("amount", "cstsum");
    s.WriteSummaryField("qty", "cstsum");
    s.WriteSummaryField("day", "cstmin");
    s.WriteSummaryField("price", "cstmax");
    if (grouped)
        s.WriteGroupColumns({"region", "shelf"});
    s.WriteServerSummaryEnabled("1");
    return path;
}

// The grouped report opened from its settings file as a click in the window's list does:
// the time until its groups are there, connect included.
struct ShownReport {
    rg::Connection conn;
    rg::DataSet ds{&conn};
    rg::TdxDBGrid grid;
    explicit ShownReport(const std::string& setup) {
        grid.SetDataSet(&ds);
        rg::LoadSetup({conn, ds, grid}, setup);
    }
};

// `psqlStart` is psql's own start and connect, left out of its times.
void programFigures(const std::string& cs, const rg::ConnParts& parts, const Args& args,
                    int64_t rows, double psqlGroups, double psqlStart) {
    const std::string grouped = writeSetup(args.dir + "/srv8-grouped.ini", cs, true);
    std::unique_ptr<ShownReport> shown;
    const double groupsShown = bestOfThree([&] {
        shown.reset();
        shown = std::make_unique<ShownReport>(grouped);
    });
    rg::TdxDBGrid& grid = shown->grid;
    report("server_program_groups_shown_s", groupsShown);
    report("server_program_groups_goal_s", psqlGroups + 1);
    report("server_program_top_groups", grid.TopCount());

    // A region opened, then its first shelf, and the rows a window shows of it read; each
    // time another region.
    int opened = 0;
    const rg::TdxDBGridColumn& note = *grid.ColumnByFieldName("note");
    const double firstPage = bestOfThree([&] {
        const rg::RowHandle region = grid.Top(opened++ % grid.TopCount());
        grid.SetExpanded(region, true);
        const rg::RowHandle shelf = grid.Child(region, 0);
        grid.SetExpanded(shelf, true);
        for (int i = 0; i < std::min(50, grid.ChildCount(shelf)); ++i)
            grid.CellText(grid.Child(shelf, i), note);
    });
    report("server_program_first_page_s", firstPage);
    report("server_program_first_page_goal_s", 0.5);

    const rg::TdxDBGridColumn& region = *grid.ColumnByFieldName("region");
    double to = 1e300, back = 1e300;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        grid.Filter.SetColumnFilter(region,
                                    rg::ColumnFilter::equalTo(rg::Value::fromText("区域 3")));
        to = std::min(to, secondsSince(start));
        start = std::chrono::steady_clock::now();
        grid.Filter.SetColumnFilter(region, std::nullopt);
        back = std::min(back, secondsSince(start));
    }
    const std::string filteredSql =
        std::string(kGroupingSql)
            .insert(std::string(kGroupingSql).find(" GROUP BY"), " WHERE region = '区域 3'");
    const double psqlFiltered = bestOfThree([&] {
                                    psqlSeconds(parts, {"-c", filteredSql});
                                }) -
                                psqlStart;
    report("server_program_filter_s", to);
    report("server_program_filter_psql_s", psqlFiltered);
    report("server_program_unfilter_s", back);
    report("server_program_unfilter_psql_s", psqlGroups);
    shown.reset();
    report("server_program_peak_mb", peakResidentMb());

    if (!args.walks)
        return;
    // The whole report as CSV through the runner, against psql's copy of the same rows in
    // the same order into a file.
    const std::string ini = writeSetup(args.dir + "/srv8.ini", cs, false);
    const std::string csv = args.dir + "/srv8-runner.csv";
    const std::string runner =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "reportgen";
    // Best of three up to a million rows; above, one run, for the time it takes.
    const int runs = rows > 1'000'000 ? 1 : 3;
    report("server_runner_runs", runs);
    Run best{1e300, 0};
    for (int i = 0; i < runs; ++i) {
        const Run c = runChild({runner, "--run", ini, "--server", "--group-by", "region,shelf",
                                "--format", "csv", "--output", csv});
        best.seconds = std::min(best.seconds, c.seconds);
        best.peakMb = std::max(best.peakMb, c.peakMb);
    }
    const std::string copied = args.dir + "/srv8-copy.csv";
    const double psqlCopy =
        bestOfThree([&] {
            psqlSeconds(parts,
                        {"-c", "\\copy (SELECT * FROM srv8 ORDER BY region, shelf, id) to '" +
                                   copied + "' csv"});
        }) -
        psqlStart;
    report("server_runner_csv_s", best.seconds);
    report("server_runner_csv_mb", static_cast<double>(std::filesystem::file_size(csv)) / 1048576);
    report("server_runner_peak_mb", best.peakMb);
    report("server_runner_copy_psql_s", psqlCopy);
    report("server_runner_vs_copy", best.seconds / psqlCopy);
    std::filesystem::remove(csv);
    std::filesystem::remove(copied);
}

// Every row through keyset pages, as an export walks them, against psql's copy of them.
void walkAllPages(rg::DataSet& ds, const rg::ConnParts& parts, int64_t rows, double psqlStart) {
    const double psqlCopy =
        bestOfThree([&] {
            psqlSeconds(parts, {"-c", "\\copy (SELECT * FROM srv8 ORDER BY id) to /dev/null"});
        }) -
        psqlStart;
    const rg::PageOrder byId{-1, false, ds.KeyFields()};
    int64_t walked = 0;
    const double all = bestOfThree([&] {
        rg::ServerQuery q(ds);
        walked = 0;
        std::vector<rg::Value> after;
        for (;;) {
            const auto page = q.page({}, {}, byId, after, 0, 50000);
            walked += page->rows;
            if (page->rows < 50000)
                break;
            after = {page->columns[static_cast<size_t>(byId.keyFields[0])].valueAt(page->rows - 1)};
        }
    });
    if (walked != rows)
        throw std::runtime_error("the pages held " + std::to_string(walked) + " rows");
    report("server_all_pages_s", all);
    report("server_copy_psql_s", psqlCopy);
    report("server_all_pages_vs_copy", all / psqlCopy);
}

} // namespace

void bench_server(const Args& args) {
    const char* env = std::getenv("RG_TEST_PG");
    if (!env || !*env) {
        report("server_skipped",
               "RG_TEST_PG is not set (source scripts/testdb.sh && testdb_start)");
        return;
    }
    const std::string cs = env;
    const rg::ConnParts parts = rg::parseConnectionString(cs);
    const int64_t rows = args.rowsGiven ? args.rows : 10'000'000;
    const std::string n = std::to_string(rows);
    // Made again only when its row count differs: two group columns of few values, a date,
    // decimals, a 64-bit key, a text.
    const double made = psqlSeconds(
        parts,
        {"-c",
         "CREATE TABLE IF NOT EXISTS srv8 (id bigint PRIMARY KEY, region text, shelf integer, "
         "day date, amount numeric(12,2), price double precision, qty bigint, note text)",
         "-c",
         "DO $$ BEGIN IF (SELECT count(*) FROM srv8) <> " + n +
             " THEN TRUNCATE srv8; "
             "INSERT INTO srv8 SELECT g, '区域 ' || (g % 8), g % 25, date '2020-01-01' + g % 2000, "
             "(g % 100000) / 100.0, g * 0.25, g::bigint * 1000003, "
             "CASE WHEN g % 10 = 0 THEN NULL ELSE '备注 ' || g END FROM generate_series(1, " +
             n + ") g; END IF; END $$",
         "-c", "CREATE INDEX IF NOT EXISTS srv8_groups ON srv8 (region, shelf, id)", "-c",
         "VACUUM ANALYZE srv8"});
    report("server_rows", static_cast<double>(rows));
    report("server_make_table_s", made);

    // psql's own start and connect, which the server's times below leave out.
    const double psqlStart = bestOfThree([&] { psqlSeconds(parts, {"-c", "SELECT 1"}); });
    report("server_psql_start_s", psqlStart);
    const double psqlGroups = bestOfThree([&] {
                                  psqlSeconds(parts, {"-c", kGroupingSql});
                              }) -
                              psqlStart;
    const double psqlFilter =
        bestOfThree([&] {
            psqlSeconds(parts, {"-c", "SELECT count(*) FROM srv8 WHERE region = '区域 3'"});
        }) -
        psqlStart;

    rg::Connection conn;
    conn.SetConnectionString(cs);
    conn.Open();
    rg::DataSet ds(&conn);
    ds.SetCommandType(rg::CommandType::cmdTable);
    ds.SetCommandText("srv8");
    ds.SetRowPlacement(rg::RowPlacement::Server);
    resetPeakResident();
    const double before = residentMb("VmRSS");
    ds.Open();
    const int region = ds.FieldByName("region").Index(), shelf = ds.FieldByName("shelf").Index();
    using Agg = rg::ServerAggregate;
    const std::vector<Agg> aggs{{Agg::Kind::Sum, ds.FieldByName("amount").Index()},
                                {Agg::Kind::Sum, ds.FieldByName("qty").Index()},
                                {Agg::Kind::Min, ds.FieldByName("day").Index()},
                                {Agg::Kind::Max, ds.FieldByName("price").Index()}};
    std::vector<rg::ServerGroup> groups;
    const double ownGroups = bestOfThree([&] {
        rg::ServerQuery q(ds);
        groups = q.groups({region, shelf}, aggs);
    });
    report("server_groups", static_cast<double>(groups.size()));
    report("server_groups_s", ownGroups);
    report("server_groups_psql_s", psqlGroups);

    const rg::PageOrder byId{-1, false, ds.KeyFields()};
    const double firstPage = bestOfThree([&] {
        rg::ServerQuery q(ds);
        q.page({region, shelf}, {rg::Value::fromText("区域 3"), rg::Value::fromInt(11)}, byId, {},
               0, 200);
    });
    report("server_first_page_s", firstPage);

    const double filtered = bestOfThree([&] {
        ds.SetFilter("region = '区域 3'");
        rg::ServerQuery(ds).count();
        ds.SetFilter("");
    });
    report("server_filter_count_and_back_s", filtered);
    report("server_filter_count_psql_s", psqlFilter);

    if (args.walks)
        walkAllPages(ds, parts, rows, psqlStart);
    report("server_peak_mb", peakResidentMb() - before);

    programFigures(cs, parts, args, rows, psqlGroups, psqlStart);
}
