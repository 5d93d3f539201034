// SQLite keeps any value in any column: a text in an INTEGER or REAL column, a fraction in an
// INTEGER one. The grid and every export show what the database returned, never an empty
// cell, and the numbers beside them stay numbers.

#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "exporttest.h"
#include "grid/summaryrules.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

const char* const kAnyType = R"(
create table m(id integer primary key, qty integer, price real, grp text);
insert into m values (1, 12, 1.5, 'a'), (2, 'abc', 'n/a', 'a'), (3, 7.25, 2.5, 'b'),
  (4, 9007199254740993, '12abc', 'b'), (5, null, null, 'b');)";

} // namespace

TEST(SqliteAnyType, NumberColumnsShowAndExportTheTextsAndFractionsTheyHold) {
    ExportDb db(kAnyType);
    db.open("select * from m order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    TdxDBGridColumn& qty = *g.ColumnByFieldName("qty");
    TdxDBGridColumn& price = *g.ColumnByFieldName("price");
    qty.SetSummaryFooterType(TdxSummaryType::cstMax);
    g.ReloadRows();
    const std::vector<std::string> qtys = {"12", "abc", "7.25", "9007199254740993", ""};
    const std::vector<std::string> prices = {"1.5", "n/a", "2.5", "12abc", ""};
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(g.CellText(g.Top(r), qty), qtys[static_cast<size_t>(r)]) << r;
        EXPECT_EQ(g.CellText(g.Top(r), price), prices[static_cast<size_t>(r)]) << r;
    }
    // A text ranks as a text beside the numbers, as SQLite's own max() ranks it.
    EXPECT_EQ(g.SummaryFooterText(qty), "MAX=abc");
    // Sorted, the texts come after the numbers and the integers keep every digit.
    qty.SetSorted(TdxTreeListColumnSort::csUp);
    std::vector<std::string> sorted;
    for (int r = 0; r < 5; ++r)
        sorted.push_back(g.CellText(g.Top(r), qty));
    EXPECT_EQ(sorted, (std::vector<std::string>{"", "7.25", "12", "9007199254740993", "abc"}));
    qty.SetSorted(TdxTreeListColumnSort::csNone);

    const std::string xlsx = db.file("m.xlsx");
    ExportToXlsx(g, xlsx, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(xlsx);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({1, 1}), "n:12.0");
    EXPECT_EQ(s.cells.at({2, 1}), "s:abc");
    EXPECT_EQ(s.cells.at({3, 1}), "n:7.25");
    EXPECT_EQ(s.cells.at({4, 1}), "s:9007199254740993");
    EXPECT_EQ(s.cells.at({2, 2}), "s:n/a");
    EXPECT_EQ(s.cells.at({4, 2}), "s:12abc");
    EXPECT_EQ(s.cells.at({3, 2}), "n:2.5");

    const std::string xls = db.file("m.xls");
    ExportToSpreadsheet(g, xls, true, GridAppearance());
    std::string err;
    const auto sheet = readWithXlrd(xls, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(sheet.at({2, 1}), "s:abc");
    EXPECT_EQ(sheet.at({3, 1}), "n:7.25");
    EXPECT_EQ(sheet.at({4, 2}), "s:12abc");

    const std::string html = db.file("m.html");
    ExportToHtml(g, html, true, GridAppearance());
    const std::string page = readFile(html);
    for (const char* t : {">abc<", ">n/a<", ">12abc<", ">7.25<"})
        EXPECT_NE(page.find(t), std::string::npos) << t;
    const std::string xml = db.file("m.xml");
    ExportToXml(g, xml, true, GridAppearance());
    EXPECT_EQ(run("xmllint --noout '" + xml + "'"), 0);
    const std::string doc = readFile(xml);
    for (const char* t : {"\"abc\"", "\"n/a\"", "\"12abc\"", "\"7.25\""})
        EXPECT_NE(doc.find(t), std::string::npos) << t;
    const std::string csv = db.file("m.csv");
    ExportToCsv(g, csv, true, GridAppearance());
    const std::string text = readFile(csv);
    for (const char* t : {",abc,", ",n/a,", ",12abc,", ",7.25,"})
        EXPECT_NE(text.find(t), std::string::npos) << t;

    // A sum over such a column is refused with the field's name, as over a text column;
    // without the text it is a sum as any.
    EXPECT_EQ(rgtest::errorOf([&] { CheckSummaryComputable(g, qty, TdxSummaryType::cstSum); }),
              "字段“qty”的值不是数字，不能求和。");
    db.open("select id, qty from m where id <> 2");
    EXPECT_EQ(rgtest::errorOf([&] {
                  CheckSummaryComputable(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstSum);
              }),
              "(no error)");
}
