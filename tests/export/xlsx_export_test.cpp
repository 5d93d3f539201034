#include "common/error.h"
#include "export/xlsxexport.h"
#include "exporttest.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace rg;

TEST(XlsxExport, TwoLevelsAsOutlineWithSubtotals) {
    ExportDb db(kCitySales);
    db.open("select id, region, city, qty, price, day from sales order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    addSummary(g, *g.ColumnByFieldName("id"), TdxSummaryType::cstCount);
    addSummary(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstSum);
    addSummary(g, *g.ColumnByFieldName("day"), TdxSummaryType::cstMin);
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    g.GroupColumn(*g.ColumnByFieldName("city"), 1);
    g.CollapseAll(); // collapsed groups are written whole
    const std::string path = db.file("g.xlsx");
    ExportToXlsx(g, path, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(path);
    ASSERT_TRUE(s.error.empty()) << s.error;

    // Indent columns 0 and 1; id 2, qty 3, price 4, day 5. Typed cells.
    EXPECT_EQ(s.cells.at({0, 2}), "s:id");
    EXPECT_EQ(s.cells.at({1, 0}), "s:region : 北京 ");
    EXPECT_EQ(s.cells.at({2, 1}), "s:city : 朝阳 ");
    EXPECT_EQ(s.cells.at({3, 2}), "n:5.0");
    EXPECT_EQ(s.cells.at({3, 4}), "n:5.5");
    EXPECT_EQ(s.cells.at({3, 5}), "d:2023-12-31T00:00:00");
    // Footers are subtotals over their group; the outer one skips the inner ones.
    EXPECT_EQ(s.cells.at({4, 2}), "f:=SUBTOTAL(3,C4:C4)=1");
    EXPECT_EQ(s.cells.at({8, 3}), "f:=SUBTOTAL(9,D3:D8)=7");
    EXPECT_EQ(s.cells.at({8, 5}), "f:=SUBTOTAL(5,F3:F8)=datetime.datetime(2023, 12, 31, 0, 0)");
    // 静安's only quantity is null: an empty cell, and a sum of 0 as the grid has it.
    EXPECT_EQ(s.cells.count({11, 3}), 0u);
    EXPECT_EQ(s.cells.at({12, 3}), "f:=SUBTOTAL(9,D12:D12)=0");
    // The summary footer is the last row.
    EXPECT_EQ(s.cells.at({18, 2}), "f:=SUBTOTAL(3,C2:C18)=5");
    EXPECT_EQ(s.cells.at({18, 3}), "f:=SUBTOTAL(9,D2:D18)=12");
    EXPECT_EQ(s.cells.count({19, 2}), 0u);

    // As a spreadsheet's own subtotals: group rows and their footers at the group's level,
    // the rows between one below, summaries below. Collapsing a level hides only what lies
    // deeper: each footer stays with its group row.
    const std::map<int, int> levels{{2, 1},  {3, 2},  {4, 1},  {5, 1},  {6, 2},  {7, 1}, {10, 1},
                                    {11, 2}, {12, 1}, {13, 1}, {14, 2}, {15, 2}, {16, 1}};
    EXPECT_EQ(s.levels, levels);
    for (const auto& [groupRow, footerRow] : {std::pair{2, 4}, {5, 7}, {10, 12}, {13, 16}})
        EXPECT_EQ(s.levels.at(groupRow), s.levels.at(footerRow));
    EXPECT_EQ(s.levels.count(1), 0u); // 北京 and its footer at the top level
    EXPECT_EQ(s.levels.count(8), 0u);
    // The footer row's first cell names its group and, where the columns' kinds differ,
    // each column's kind.
    EXPECT_EQ(s.cells.at({4, 1}), "s:朝阳 id 计数，qty 合计，day 最小值");
    EXPECT_EQ(s.cells.at({8, 0}), "s:北京 id 计数，qty 合计，day 最小值");
    EXPECT_EQ(s.cells.at({17, 0}), "s:上海 id 计数，qty 合计，day 最小值");
    // Numbers in the footer pattern's decimals; dates stay dates.
    EXPECT_EQ(s.formats.at({8, 3}), "#,##0.00");
    EXPECT_EQ(s.formats.at({8, 2}), "#,##0");
    EXPECT_EQ(s.formats.at({18, 3}), "#,##0.00");
    EXPECT_EQ(s.formats.at({8, 5}), "yyyy-mm-dd");
    EXPECT_EQ(s.facts.at("summary_below"), "1");
    EXPECT_EQ(s.facts.at("freeze"), "A2");
    EXPECT_EQ(s.facts.at("filter"), "A1:F18");
    // 100 grid pixels as a spreadsheet width (characters of the default font).
    ASSERT_EQ(g.ColumnByFieldName("qty")->Width(), 100);
    EXPECT_NEAR(s.widths.at(3), 14.29, 0.01);

    // Recalculated by LibreOffice, every footer equals the grid's.
    std::string err;
    const auto calc = readWithLibreOffice(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(calc.at({8, 3}), "7");
    EXPECT_EQ(calc.at({17, 2}), "3");
    EXPECT_EQ(calc.at({18, 3}), "12");
    EXPECT_EQ(calc.at({18, 5}), "2023-11-30");
}

TEST(XlsxExport, AnyTextTypedValuesAndValuesWhereFormulasWouldDiffer) {
    ExportDb db(
        "create table t(id integer primary key, name text, big integer, flag boolean, note text,"
        " amount decimal(20,2), at datetime, early date);"
        "insert into t values (1, '안녕하세요 😀 Straße', 9007199254740993, 1, 'x', 12.50,"
        " '2024-05-06 07:08:09', '1899-01-01');"
        "insert into t values (2, 'ok', 5, 0, null, 3, null, '2000-01-31');"
        "insert into t values (3, printf('%.40000c', 'w'), 7, 1, 'y', null, null, null);");
    db.open("select id, name, big, flag, note, amount, at, early from t order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    addSummary(g, *g.ColumnByFieldName("big"), TdxSummaryType::cstSum);
    addSummary(g, *g.ColumnByFieldName("note"), TdxSummaryType::cstCount);
    const std::string path = db.file("报表 ß 한국어.xlsx");
    ExportToXlsx(g, path, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(path);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({1, 1}), "s:안녕하세요 😀 Straße");
    // Beyond 2^53 a double would change the digits: the integer as text.
    EXPECT_EQ(s.cells.at({1, 2}), "s:9007199254740993");
    EXPECT_EQ(s.cells.at({1, 3}), "b:1");
    EXPECT_EQ(s.cells.at({2, 3}), "b:0");
    // The cell limit: 32,767 characters.
    EXPECT_EQ(s.cells.at({3, 1}), "s:" + std::string(32767, 'w'));
    // No formula gives what the grid shows: SUM skips the text, COUNTA the null.
    // The grid's exact 9007199254741005, which no double holds, with every digit.
    EXPECT_EQ(g.SummaryFooterText(*g.ColumnByFieldName("big")), "9007199254741005.00");
    EXPECT_EQ(s.cells.at({4, 2}), "s:9007199254741005");
    EXPECT_EQ(s.cells.at({4, 4}), "n:3.0");
    // Decimals are numbers in their scale's format; dates and times are dates, except those before
    // 1900-03-01, which spreadsheets count differently.
    EXPECT_EQ(s.cells.at({1, 5}), "n:12.5");
    // SQLite gives the decimal as 12.5, and the grid shows one place: so does the cell.
    EXPECT_EQ(g.CellText(g.Top(0), *g.ColumnByFieldName("amount")), "12.5");
    EXPECT_EQ(s.formats.at({1, 5}), "0.0");
    EXPECT_EQ(s.cells.at({1, 6}), "d:2024-05-06T07:08:09");
    EXPECT_EQ(s.cells.at({1, 7}), "s:" + g.CellText(g.Top(0), *g.ColumnByFieldName("early")));
    EXPECT_EQ(s.cells.at({2, 7}), "d:2000-01-31T00:00:00");
    EXPECT_EQ(s.facts.at("filter"), "A1:H4");
}

namespace {
// The writer's own count of the rows it writes, and its check against the sheet's limit.
struct XlsxRows : TdxDBGridExportXlsx {
    explicit XlsxRows(TdxDBGrid& g) { Grid = &g; }
    using TdxDBGridExportXlsx::CheckLimits;
    using TdxDBGridExportXlsx::SheetRows;
};
} // namespace

// The writer counts the rows it writes: compared with what it wrote on small reports; a
// report beyond one sheet goes on in further sheets (xlsx_sheets_test.cpp), and only one
// beyond the rows the writer counts in is refused.
TEST(XlsxExport, TheSheetHoldsItsLastRowAndNoEmptySummaryRow) {
    ExportDb db(kCitySales);
    db.open("select id, region, city, qty from sales");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    XlsxRows rows(g);
    const std::string path = db.file("rows.xlsx");
    auto written = [&] {
        ExportToXlsx(g, path, true, GridAppearance());
        const XlsxSheet s = readWithOpenpyxl(path);
        EXPECT_TRUE(s.error.empty()) << s.error;
        return std::stoll(s.facts.at("rows"));
    };
    // Without summaries the summary footer leaves no empty row behind the records.
    ASSERT_TRUE(g.ShowSummaryFooter());
    EXPECT_EQ(written(), 6);
    EXPECT_EQ(rows.SheetRows(rows.ExportWalk().count(g)), 6);
    const int64_t limit = TdxDBGridExportXlsx::kMaxSheetRows;
    auto refusal = [&](int64_t lines) -> std::string {
        try {
            rows.CheckLimits({lines, lines});
        } catch (const Error& e) {
            return e.what();
        }
        return {};
    };
    EXPECT_EQ(refusal(limit), ""); // the header and 1,048,576 records: a second sheet
    const int64_t most = TdxDBGridExportXlsx::kMaxWorkbookRows;
    EXPECT_EQ(refusal(most - 2048), ""); // with the header of each further sheet
    EXPECT_EQ(refusal(most - 2047),
              "Excel 工作簿的行数以 2147483647 为限，此报表需要 2147483648 行，无法输出。");

    // With a summary and a group: group rows, group footers and the summary row.
    addSummary(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstSum);
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    EXPECT_EQ(written(), 1 + 2 + 5 + 2 + 1);
    EXPECT_EQ(rows.SheetRows(rows.ExportWalk().count(g)), 11);
}

// Records in two grouping levels past the 65,536 rows of the older sheet formats, over many
// of the writer's deflated pieces: streamed out whole and read back whole. The million-record
// case is the benchmark's (xlsx_big_*).
TEST(XlsxExport, RecordsPastSixtyFiveThousandRowsInTwoLevels) {
    ExportDb db("create table t(id integer primary key, region text, city text, qty integer);"
                "with recursive s(n) as (select 1 union all select n + 1 from s where n < 70000) "
                "insert into t select n, 'r' || (n % 12), 'c' || (n % 97), n % 1000 from s;");
    db.open("select id, region, city, qty from t");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    addSummary(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstSum);
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    g.GroupColumn(*g.ColumnByFieldName("city"), 1);
    g.ExpandAll();
    const std::string path = db.file("m.xlsx");
    ExportToXlsx(g, path, true, GridAppearance());
    std::string out;
    ASSERT_EQ(
        run("/usr/bin/python3 -c \"import openpyxl, sys\n"
            "ws = openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets[0]\n"
            "rows = 0\nfor r in ws.iter_rows(values_only=True):\n    rows += 1\n    last = r\n"
            "print(rows, last)\" '" +
                path + "' 2>&1",
            &out),
        0)
        << out;
    // The grouped columns leave the grid: indents A and B, id in C, qty in D.
    const size_t rows = g.VisibleRows().size() + 2; // the header and the summary footer
    ASSERT_EQ(rows, 1u + 70000u + 12u * 97u * 2u + 12u * 2u + 1u);
    ASSERT_GT(rows, 65536u);
    const std::string n = std::to_string(rows - 1);
    EXPECT_EQ(out, std::to_string(rows) + " ('总计', None, None, '=SUBTOTAL(9,D2:D" + n + ")')\n");
}

// Values at the edges of a double and of a cell, read back by openpyxl and LibreOffice:
// every number as the same double, NaN and infinities by their names, an integer
// total beyond a double with every digit, and an over-long text cut at 32,767 UTF-16
// units with one notice for the export.
TEST(XlsxExport, EdgesOfNumbersAndTextsReadBackWhole) {
    std::string emoji;
    for (int i = 0; i < 20000; ++i)
        emoji += "😀"; // 40,000 UTF-16 units
    ExportDb db("create table t(id integer primary key, grp text, r real, n integer, note text);"
                "insert into t values (1, 'a', 1.7976931348623157e308, 9007199254740992, 'x');"
                "insert into t values (2, 'a', 0.1, 1, 'y');"
                "insert into t values (3, 'b', 9e999, 2, '" +
                emoji +
                "');"
                "insert into t values (4, 'b', -9e999, 3, 'z');"
                "insert into t values (5, 'c', 1.0000000000000002, 4, 'w');");
    db.open("select id, grp, r, n, note from t order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    addSummary(g, *g.ColumnByFieldName("r"), TdxSummaryType::cstSum);
    addSummary(g, *g.ColumnByFieldName("n"), TdxSummaryType::cstSum);
    g.GroupColumn(*g.ColumnByFieldName("grp"), 0);
    const ExportResult result =
        exportCommand(ExportCommand::Spreadsheet, g, db.file("edges.xlsx"), 0);
    EXPECT_NE(result.notice.find("有 1 个单元格"), std::string::npos) << result.notice;

    const XlsxSheet s = readWithOpenpyxl(result.path);
    ASSERT_EQ(s.error, "");
    // Columns: indent A, id B, r C, n D, note E. Group a: rows 1 to 4, b: 5 to 8, c: 9 to 11.
    EXPECT_EQ(s.cells.at({2, 2}), "n:1.7976931348623157e+308");
    EXPECT_EQ(s.cells.at({3, 2}), "n:0.1");
    EXPECT_EQ(s.cells.at({10, 2}), "n:1.0000000000000002");
    // 2^53 + 1: no double holds it; the footer keeps every digit.
    EXPECT_EQ(s.cells.at({4, 3}), "s:9007199254740993");
    EXPECT_EQ(s.cells.at({4, 0}), "s:a 合计");
    EXPECT_EQ(s.cells.at({6, 2}), "s:Infinity");
    EXPECT_EQ(s.cells.at({7, 2}), "s:-Infinity");
    EXPECT_EQ(s.cells.at({8, 2}), "s:NaN"); // inf + -inf
    std::string cut;
    for (int i = 0; i < 16383; ++i)
        cut += "😀";
    EXPECT_EQ(s.cells.at({6, 4}), "s:" + cut);

    // LibreOffice reads the same workbook: the largest double stays finite, every digit.
    std::string err;
    const auto calc = readWithLibreOffice(result.path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(calc.at({2, 2}), "1.7976931348623157E+308");
    EXPECT_EQ(calc.at({4, 3}), "9007199254740993");
    EXPECT_EQ(calc.at({6, 2}), "Infinity");
    EXPECT_EQ(calc.at({8, 2}), "NaN");
}
