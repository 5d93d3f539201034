#include "common/codepage.h"
#include "common/error.h"
#include "export/excelexport.h"
#include "exporttest.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace rg;

namespace {

std::string hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (unsigned char b : bytes) {
        if (!s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

double numberOf(const BiffRecord& r) {
    double d;
    std::memcpy(&d, r.data.data() + 6, 8);
    return d;
}

} // namespace

TEST(SpreadsheetExport, WorkedExampleByteForByte) {
    ExportDb db("create table w(A integer); insert into w values (5); insert into w values (7);");
    db.open("select A from w");
    db.grid.SetKeyField("A");
    db.grid.SetShowRowFooter(false);
    TdxDBGridColumn& a = db.grid.Columns(0);
    a.SetSummaryFooterField("A");
    a.SetSummaryFooterType(TdxSummaryType::cstSum);
    const std::string path = db.file("w.xls");
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());

    const std::string bytes = readFile(path);
    const BiffFile f(bytes);
    // BOF, CODEPAGE, GUTS, PALETTE, 4 + 5 + 1 FONT, 29 + 1 XF, COLINFO, DIMENSIONS.
    std::vector<uint16_t> ids;
    for (const BiffRecord& r : f.records)
        ids.push_back(r.id);
    std::vector<uint16_t> head = {0x0409, 0x0042, 0x0080, 0x0092};
    head.insert(head.end(), 10, 0x0231);
    head.insert(head.end(), 30, 0x0443);
    head.push_back(0x007D);
    head.push_back(0x0200);
    ASSERT_GE(ids.size(), head.size());
    EXPECT_EQ(std::vector<uint16_t>(ids.begin(), ids.begin() + static_cast<long>(head.size())),
              head);
    EXPECT_EQ(hex(bytes.substr(0, 16)), "09 04 06 00 00 00 10 00 00 00 42 00 02 00 A8 03");
    EXPECT_EQ(hex(f.records[head.size() - 2].data),
              "00 00 00 00 10 0E 0F 00 00 00 00 00"); // width 100 px

    const std::string marker("\x00\x02\x0A\x00\x00\x00\xFF\xFF\x00\x00\xFF\x00\x00\x00", 14);
    const size_t dim = bytes.find(marker);
    ASSERT_NE(dim, std::string::npos);
    EXPECT_EQ(hex(bytes.substr(dim + 14)), "04 02 09 00 00 00 00 00 16 00 01 00 41 "
                                           "7E 02 0A 00 01 00 00 00 1D 00 16 00 00 00 "
                                           "7E 02 0A 00 02 00 00 00 1D 00 1E 00 00 00 "
                                           "06 04 1D 00 03 00 00 00 18 00 00 00 00 00 00 00 28 40 "
                                           "03 00 0B 00 25 01 C0 02 C0 00 00 19 10 00 00 "
                                           "0A 00 00 00");

    // The fixed formats and the column's own: integer column right-aligned, grid lines on.
    EXPECT_EQ(hex(f.records[4 + 10 + 21].data), "05 00 01 00 21 78 41 03 A1 A1 A1 A1");
    EXPECT_EQ(hex(f.records[4 + 10 + 22].data), "06 00 01 00 22 78 41 02 71 71 71 71");
    EXPECT_EQ(hex(f.records[4 + 10 + 29].data), "0A 00 01 00 23 78 41 03 A1 A1 A1 A1");
    EXPECT_EQ(hex(f.records[4].data), "C8 00 00 00 FF 7F 05 41 72 69 61 6C");
    EXPECT_EQ(hex(f.records[8].data), "B4 00 00 00 0C 00 04 CB CE CC E5"); // 宋体, 9 pt, colour 12

    std::string err;
    const auto cells = readWithXlrd(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(cells.at({0, 0}), "s:A");
    EXPECT_EQ(cells.at({1, 0}), "n:5.0");
    EXPECT_EQ(cells.at({2, 0}), "n:7.0");
    // The formula's stored result is the grid's sum, for readers that do not recalculate.
    EXPECT_EQ(cells.at({3, 0}), "n:12.0");
}

TEST(SpreadsheetExport, ChineseTextsAndAnUngroupedGrid) {
    ExportDb db(kCitySales);
    db.open("select id, region, city, qty, price, note, day from sales order by id");
    db.ds.FieldByName("region").SetDisplayLabel("地区");
    db.grid.SetKeyField("id");
    db.grid.ColumnByFieldName("city")->SetVisible(false); // hidden: absent from the file
    const std::string path = db.file("报表.xls");
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());

    std::string err;
    const auto cells = readWithXlrd(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(cells.at({0, 0}), "s:id");
    EXPECT_EQ(cells.at({0, 1}), "s:地区");
    EXPECT_EQ(cells.at({0, 2}), "s:qty"); // city's place taken by the next column
    EXPECT_EQ(cells.at({0, 5}), "s:day");
    EXPECT_EQ(cells.count({0, 6}), 0u);
    EXPECT_EQ(cells.at({1, 1}), "s:上海");
    EXPECT_EQ(cells.at({1, 3}), "n:1.5");
    // Nulls are empty cells in the column's format, not the number 0.
    EXPECT_EQ(cells.count({3, 2}), 0u);
    EXPECT_EQ(cells.count({3, 3}), 0u);
    EXPECT_EQ(cells.at({1, 5}), "d:2024-03-05");

    // Chinese as GBK bytes with the byte count as length; no indent columns, one COLINFO
    // per exported column.
    const BiffFile f(readFile(path));
    EXPECT_EQ(f.cell(3, 2)->id, 0x0201);
    EXPECT_EQ(f.cell(3, 3)->u16(4), 29 + 3);
    EXPECT_EQ(f.cell(0, 1)->data.substr(6), std::string("\x04\x00", 2) + toAnsi("地区"));
    int colInfos = 0;
    for (const BiffRecord& r : f.records)
        if (r.id == 0x007D) {
            EXPECT_NE(r.u16(4), 400);
            ++colInfos;
        }
    EXPECT_EQ(colInfos, 6);
    EXPECT_EQ(f.rows(), 6); // header and five rows: with no footer kinds no summary row
}

// Dates and date-times as day serials in date formats, Booleans as Boolean cells; what a
// date column holds that is no date (a day number past the year 9999) stays its text.
TEST(SpreadsheetExport, DatesAndBooleansAreTypedCells) {
    ExportDb db(R"(
create table t(id integer primary key, day date, at datetime, ok boolean);
insert into t values (1, '2024-03-05', '2024-03-05 14:30:15', 1);
insert into t values (2, 1e12, '2023-12-31 00:00:00', 0);
insert into t values (3, null, null, null);
)");
    db.open("select id, day, at, ok from t order by id");
    db.grid.SetKeyField("id");
    const std::string path = db.file("typed.xls");
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());

    std::string err;
    const auto cells = readWithXlrd(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(cells.at({1, 1}), "d:2024-03-05");
    EXPECT_EQ(cells.at({1, 2}), "d:2024-03-05 14:30:15");
    EXPECT_EQ(cells.at({1, 3}), "b:1");
    EXPECT_EQ(cells.at({2, 1}).rfind("s:1", 0), 0u) << cells.at({2, 1});
    EXPECT_EQ(cells.at({2, 2}), "d:2023-12-31");
    EXPECT_EQ(cells.at({2, 3}), "b:0");
    for (int c = 1; c <= 3; ++c)
        EXPECT_EQ(cells.count({3, c}), 0u) << c;
    EXPECT_EQ(cells.at({1, 0}), "n:1.0");

    // NUMBER records holding the serial, BOOLERR records holding the value.
    const BiffFile f(readFile(path));
    ASSERT_EQ(f.cell(1, 1)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(1, 1)), 45356.0);
    EXPECT_DOUBLE_EQ(numberOf(*f.cell(1, 2)), 45356.0 + (14 * 3600 + 30 * 60 + 15) / 86400.0);
    ASSERT_EQ(f.cell(1, 3)->id, 0x0205);
    EXPECT_EQ(hex(f.cell(1, 3)->data.substr(6)), "01 00");
}

TEST(SpreadsheetExport, TwoGroupingLevelsWithFooters) {
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
    const std::string path = db.file("g.xls");
    ExportToSpreadsheet(g, path, true, GridAppearance());

    std::string err;
    const auto cells = readWithXlrd(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    const BiffFile f(readFile(path));
    // Sheet: indent columns 0 and 1; id 2, qty 3, price 4, day 5.
    EXPECT_EQ(cells.at({0, 2}), "s:id");
    EXPECT_EQ(cells.at({0, 5}), "s:day");
    // 北京 before 上海 (code page order); 北京 holds 朝阳 (5) and 海淀 (2).
    EXPECT_EQ(cells.at({1, 0}), "s:region : 北京 ");
    EXPECT_EQ(cells.at({2, 1}), "s:city : 朝阳 ");
    EXPECT_EQ(cells.at({3, 2}), "n:5.0");
    // Footer of 朝阳 (inner level, L = 1): the first column's text in sheet column 2.
    EXPECT_EQ(cells.at({4, 2}), "s:1");
    EXPECT_EQ(cells.at({4, 3}), "s:5.00");
    // Its own indent cell says what the row totals, as a spreadsheet's subtotals do.
    EXPECT_EQ(cells.at({4, 1}), "s:朝阳 id 计数，qty 合计，day 最小值");
    EXPECT_EQ(f.cell(4, 0)->id, 0x0201);
    EXPECT_EQ(cells.at({5, 1}), "s:city : 海淀 ");
    EXPECT_EQ(cells.at({6, 2}), "n:2.0");
    // After 海淀's row: the inner footer, then the outer one (L = 0) whose first text goes to
    // sheet column 1, with a BLANK of format 28 in column 2.
    EXPECT_EQ(cells.at({7, 2}), "s:1");
    EXPECT_EQ(cells.at({8, 1}), "s:2");
    EXPECT_EQ(cells.at({8, 0}), "s:北京 id 计数，qty 合计，day 最小值");
    EXPECT_EQ(cells.count({8, 2}), 0u);
    ASSERT_NE(f.cell(8, 2), nullptr);
    EXPECT_EQ(f.cell(8, 2)->id, 0x0201);
    EXPECT_EQ(f.cell(8, 2)->u16(4), 28);
    EXPECT_EQ(cells.at({8, 3}), "s:7.00");
    EXPECT_EQ(cells.at({8, 5}), "s:" + g.FooterCellText(g.Child(g.Child(g.Top(0), 1), 0),
                                                        *g.ColumnByFieldName("day"), 1));
    EXPECT_EQ(cells.at({9, 0}), "s:region : 上海 ");

    // Every data row is there: 5 of them, plus 2 + 4 group rows and 4 + 2 footer rows.
    int dataRows = 0;
    for (int r = 1; r < f.rows(); ++r)
        if (cells.count({r, 2}) && cells.at({r, 2}).rfind("n:", 0) == 0 &&
            f.cell(r, 2)->id == 0x027E)
            ++dataRows;
    EXPECT_EQ(dataRows, 5);
    const int summaryRow = 1 + 5 + 6 + 6;
    EXPECT_EQ(f.rows(), summaryRow + 1);

    // Summary row: COUNTA would count the footer texts, so the count is the grid's value; a
    // sum over a numeric column stays a live formula; a minimum over dates (texts in the
    // sheet) is the footer text.
    const BiffRecord* count = f.cell(summaryRow, 2);
    ASSERT_EQ(count->id, 0x0203);
    EXPECT_EQ(numberOf(*count), 5.0);
    const BiffRecord* sum = f.cell(summaryRow, 3);
    ASSERT_EQ(sum->id, 0x0406);
    EXPECT_EQ(hex(sum->data.substr(18)), "25 01 C0 11 C0 03 03 19 10 00 00");
    EXPECT_EQ(f.cell(summaryRow, 4)->id, 0x0201); // price has no footer
    EXPECT_EQ(cells.at({summaryRow, 5}), "s:" + g.SummaryFooterText(*g.ColumnByFieldName("day")));
    // The first indent column says what the row totals.
    EXPECT_EQ(cells.at({summaryRow, 0}), "s:总计");
}

TEST(SpreadsheetExport, EmptyGridsAndGridsWithoutKeyField) {
    ExportDb db(kCitySales);
    db.open("select id, qty from sales");
    db.grid.ColumnByFieldName("qty")->SetSummaryFooterField("qty");
    db.grid.ColumnByFieldName("qty")->SetSummaryFooterType(TdxSummaryType::cstMax);
    db.grid.ColumnByFieldName("id")->SetSummaryFooterType(TdxSummaryType::cstCount);
    const std::string path = db.file("e.xls");
    // No key field: header row and summary row only. A formula over no rows would take in
    // the header and itself, so the row holds what the grid's footer shows: a count of 0,
    // and no maximum of nothing.
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());
    BiffFile f(readFile(path));
    EXPECT_EQ(f.rows(), 2);
    EXPECT_EQ(db.grid.SummaryFooterText(*db.grid.ColumnByFieldName("id")), "0");
    ASSERT_EQ(f.cell(1, 0)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(1, 0)), 0.0);
    EXPECT_EQ(f.cell(1, 1)->id, 0x0201);
    EXPECT_EQ(f.cell(1, 1)->u16(4), 25);
    std::string err;
    readWithXlrd(path, &err);
    EXPECT_TRUE(err.empty()) << err;

