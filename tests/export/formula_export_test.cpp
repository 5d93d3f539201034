// Summary formulas in the .xlsx: each footer cell of the formula's column is a formula over
// that footer row's subtotal cells, and LibreOffice, recalculating the sheet from scratch,
// finds the grid's value in every one; CSV writes the grid's texts.

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

// The sheet without the cached results of its formulas.
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

TEST(FormulaExport, XlsxRecalculatedByLibreOfficeEqualsTheGrid) {
    ExportDb db(kCrossOrders);
    db.open("select id, region, category, qty, amount from orders");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    g.SetShowRowFooter(true);
    g.SetShowSummaryFooter(true);
    TdxDBGridColumn& amount = *g.ColumnByFieldName("amount");
    TdxDBGridColumn& id = *g.ColumnByFieldName("id");
    {
        GridUpdate batch(g);
        addSummary(g, amount, TdxSummaryType::cstSum);
        addSummary(g, id, TdxSummaryType::cstCount);
        amount.SetSummaryFooterType(TdxSummaryType::cstSum);
        id.SetSummaryFooterType(TdxSummaryType::cstCount);
    }
    {
        GroupingUpdate batch(g);
        g.GroupColumn(*g.ColumnByFieldName("region"), 0);
        g.GroupColumn(*g.ColumnByFieldName("category"), 1);
    }
    g.SetSummaryFormulas(
        {{"均额", "ROUND(SUM(amount) / COUNT(*), 2) - 1", g.ColumnByFieldName("qty")->Name()}});
    g.ExpandAll();
    const std::string written = db.file("formula.xlsx"), bare = db.file("bare.xlsx");
    exportAs(g, "xlsx", written);
    const XlsxSheet s = readWithOpenpyxl(written);
    ASSERT_TRUE(s.error.empty()) << s.error;
    dropCachedResults(written, bare);
    std::string err;
    const auto calc = readWithLibreOffice(bare, &err);
    ASSERT_TRUE(err.empty()) << err;
    int formulas = 0;
    std::string last;
    for (const auto& [at, cell] : s.cells) {
        if (cell.rfind("f:=IFERROR(ROUND(", 0) != 0)
            continue;
        ++formulas;
        const double stored = std::stod(cell.substr(cell.rfind('=') + 1));
        ASSERT_TRUE(calc.count(at)) << cell;
        EXPECT_NEAR(std::stod(calc.at(at)), stored, 1e-9 * std::fabs(stored)) << cell;
        last = calc.at(at);
    }
    // Ten regions by five categories, the regions and the whole table.
    EXPECT_EQ(formulas, 50 + 10 + 1);
    const SummaryValue total = g.FooterFormulaValue(0);
    EXPECT_NEAR(std::stod(last), total.toDouble(), 1e-9);
    // CSV shows the grid's text of it.
    exportAs(g, "csv", db.file("formula.csv"));
    EXPECT_NE(
        readFile(db.file("formula.csv")).find(g.SummaryFooterText(*g.ColumnByFieldName("qty"))),
        std::string::npos);
}
