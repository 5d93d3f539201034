// Decimals beyond a double's digits, NaN and infinities in every file the grid writes,
// read back by real readers: openpyxl for .xlsx, xlrd for .xls, Python's csv module with
// strict UTF-8, the XML and HTML texts. Values come from the PostgreSQL test server, the
// one of the suite's databases that holds all of them.

#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "exporttest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

const char* kEdges = R"(select id, w, u, d, r from (values
  (1, 123456789012345678901234567890123456789012.34::numeric(45,2), 'NaN'::numeric, 'Infinity'::float8, '-Infinity'::float4),
  (2, -1.25::numeric(45,2), 1234567890123456789012345678901.123456789::numeric, 12486.125::float8, 'NaN'::float4),
  (3, 0.10::numeric(45,2), '-Infinity'::numeric, -0.5::float8, 1.5::float4)) t(id, w, u, d, r) order by id)";

} // namespace

TEST(EdgeNumbersExport, EveryFileKeepsEveryDigitAndNamesNaNAndInfinities) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    ExportDb db{"select 1;"};
    db.connect(pg);
    db.open(kEdges);
    TdxDBGrid& g = db.grid;
    for (const char* f : {"w", "u", "d", "r"})
        addSummary(g, *g.ColumnByFieldName(f), TdxSummaryType::cstSum);
    g.SetKeyField("id");
    ASSERT_EQ(g.SummaryFooterText(*g.ColumnByFieldName("d")), "Infinity");
    ASSERT_EQ(g.SummaryFooterText(*g.ColumnByFieldName("r")), "NaN");

    // Workbook: texts where a double would change the value or cannot be one, numbers
    // elsewhere, and openpyxl reads the file.
    const std::string xlsx = db.file("edge.xlsx");
    ExportToXlsx(g, xlsx, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(xlsx);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({1, 1}), "s:123456789012345678901234567890123456789012.34");
    EXPECT_EQ(s.cells.at({2, 1}), "n:-1.25");
    EXPECT_EQ(s.cells.at({1, 2}), "s:NaN");
    EXPECT_EQ(s.cells.at({2, 2}), "s:1234567890123456789012345678901.123456789");
    EXPECT_EQ(s.cells.at({3, 2}), "s:-Infinity");
    EXPECT_EQ(s.cells.at({1, 3}), "s:Infinity");
    EXPECT_EQ(s.cells.at({2, 3}), "n:12486.125");
    EXPECT_EQ(s.cells.at({1, 4}), "s:-Infinity");
    EXPECT_EQ(s.cells.at({2, 4}), "s:NaN");
    EXPECT_EQ(s.cells.at({4, 3}), "s:Infinity"); // the footers
    EXPECT_EQ(s.cells.at({4, 4}), "s:NaN");

    // Spreadsheet: the same, as xlrd reads it.
    const std::string xls = db.file("edge.xls");
    ExportToSpreadsheet(g, xls, true, GridAppearance());
    std::string error;
    const auto cells = readWithXlrd(xls, &error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(cells.at({1, 1}), "s:123456789012345678901234567890123456789012.34");
    EXPECT_EQ(cells.at({2, 1}), "n:-1.25");
    EXPECT_EQ(cells.at({1, 2}), "s:NaN");
    EXPECT_EQ(cells.at({3, 2}), "s:-Infinity");
    EXPECT_EQ(cells.at({1, 3}), "s:Infinity");
    EXPECT_EQ(cells.at({2, 4}), "s:NaN");
    EXPECT_EQ(cells.at({4, 3}), "s:Infinity");
    EXPECT_EQ(cells.at({4, 4}), "s:NaN");

    // CSV through Python's strict reader; HTML and XML texts with every digit.
    const std::string csv = db.file("edge.csv");
    ExportToCsv(g, csv, true, GridAppearance());
    std::string rows;
    ASSERT_EQ(run("PYTHONIOENCODING=utf-8 /usr/bin/python3 -c \"import csv, sys\n"
                  "for row in csv.reader(open(sys.argv[1], encoding='utf-8', errors='strict', "
                  "newline='')):\n"
                  "    print('|'.join(row))\" " +
                      csv,
                  &rows),
              0);
    // Decimals beyond a spreadsheet's 15 digits as the formula of their text, which keeps them.
    EXPECT_NE(
        rows.find("1|=\"123456789012345678901234567890123456789012.34\"|NaN|Infinity|-Infinity"),
        std::string::npos)
        << rows;
    EXPECT_NE(rows.find("2|-1.25|=\"1234567890123456789012345678901.123456789\"|12486.125|NaN"),
              std::string::npos)
        << rows;
    const std::string html = db.file("edge.html"), xml = db.file("edge.xml");
    ExportToHtml(g, html, true, GridAppearance());
    ExportToXml(g, xml, true, GridAppearance());
    for (const std::string& path : {html, xml}) {
        const std::string text = readFile(path);
        for (const char* v :
             {"123456789012345678901234567890123456789012.34",
              "1234567890123456789012345678901.123456789", "-Infinity", "NaN", "12486.125"})
            EXPECT_NE(text.find(v), std::string::npos) << path << ": " << v;
    }
    EXPECT_EQ(run("xmllint --noout " + xml), 0);
}
