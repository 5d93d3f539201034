// The cross table written through the export registry: the .xlsx sheet, its formulas
// recalculated by LibreOffice from scratch, equals the grid's cross table cell by cell.

#include "export/crosstableexport.h"
#include "export/exportregistry.h"

#include "../grid/testdb.h"
#include "exporttest.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rg;

namespace {

ExportResult exportAs(TdxDBGrid& grid, const char* format, const std::string& path) {
    ExportRegistry registry;
    AddCoreFormats(registry);
    ExportJob job{&grid, path, GridAppearance()};
    return registry.find(format)->write(job);
}

// The sheet without the cached results of its formulas, so that what a reader shows for
// them is its own calculation.
void dropCachedResults(const std::string& from, const std::string& to) {
    const std::string script = "import re, sys, zipfile\n"
                               "src = zipfile.ZipFile(sys.argv[1])\n"
                               "dst = zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED)\n"
                               "for i in src.infolist():\n"
                               "    d = src.read(i.filename)\n"
                               "    if i.filename.endswith('sheet1.xml'):\n"
                               "        d = re.sub(rb'</f><v>[^<]*</v>', b'</f>', d)\n"
                               "    dst.writestr(i, d)\n"
                               "dst.close()\n";
    writeFile(from + ".py", script);
    ASSERT_EQ(run("/usr/bin/python3 '" + from + ".py' '" + from + "' '" + to + "'"), 0);
}

} // namespace

TEST(CrossTableExport, XlsxRecalculatedEqualsTheGrid) {
    ExportDb db(kCrossOrders);
    db.open("select id, region, category, day, month, qty, amount from orders");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    {
        GroupingUpdate batch(g);
        g.GroupColumn(*g.ColumnByFieldName("region"), 0);
        g.GroupColumn(*g.ColumnByFieldName("category"), 1);
    }
    g.SetCrossTable({"month", {}, TdxSummaryType::cstSum, "amount"});
    // Ordered by the row total, so that the sheet's rows are not in value order.
    g.SetCrossSort(g.ShownCrossTable()->columnCount(), true);
    const std::string written = db.file("cross.xlsx"), bare = db.file("bare.xlsx");
    exportAs(g, "xlsx", written);

    const XlsxSheet s = readWithOpenpyxl(written);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.facts.at("freeze"), "C2"); // the header row and both leading columns
    // Each group row leads its subgroups, so the collapse buttons belong above them.
    EXPECT_EQ(s.facts.at("summary_below"), "0");
    EXPECT_EQ(s.cells.at({0, 2}), "s:2021-01");
    EXPECT_EQ(s.cells.at({0, 38}), "s:合计");
    EXPECT_EQ(s.cells.at({1, 38}).rfind("f:=SUM(C2:AL2)=", 0), 0u) << s.cells.at({1, 38});
    EXPECT_EQ(s.cells.at({1, 2}).rfind("f:=SUMIF($B$3:$B$7,\"<>\",C3:C7)=", 0), 0u)
        << s.cells.at({1, 2});

    dropCachedResults(written, bare);
    std::string err;
    const auto calc = readWithLibreOffice(bare, &err);
    ASSERT_TRUE(err.empty()) << err;
    const CrossSheet sheet = crossSheetOf(g);
    const CrossTable& x = *sheet.table;
    ASSERT_EQ(sheet.rows.size(), 10u + 50u + 1u);
    int compared = 0;
    for (size_t i = 0; i < sheet.rows.size(); ++i) {
        const int r = static_cast<int>(i) + 1;
        const CrossSheetRow& row = sheet.rows[i];
        EXPECT_EQ(calc.at({r, row.group == CrossTable::kTotals ? 0 : row.level}), row.text);
        for (int c = 0; c <= x.columnCount(); ++c) {
            const SummaryValue& v =
                c < x.columnCount() ? x.cell(row.group, c) : x.rowTotal(row.group);
            const auto it = calc.find({r, 2 + c});
            ASSERT_NE(it, calc.end()) << r << "," << c;
            EXPECT_NEAR(std::stod(it->second), v.toDouble(), 1e-6) << r << "," << c;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 61 * 37);
}

TEST(CrossTableExport, CellsAreTheirValuesAloneAndEmptyWithoutRecords) {
    ExportDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    g.SetCrossTable({"city", {}, TdxSummaryType::cstAvg, "amount"});
    const std::string path = db.file("cross.csv");
    ExportCrossTableCsv(g, path, true);
    const std::string csv = readFile(path);
    // Cities in GBK order: 北京 广州 杭州 上海 天津. The values alone, with their digits,
    // as a spreadsheet would show the numbers.
    EXPECT_NE(csv.find("group,0,region : 华北,20,,,,3,11.5\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("group,0,region : 华东,,,7.25,10.5,,8.875\r\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("AVG="), std::string::npos) << csv;

    // The sheet a spreadsheet opens and the web page the same way, and minima and maxima
    // without their kind either.
    g.SetCrossTable({"city", {}, TdxSummaryType::cstMax, "amount"});
    const std::string sheetPath = db.file("sheet.csv"), page = db.file("cross.html");
    ExportCrossTableCsv(g, sheetPath, false);
    ExportCrossTableHtml(g, page);
    const std::string sheet = readFile(sheetPath);
    EXPECT_NE(sheet.find("region : 华东,,,7.25,10.5,,10.5\r\n"), std::string::npos) << sheet;
    EXPECT_EQ(sheet.find("MAX="), std::string::npos) << sheet;
    std::string out;
    ASSERT_EQ(run("xmllint --html --xpath \"string(//tr[3]/td[5])\" '" + page + "' 2>&1", &out), 0);
    EXPECT_EQ(out, "10.5\n");
    EXPECT_EQ(readFile(page).find("MAX="), std::string::npos);
}