    // A query without rows: a count of 0, and a maximum over no values stays empty.
    db.open("select id, qty from sales where id < 0");
    db.grid.ColumnByFieldName("qty")->SetSummaryFooterField("qty");
    db.grid.ColumnByFieldName("qty")->SetSummaryFooterType(TdxSummaryType::cstMax);
    db.grid.ColumnByFieldName("id")->SetSummaryFooterType(TdxSummaryType::cstCount);
    db.grid.SetKeyField("id");
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());
    f = BiffFile(readFile(path));
    EXPECT_EQ(f.rows(), 2);
    ASSERT_EQ(f.cell(1, 0)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(1, 0)), 0.0);
    EXPECT_EQ(f.cell(1, 1)->id, 0x0201);
    EXPECT_EQ(f.records.back().id, 0x000A);

    // A grid without a data set leaves an empty file.
    TdxDBGrid detached;
    ExportToSpreadsheet(detached, path, true, GridAppearance());
    EXPECT_EQ(readFile(path), "");
}

TEST(SpreadsheetExport, LimitsAreReportedAndThePreviousFileStays) {
    std::string wide = "create table wide(";
    for (int i = 0; i < 257; ++i)
        wide += (i ? ", c" : "c") + std::to_string(i) + " integer";
    wide += "); insert into wide(c0) values (1);";
    ExportDb db(wide + R"(
        create table many(n integer);
        with recursive s(n) as (select 1 union all select n + 1 from s where n < 16384)
        insert into many select n from s;)");
    const std::string path = db.file("old.xls");
    writeFile(path, "previous");

    db.open("select * from wide");
    db.grid.SetKeyField("c0");
    try {
        ExportToSpreadsheet(db.grid, path, true, GridAppearance());
        FAIL() << "257 columns written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("256"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("257"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(path), "previous");

    db.open("select n from many");
    db.grid.SetKeyField("n");
    try {
        ExportToSpreadsheet(db.grid, path, true, GridAppearance()); // header + 16,384
        FAIL() << "16,385 rows written";
    } catch (const Error& e) {
        // BIFF4 holds 16,384 rows; the message points to the format that holds the report.
        EXPECT_NE(std::string(e.what()).find("16384"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("16385"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(".xlsx"), std::string::npos) << e.what();
    }
    EXPECT_EQ(readFile(path), "previous");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(db.folder),
                            std::filesystem::directory_iterator()),
              2);

    // A file that cannot be created: the specified message, nothing left behind.
    const std::string bad = db.file("missing/x.xls");
    try {
        ExportToSpreadsheet(db.grid, bad, true, GridAppearance());
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + bad + "\". 文件夹不存在");
    }

    // Without summaries the summary footer is no row: header and 16,383 records fill the
    // sheet to its last row.
    db.open("select n from many where n < 16384");
    db.grid.SetKeyField("n");
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());
    EXPECT_EQ(BiffFile(readFile(path)).rows(), 16384);
    std::string error;
    const auto cells = readWithXlrd(path, &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(cells.at({16383, 0}), "n:16383.0");
    // A summary takes one row more.
    addSummary(db.grid, *db.grid.ColumnByFieldName("n"), TdxSummaryType::cstCount);
    db.grid.ReloadRows();
    try {
        ExportToSpreadsheet(db.grid, path, true, GridAppearance());
        FAIL() << "16,385 rows written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("16385"), std::string::npos) << e.what();
    }
}

