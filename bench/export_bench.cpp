// Spreadsheet export of a large grouped report, against plain buffered writes of the same
// number of bytes.

#include "benchcommon.h"
#include "datasource/dataset.h"
#include "export/excelexport.h"
#include "export/xmlexport.h"
#include "grid/grid.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void makeDb(const std::string& path, int rows) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "create table sales(id integer primary key, region text, city text, qty integer, "
                 "price real, note text, day date);",
                 nullptr, nullptr, nullptr);
    const std::string fill =
        "with recursive s(n) as (select 1 union all select n + 1 from s where n < " + std::to_string(rows) +
        ") insert into sales select n, '地区' || (n % 12), '城市' || (n % 97), n % 1000, (n % 500) * 1.25, "
        "'备注 ' || n, date('2020-01-01', '+' || (n % 1500) || ' days') from s;";
    sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The same number of bytes through stdio in record-sized pieces.
double rawWrite(const std::string& path, size_t bytes) {
    const std::string piece(14, 'x');
    const auto t0 = std::chrono::steady_clock::now();
    FILE* f = std::fopen(path.c_str(), "wb");
    for (size_t done = 0; done < bytes; done += piece.size()) std::fwrite(piece.data(), 1, piece.size(), f);
    std::fclose(f);
    return seconds(t0);
}

} // namespace

void bench_export(const rg::bench::Args& args) {
    std::string pattern = args.dir + "/rg-export-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern.data());
    const std::string dbPath = folder + "/bench.db";
    const int rows = 60000;
    makeDb(dbPath, rows);

    rg::bench::BenchGrid bench(dbPath, rg::CommandType::cmdText, "select id, region, city, qty, price, note, day from sales");
    rg::TdxDBGrid& grid = bench.grid;
    rg::bench::addSummary(grid, "qty", rg::TdxSummaryType::cstSum);
    rg::bench::addSummary(grid, "price", rg::TdxSummaryType::cstMax);
    rg::bench::addSummary(grid, "id", rg::TdxSummaryType::cstCount);
    grid.BeginGroupingUpdate();
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    grid.GroupColumn(*grid.ColumnByFieldName("city"), 1);
    grid.SetKeyField("id");
    grid.EndGroupingUpdate();

    const std::string xls = folder + "/report.xls";
    const rg::GridAppearance look;
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        rg::ExportToSpreadsheet(grid, xls, true, look);
        best = std::min(best, seconds(t0));
    }
    const size_t bytes = std::filesystem::file_size(xls);
    double raw = 1e9;
    for (int i = 0; i < 3; ++i) raw = std::min(raw, rawWrite(folder + "/raw.bin", bytes));

    double xml = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        rg::ExportToXml(grid, folder + "/report.xml", true, look);
        xml = std::min(xml, seconds(t0));
    }

    rg::bench::report("xls_export_rows", rows);
    rg::bench::report("xls_export_bytes", static_cast<double>(bytes));
    rg::bench::report("xls_export_s", best);
    rg::bench::report("xls_raw_write_s", raw);
    rg::bench::report("xls_export_vs_raw_write", best / raw);
    rg::bench::report("xml_export_s", xml);
    std::filesystem::remove_all(folder);
}
