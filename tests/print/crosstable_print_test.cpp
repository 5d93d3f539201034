// The cross table printed: the PDF the registry writes holds the cross table instead of the
// rows, every text as the grid's cross table gives it, wide tables continued on the right.

#include "printfixture.h"

#include "export/crosstableexport.h"
#include "print/reportformats.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace rg;

namespace {

// 2,400 orders in four regions of two cities each, over 30 products.
const char* kOrders = R"(
create table orders(id integer primary key, region text, city text, product text, amount real);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 2400)
insert into orders
select i, '区' || (i % 4), '城' || (i % 4) || '-' || (i / 7 % 2),
       '品' || substr('0' || (i * 11 % 30), -2), (i % 97) * 12.25
from n;
)";

std::vector<std::string> linesOf(const std::vector<std::string>& pages) {
    std::vector<std::string> lines;
    for (const std::string& page : pages) {
        std::istringstream in(page);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    return lines;
}

bool lineWith(const std::vector<std::string>& lines, const std::string& a, const std::string& b) {
    for (const std::string& l : lines) {
        const size_t at = l.find(a);
        if (at != std::string::npos && l.find(b, at + a.size()) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST(CrossTablePrint, PdfHoldsEveryColumnGroupTotalAndTheGrandTotal) {
    guiApp();
    ExportDb db(kOrders);
    db.open("select id, region, city, product, amount from orders");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    {
        GroupingUpdate batch(g);
        g.GroupColumn(*g.ColumnByFieldName("region"), 0);
        g.GroupColumn(*g.ColumnByFieldName("city"), 1);
    }
    g.SetCrossTable({"product", {}, TdxSummaryType::cstSum, "amount"});
    // Largest total first: the report follows the cross table's order, not the values'.
    g.SetCrossSort(g.ShownCrossTable()->columnCount(), true);

    const std::string path = db.file("cross.pdf");
    ExportJob job{&g, path, GridAppearance()};
    ReportFormats().find("pdf")->write(job);
    const std::vector<std::string> pages = pdfPages(path);
    ASSERT_FALSE(pages.empty());
    std::string all;
    for (const std::string& p : pages)
        all += p;
    const std::vector<std::string> lines = linesOf(pages);

    const CrossSheet sheet = crossSheetOf(g);
    const CrossTable& x = *sheet.table;
    ASSERT_EQ(x.columnCount(), 30);
    ASSERT_EQ(sheet.rows.size(), 4u + 8u + 1u);
    for (int c = 0; c < x.columnCount(); ++c)
        EXPECT_EQ(count(all, x.columnText(c)), 1) << x.columnText(c); // one header line
    // Thirty columns do not fit across a letter page: the columns go on to the right, and
    // each page repeats the groups so that a total is read beside its group.
    EXPECT_GE(pages.size(), 2u);
    EXPECT_EQ(count(all, "product"), 0); // the rows' column headers are not printed
    for (const CrossSheetRow& row : sheet.rows) {
        const std::string total = CrossCellText(x, x.rowTotal(row.group));
        EXPECT_TRUE(lineWith(lines, row.text, total)) << row.text << " " << total;
        EXPECT_TRUE(lineWith(lines, row.text, CrossCellText(x, x.cell(row.group, 0)))) << row.text;
    }
    EXPECT_TRUE(lineWith(lines, "合计", CrossCellText(x, x.grandTotal())));
    EXPECT_TRUE(lineWith(lines, "品", kCrossTotalText)); // the last header names the total
    // Groups in the cross table's order: the top level by its total, largest first.
    size_t last = 0;
    for (const CrossSheetRow& row : sheet.rows) {
        if (row.level != 0 || row.group == CrossTable::kTotals)
            continue;
        const size_t at = pages[0].find(row.text);
        ASSERT_NE(at, std::string::npos) << row.text;
        EXPECT_GT(at, last) << row.text;
        last = at;
    }
    EXPECT_NE(pages.back().find("第 " + std::to_string(pages.size()) + " 页"),
              std::string::npos); // the page footer as for other reports
}

// A group or column name with a character of the CJK extension planes (𠮷) prints in a font
// that has it, embedded in the PDF, as in the grid's report: not as a box.
TEST(CrossTablePrint, ExtensionPlaneCharactersPrintWithAnEmbeddedFont) {
    guiApp();
    ExportDb db("create table sales(id integer primary key, shop text, product text, amount real);"
                "insert into sales values (1, '𠮷野家', '饭', 12.5), (2, '吉野家', '面', 3),"
                " (3, '𠮷野家', '面', 4);");
    db.open("select id, shop, product, amount from sales");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    g.GroupColumn(*g.ColumnByFieldName("shop"), 0);
    g.SetCrossTable({"product", {}, TdxSummaryType::cstSum, "amount"});
    const std::string path = db.file("cross.pdf");
    ExportJob job{&g, path, GridAppearance()};
    ReportFormats().find("pdf")->write(job);
    const std::vector<std::string> pages = pdfPages(path);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NE(pages[0].find("野家"), std::string::npos) << pages[0];
    std::string fonts;
    ASSERT_EQ(run("pdffonts '" + path + "'", &fonts), 0);
    EXPECT_NE(fonts.find("HanaMinB"), std::string::npos) << fonts;
}