TEST(SpreadsheetExport, LongSheetsLargeIntegersAndCaptions) {
    ExportDb db(R"(
        create table big(n integer, v integer);
        with recursive s(n) as (select 1 union all select n + 1 from s where n < 16382)
        insert into big select n, n from s;
        update big set v = 1000000000 where n = 1;
        update big set v = -536870913 where n = 2;
        update big set v = 536870911 where n = 3;)");
    db.open("select n, v from big");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("n");
    g.ColumnByFieldName("n")->SetSummaryFooterField("n");
    g.ColumnByFieldName("n")->SetSummaryFooterType(TdxSummaryType::cstSum);
    g.ColumnByFieldName("v")->SetSummaryFooterType(TdxSummaryType::cstCount);
    g.ReloadRows();
    GridAppearance look;
    look.disabledCaptions.insert(g.ColumnByFieldName("v")->Name());
    look.showGrid = false;
    const std::string path = db.file("big.xls");
    ExportToSpreadsheet(g, path, true, look);

    const BiffFile f(readFile(path));
    // Header, 16,382 rows and the summary: the 16,384 rows of the format, the formulas'
    // references reaching the last of them.
    EXPECT_EQ(f.rows(), 16384);
    const BiffRecord* sum = f.cell(16383, 0);
    ASSERT_EQ(sum->id, 0x0406);
    ASSERT_EQ(f.cell(16383, 1)->id, 0x0406);
    // Integers outside the RK range as NUMBER records, the edge of the range as RK.
    EXPECT_EQ(f.cell(1, 1)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(1, 1)), 1e9);
    EXPECT_EQ(f.cell(2, 1)->id, 0x0203);
    EXPECT_EQ(f.cell(3, 1)->id, 0x027E);
    // A disabled caption is an empty LABEL, not a BLANK.
    EXPECT_EQ(f.cell(0, 1)->id, 0x0204);
    EXPECT_EQ(f.cell(0, 1)->u16(6), 0);
    EXPECT_EQ(f.records.back().id, 0x000A);

    // xlrd reads the whole sheet, formulas with their stored results.
    std::string error;
    const auto cells = readWithXlrd(path, &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(cells.at({16382, 0}), "n:16382.0");
    EXPECT_EQ(cells.at({16383, 0}), "n:" + std::to_string(16382 * 16383 / 2) + ".0");
    EXPECT_EQ(cells.at({16383, 1}), "n:16382.0");
    EXPECT_EQ(cells.at({1, 1}), "n:1000000000.0");
}

