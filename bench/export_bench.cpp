// Spreadsheet export of a large grouped report, against plain buffered writes of the same
// number of bytes.

#include "benchcommon.h"
#include "datasource/dataset.h"
#include "export/excelexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "grid/grid.h"

#include <sqlite3.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
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
        "with recursive s(n) as (select 1 union all select n + 1 from s where n < " +
        std::to_string(rows) +
        ") insert into sales select n, '地区' || (n % 12), '城市' || (n % 97), n % 1000, (n % 500) "
        "* 1.25, "
        "'备注 ' || n, date('2020-01-01', '+' || (n % 1500) || ' days') from s;";
    sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// The same number of bytes through stdio in record-sized pieces.
double rawWrite(const std::string& path, size_t bytes) {
    const std::string piece(14, 'x');
    const auto t0 = std::chrono::steady_clock::now();
    FILE* f = std::fopen(path.c_str(), "wb");
    for (size_t done = 0; done < bytes; done += piece.size())
        std::fwrite(piece.data(), 1, piece.size(), f);
    std::fclose(f);
    return seconds(t0);
}

// The grid the export figures use: grouped by region and city with three footers.
std::unique_ptr<rg::bench::BenchGrid> salesGrid(const std::string& dbPath) {
    auto bench = std::make_unique<rg::bench::BenchGrid>(
        dbPath, rg::CommandType::cmdText,
        "select id, region, city, qty, price, note, day from sales");
    rg::TdxDBGrid& grid = bench->grid;
    rg::bench::addSummary(grid, "qty", rg::TdxSummaryType::cstSum);
    rg::bench::addSummary(grid, "price", rg::TdxSummaryType::cstMax);
    rg::bench::addSummary(grid, "id", rg::TdxSummaryType::cstCount);
    grid.BeginGroupingUpdate();
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    grid.GroupColumn(*grid.ColumnByFieldName("city"), 1);
    grid.SetKeyField("id");
    grid.EndGroupingUpdate();
    return bench;
}

struct XlsxRun {
    double seconds = 0;
    double growthMib = 0; // peak resident memory above the memory before the export
    size_t sheetRows = 0;
};

XlsxRun exportXlsx(rg::TdxDBGrid& grid, const std::string& path) {
    XlsxRun run;
    const double before = rg::bench::residentMb("VmRSS");
    rg::bench::resetPeakResident();
    const auto t0 = std::chrono::steady_clock::now();
    rg::ExportToXlsx(grid, path, true, rg::GridAppearance());
    run.seconds = seconds(t0);
    run.growthMib = rg::bench::peakResidentMb() - before;
    run.sheetRows = grid.VisibleRows().size() + 2;
    return run;
}

// The rows openpyxl reads from the workbook, streamed; -1 when it cannot read it.
double rowsReadBack(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c \"import openpyxl, sys\n"
        "ws = openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets[0]\n"
        "print(sum(1 for _ in ws.iter_rows(values_only=True)))\" '" +
        path + "' 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return -1;
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, p) != nullptr;
    const int status = pclose(p);
    return read && status == 0 ? std::atof(line) : -1;
}

} // namespace

void bench_export(const rg::bench::Args& args) {
    std::string pattern = args.dir + "/rg-export-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern.data());
    const std::string dbPath = folder + "/bench.db";
    // Grouped into 12 regions and 1,164 cities, 14,000 records fill most of the 16,384 rows
    // an .xls sheet holds.
    const int rows = 14000;
    makeDb(dbPath, rows);

    const auto bench = salesGrid(dbPath);
    rg::TdxDBGrid& grid = bench->grid;
    grid.ExpandAll();

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
    for (int i = 0; i < 3; ++i)
        raw = std::min(raw, rawWrite(folder + "/raw.bin", bytes));

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

    // .xlsx: the same report, then one of args.rows records; time per record against the
    // .xls writer's, and memory that must not grow with the records.
    XlsxRun small;
    small.seconds = 1e9;
    for (int i = 0; i < 3; ++i) {
        const XlsxRun r = exportXlsx(grid, folder + "/report.xlsx");
        if (r.seconds < small.seconds)
            small = r;
    }
    rg::bench::report("xlsx_export_rows", rows);
    rg::bench::report("xlsx_export_s", small.seconds);
    rg::bench::report("xlsx_vs_xls_per_row", small.seconds / best);
    rg::bench::report("xlsx_export_memory_growth_mib", small.growthMib);

    const std::string bigDb = folder + "/big.db";
    makeDb(bigDb, static_cast<int>(args.rows));
    const auto big = salesGrid(bigDb);
    big->grid.ExpandAll();
    const XlsxRun large = exportXlsx(big->grid, folder + "/big.xlsx");
    rg::bench::report("xlsx_big_export_rows", static_cast<double>(args.rows));
    rg::bench::report("xlsx_big_sheet_rows", static_cast<double>(large.sheetRows));
    rg::bench::report("xlsx_big_export_bytes",
                      static_cast<double>(std::filesystem::file_size(folder + "/big.xlsx")));
    rg::bench::report("xlsx_big_export_s", large.seconds);
    rg::bench::report("xlsx_big_vs_xls_per_row",
                      (large.seconds / static_cast<double>(args.rows)) / (best / rows));
    rg::bench::report("xlsx_big_export_memory_growth_mib", large.growthMib);
    // Read back whole by a real reader, as the suite does with a smaller workbook.
    rg::bench::report("xlsx_big_read_back_rows", rowsReadBack(folder + "/big.xlsx"));
    std::filesystem::remove_all(folder);
}

// A report beyond one sheet: 1,200,000 records in their groups go on a second worksheet. The
// time, the memory above the grid's, and the sheets and rows openpyxl reads back.
void bench_sheets(const rg::bench::Args& args) {
    std::string pattern = args.dir + "/rg-sheets-bench-XXXXXX";
    const std::string folder = mkdtemp(pattern.data());
    const int64_t records = args.rowsGiven ? args.rows : 1200000;
    makeDb(folder + "/sheets.db", static_cast<int>(records));
    const auto bench = salesGrid(folder + "/sheets.db");
    bench->grid.ExpandAll();
    const std::string path = folder + "/sheets.xlsx";
    const XlsxRun run = exportXlsx(bench->grid, path);
    rg::bench::report("xlsx_sheets_records", static_cast<double>(records));
    rg::bench::report("xlsx_sheets_report_rows", static_cast<double>(run.sheetRows));
    rg::bench::report("xlsx_sheets_export_s", run.seconds);
    rg::bench::report("xlsx_sheets_export_memory_growth_mib", run.growthMib);
    rg::bench::report("xlsx_sheets_bytes", static_cast<double>(std::filesystem::file_size(path)));
    const std::string command =
        "/usr/bin/python3 -c \"import openpyxl, sys\n"
        "book = openpyxl.load_workbook(sys.argv[1], read_only=True)\n"
        "print(len(book.worksheets), sum(1 for ws in book.worksheets for _ in "
        "ws.iter_rows(values_only=True)))\" '" +
        path + "' 2>/dev/null";
    double sheets = -1, rowsRead = -1;
    if (FILE* p = popen(command.c_str(), "r")) {
        if (std::fscanf(p, "%lf %lf", &sheets, &rowsRead) != 2)
            sheets = rowsRead = -1;
        pclose(p);
    }
    rg::bench::report("xlsx_sheets_worksheets", sheets);
    rg::bench::report("xlsx_sheets_read_back_rows", rowsRead);
    std::filesystem::remove_all(folder);
}
