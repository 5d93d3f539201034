// A report beyond the rows of one sheet goes on in further sheets of the same workbook. The
// writer's sheet limit is made small so that a few thousand records need several sheets;
// LibreOffice recalculates every formula, and the sheets read one after another equal the
// same report written on one sheet, footer for footer.

#include "common/error.h"
#include "export/xlsxexport.h"
#include "exporttest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace rg;

namespace {

struct Sheets {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows; // per sheet, each row's cells joined by tabs
};

Sheets readSheets(const std::string& path, bool values) {
    const std::string script = std::string(RG_SOURCE_DIR) + "/tests/export/openpyxl_sheets.py";
    std::string out;
    Sheets s;
    EXPECT_EQ(run("PYTHONIOENCODING=utf-8 /usr/bin/python3 " + script + " '" + path + "'" +
                      (values ? " values" : "") + " 2>&1",
                  &out),
              0)
        << out;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("sheet\t", 0) == 0) {
            s.names.push_back(line.substr(6));
            s.rows.emplace_back();
        } else if (!s.rows.empty()) {
            s.rows.back().push_back(line);
        }
    }
    return s;
}

// The workbook as LibreOffice saves it after opening it, every formula computed again.
std::string recalculated(const std::string& path) {
    const std::filesystem::path file(path);
    const std::string dir = file.parent_path().string() + "/libreoffice";
    std::string out;
    EXPECT_EQ(run("soffice -env:UserInstallation=file://" + dir +
                      "/profile --headless --convert-to xlsx --outdir '" + dir + "' '" + path +
                      "' 2>&1",
                  &out),
              0)
        << out;
    return dir + "/" + file.filename().string();
}

void writeXlsx(TdxDBGrid& g, const std::string& path, int64_t sheetRows) {
    TdxDBGridExportXlsx e;
    e.FileName = path;
    e.Grid = &g;
    e.Look = GridAppearance();
    e.SheetRowLimit = sheetRows;
    e.Execute();
}

const char* const kManyRecords =
    "create table t(id integer primary key, region text, city text, qty integer, price real);"
    "with recursive s(n) as (select 1 union all select n + 1 from s where n < 3000) "
    "insert into t select n, 'r' || (n % 4), 'c' || (n % 13), n * 1000003 % 999999937, "
    "(n % 89) / 8.0 from s;";

} // namespace

TEST(XlsxSheets, AReportBeyondASheetGoesOnInFurtherSheetsWithItsFootersRight) {
    ExportDb db(kManyRecords);
    db.open("select id, region, city, qty, price from t");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    TdxDBGridColumn& qty = *g.ColumnByFieldName("qty");
    TdxDBGridColumn& price = *g.ColumnByFieldName("price");
    addSummary(g, qty, TdxSummaryType::cstSum);
    addSummary(g, price, TdxSummaryType::cstMax);
    qty.SetSummaryFooterType(TdxSummaryType::cstSum);
    price.SetSummaryFooterType(TdxSummaryType::cstAvg);
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    g.GroupColumn(*g.ColumnByFieldName("city"), 1);
    g.ExpandAll();

    const std::string one = db.file("one.xlsx"), split = db.file("split.xlsx");
    writeXlsx(g, one, TdxDBGridExportXlsx::kMaxSheetRows);
    constexpr int64_t kLimit = 1000;
    writeXlsx(g, split, kLimit);

    const Sheets whole = readSheets(recalculated(one), true);
    const Sheets parts = readSheets(recalculated(split), true);
    ASSERT_EQ(whole.names.size(), 1u);
    const std::vector<std::string>& rows = whole.rows[0];
    // The header, 3,000 records, 4 + 52 group rows and footers, the summary row.
    ASSERT_EQ(rows.size(), 1u + 3000u + 2u * (4u + 52u) + 1u);
    const size_t perSheet = static_cast<size_t>(kLimit) - 1;
    const size_t sheets = 1 + (rows.size() - static_cast<size_t>(kLimit) + perSheet - 1) / perSheet;
    ASSERT_EQ(parts.names.size(), sheets);
    EXPECT_EQ(parts.names[1], "Sheet2");
    // Each sheet begins with the header; read one after another without the repeated
    // headers, the sheets are the one sheet, every recalculated footer included.
    std::vector<std::string> joined;
    for (size_t k = 0; k < parts.rows.size(); ++k) {
        const std::vector<std::string>& r = parts.rows[k];
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(r[0], rows[0]) << k;
        EXPECT_LE(r.size(), static_cast<size_t>(kLimit)) << k;
        joined.insert(joined.end(), r.begin() + (k == 0 ? 0 : 1), r.end());
    }
    ASSERT_EQ(joined.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(joined[i], rows[i]) << "row " << i;

    // The summary row on the last sheet holds the sum SQL gives, to the digit.
    DataSet q(&db.conn);
    q.SetCommandText("select sum(qty) from t");
    q.Open();
    const std::string last = parts.rows.back().back();
    EXPECT_EQ(last.substr(0, last.find('\t')), "总计");
    EXPECT_NE(last.find("\t" + q.displayText(0, 0) + "\t"), std::string::npos) << last;
    // Footers of groups that began on an earlier sheet reach back into it.
    const Sheets formulas = readSheets(split, false);
    size_t reaching = 0;
    for (size_t k = 1; k < formulas.rows.size(); ++k)
        for (const std::string& r : formulas.rows[k])
            reaching += r.find("SUBTOTAL(9,Sheet" + std::to_string(k) + "!") != std::string::npos;
    EXPECT_GT(reaching, 0u);
    EXPECT_NE(formulas.rows.back().back().find("Sheet1!"), std::string::npos);
}

// A sheet holds its limit to the row: the header and limit − 1 records fill one sheet, one
// record more begins a second.
TEST(XlsxSheets, ASheetHoldsItsLastRow) {
    ExportDb db(kManyRecords);
    db.open("select id, qty from t where id <= 99");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    const std::string path = db.file("rows.xlsx");
    writeXlsx(g, path, 100);
    Sheets s = readSheets(path, true);
    ASSERT_EQ(s.names.size(), 1u);
    EXPECT_EQ(s.rows[0].size(), 100u);
    db.open("select id, qty from t where id <= 100");
    g.SetKeyField("id");
    writeXlsx(g, path, 100);
    s = readSheets(path, true);
    ASSERT_EQ(s.names.size(), 2u);
    EXPECT_EQ(s.rows[0].size(), 100u);
    ASSERT_EQ(s.rows[1].size(), 2u);
    EXPECT_EQ(s.rows[1][0], s.rows[0][0]);
    EXPECT_EQ(s.rows[1][1].substr(0, 4), "100\t");
}