TEST(SpreadsheetExport, CommandFlowNamesTheFile) {
    ExportDb db("create table w(a integer); insert into w values (1);");
    db.open("select a from w");
    db.grid.SetKeyField("a");
    std::filesystem::create_directories(db.file("my.reports"));
    EXPECT_EQ(
        exportCommand(ExportCommand::Spreadsheet, db.grid, db.file("my.reports/sales  ")).path,
        db.file("my.reports/sales.xls"));
    EXPECT_TRUE(std::filesystem::exists(db.file("my.reports/sales.xls")));
    EXPECT_EQ(exportCommand(ExportCommand::Spreadsheet, db.grid, db.file("sales.dat")).path,
              db.file("sales.dat"));
    std::string err;
    readWithXlrd(db.file("sales.dat"), &err);
    EXPECT_TRUE(err.empty()) << err;
}

TEST(SpreadsheetExport, SelectedRowsWithTheirGroups) {
    ExportDb db(kCitySales);
    db.open("select id, region, qty from sales order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    TdxDBGridExportExcel e;
    e.Grid = &g;
    e.SaveAll = false;
    EXPECT_EQ(e.ExportWalk().count(g).rows, 2 + 5); // nothing selected: every row
    // 上海 holds 1, 3 and 4; selecting its second row brings its group, and selecting the
    // group of 北京 brings all its rows, in tree order.
    const RowHandle shanghai = g.Top(1), beijing = g.Top(0);
    e.SelectedNodes = {g.Child(shanghai, 1), beijing};
    std::vector<RowHandle> rows;
    e.ExportWalk().forEachRow(g, [&](RowHandle r) { rows.push_back(r); });
    const std::vector<RowHandle> expected = {beijing, g.Child(beijing, 0), g.Child(beijing, 1),
                                             shanghai, g.Child(shanghai, 1)};
    EXPECT_EQ(rows, expected);
    e.SaveAll = true;
    EXPECT_EQ(e.ExportWalk().count(g).rows, 7);
}

// Other readers decode the sheet as GBK: what it cannot hold is written as "?" and counted
// once, with long texts cut at the cell limit, in one notice for the user.
TEST(SpreadsheetExport, CharactersOutsideGbkAndCutTextsAreCountedInOneNotice) {
    ExportDb db(
        "create table t(id integer primary key, note text);"
        "insert into t values (1, '表情 😀 ok'), (2, '안녕'), (3, '€ 普通'), (4, null), (5, ''),"
        "(6, printf('%.3000c', 'x'));");
    db.open("select id, note from t order by id");
    db.grid.SetKeyField("id");
    addSummary(db.grid, *db.grid.ColumnByFieldName("note"), TdxSummaryType::cstCount);
    const ExportResult r = exportCommand(ExportCommand::Spreadsheet, db.grid, db.file("t.xls"));
    EXPECT_EQ(
        r.notice,
        "有 4 个单元格的文字无法完整写入 .xls 文件：GBK 以外的字符写成了“?”，过长的文字被截断。"
        "输出为 Excel 工作簿（.xlsx）可保留完整的文字。");
    std::string err;
    const auto cells = readWithXlrd(r.path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(cells.at({1, 1}), "s:表情 ? ok");
    EXPECT_EQ(cells.at({2, 1}), "s:??");
    EXPECT_EQ(cells.at({3, 1}), "s:? 普通");
    EXPECT_EQ(cells.at({6, 1}).size(), 2 + biff::kMaxLabelText);
    // COUNTA would pass over the null and the empty text: the grid's count of 6 instead.
    EXPECT_EQ(cells.at({7, 1}), "n:6.0");
    const auto calc = readWithLibreOffice(r.path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(calc.at({7, 1}), "6");

    ExportDb plain(
        "create table t(id integer primary key, note text); insert into t values (1, '普通');");
    plain.open("select id, note from t");
    plain.grid.SetKeyField("id");
    EXPECT_EQ(exportCommand(ExportCommand::Spreadsheet, plain.grid, plain.file("p.xls")).notice,
              "");
}
