#include "export/csvexport.h"
#include "export/htmlexport.h"
#include "exporttest.h"
#include "print/reportformats.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace rg;

namespace {

const char* kSales = R"(
create table sales(id integer primary key, region text, qty integer, note text);
insert into sales values (1, '上海', 1, 'say "hi", then
leave');
insert into sales values (2, '北京', 2, '안녕 😀 ß <b>&amp;</b>' || char(1) || char(27) || 'end');
insert into sales values (3, '上海', 4, null);
)";

struct Sales : ExportDb {
    Sales() : ExportDb(kSales) {
        open("select id, region, qty, note from sales order by id");
        grid.SetKeyField("id");
        addSummary(grid, *grid.ColumnByFieldName("qty"), TdxSummaryType::cstSum);
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    }
};

} // namespace

TEST(CsvExport, Rfc4180InUtf8WithByteOrderMarkReadByPythonsCsvModule) {
    Sales db;
    const std::string path = db.file("r.csv");
    ExportToCsv(db.grid, path, true, GridAppearance());
    const std::string bytes = readFile(path);
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    std::string out;
    ASSERT_EQ(run("PYTHONIOENCODING=utf-8 /usr/bin/python3 -c \"import csv, json, sys\n"
                  "print(json.dumps(list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', "
                  "newline=''))), "
                  "ensure_ascii=False))\" '" +
                      path + "'",
                  &out),
              0)
        << out;
    const TdxDBGrid& g = db.grid;
    const std::string qtySum = g.SummaryFooterText(*g.ColumnByFieldName("qty"));
    const std::string expected =
        std::string("[[\"\", \"id\", \"qty\", \"note\"], ") +
        "[\"region : 北京 \", \"\", \"\", \"\"], " +
        "[\"\", \"2\", \"2\", \"안녕 😀 ß <b>&amp;</b>\\u0001\\u001bend\"], " +
        "[\"\", \"\", \"2.00\", \"\"], " + "[\"region : 上海 \", \"\", \"\", \"\"], " +
        "[\"\", \"1\", \"1\", \"say \\\"hi\\\", then\\nleave\"], " +
        "[\"\", \"3\", \"4\", \"\"], " + "[\"\", \"\", \"5.00\", \"\"], " + "[\"总计\", \"\", \"" +
        qtySum + "\", \"\"]]\n";
    EXPECT_EQ(out, expected);
}

// Texts a spreadsheet would run as formulas arrive as the texts they are, with the
// apostrophe that defuses them; numbers, negative ones too, stay numbers.
TEST(CsvExport, FormulaLikeTextsOpenAsTextsInLibreOffice) {
    ExportDb db(R"(
        create table t(id integer primary key, kind text, note text, amount integer, price real);
        insert into t values (1, 'a', '=1+2', -5, -2.5);
        insert into t values (2, 'a', '=HYPERLINK("http://example.invalid/","click")', 3, 1.25);
        insert into t values (3, 'b', '+SUM(A1:A2)', -7, null);
        insert into t values (4, 'b', '@SUM(1)', 1, 0);
        insert into t values (5, 'b', '-2+3', 2, -0.5);
        insert into t values (6, 'c', char(9) || '=1', -4, 1);
        insert into t values (7, 'c', char(13) || '=1', -4, 1);
        insert into t values (8, 'c', 'plain', -4, 1);)");
    db.open("select id, kind, note, amount, price from t order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    db.ds.FieldByName("note").SetDisplayLabel("=cap");
    addSummary(g, *g.ColumnByFieldName("amount"), TdxSummaryType::cstSum);
    addSummary(g, *g.ColumnByFieldName("note"), TdxSummaryType::cstMin);
    g.ReloadRows();
    const std::string path = db.file("f.csv");
    ExportToCsv(g, path, true, GridAppearance());
    // Grouped, the group rows and group footers go the same way.
    const std::string groupedPath = db.file("grouped.csv");
    g.GroupColumn(*g.ColumnByFieldName("kind"), 0);
    ExportToCsv(g, groupedPath, true, GridAppearance());
    const std::string text = readFile(groupedPath);
    EXPECT_NE(text.find("\r\n,1,'=1+2,-5,-2.5\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n,,MIN==1+2,-2.00,\r\n"), std::string::npos) << text;

    const std::vector<XlsxSheet> sheets = importCsvWithLibreOffice({path, groupedPath});
    const XlsxSheet& sheet = sheets.at(0);
    ASSERT_EQ(sheet.error, "");
    for (const auto& [at, cell] : sheet.cells)
        EXPECT_NE(cell.substr(0, 2), "f:") << at.first << "," << at.second << " " << cell;
    // Columns: id, kind, note, amount, price under the header.
    EXPECT_EQ(sheet.cells.at({0, 2}), "s:'=cap");
    EXPECT_EQ(sheet.cells.at({1, 2}), "s:'=1+2");
    EXPECT_EQ(sheet.cells.at({2, 2}), "s:'=HYPERLINK(\"http://example.invalid/\",\"click\")");
    EXPECT_EQ(sheet.cells.at({3, 2}), "s:'+SUM(A1:A2)");
    EXPECT_EQ(sheet.cells.at({4, 2}), "s:'@SUM(1)");
    EXPECT_EQ(sheet.cells.at({5, 2}), "s:'-2+3");
    // LibreOffice splits at the tab, leaving the apostrophe: still no formula.
    EXPECT_EQ(sheet.cells.at({6, 2}).substr(0, 3), "s:'");
    EXPECT_EQ(sheet.cells.at({8, 2}), "s:plain");
    EXPECT_EQ(sheet.cells.at({1, 3}), "n:-5.0");
    EXPECT_EQ(sheet.cells.at({1, 4}), "n:-2.5");
    EXPECT_EQ(sheet.cells.at({3, 3}), "n:-7.0");
    EXPECT_EQ(sheet.cells.at({5, 4}), "n:-0.5");
    // The summary footer: a negative sum stays a number, a minimum of texts is a text.
    EXPECT_EQ(sheet.cells.at({9, 3}), "n:-18.0");
    EXPECT_EQ(sheet.cells.at({9, 2}).substr(0, 6), "s:MIN=");

    const XlsxSheet& grouped = sheets.at(1);
    ASSERT_EQ(grouped.error, "");
    for (const auto& [at, cell] : grouped.cells)
        EXPECT_NE(cell.substr(0, 2), "f:") << at.first << "," << at.second << " " << cell;
}

TEST(HtmlExport, OnePageThatParsesWithGroupsFootersAndNoForbiddenCharacters) {
    Sales db;
    const std::string path = db.file("r.html");
    ExportToHtml(db.grid, path, true, GridAppearance());
    const std::string page = readFile(path);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    EXPECT_EQ(page.find('\x01'), std::string::npos);
    EXPECT_EQ(page.find('\x1b'), std::string::npos);
    std::string out;
    // Read by libxml2's HTML parser: no complaint, and the table as written.
    ASSERT_EQ(run("xmllint --html --noout '" + path + "' 2>&1", &out), 0);
    EXPECT_EQ(out, "");
    ASSERT_EQ(
        run("xmllint --html --xpath \"//tr[@class='group']/td/text()\" '" + path + "' 2>&1", &out),
        0);
    EXPECT_EQ(out, "region : 北京 \nregion : 上海 \n");
    ASSERT_EQ(
        run("xmllint --html --xpath \"string(//tbody/tr[2]/td[3])\" '" + path + "' 2>&1", &out), 0);
    EXPECT_EQ(out, "안녕 😀 ß <b>&amp;</b>end\n");
    ASSERT_EQ(
        run("xmllint --html --xpath \"string(//tr[@class='footer'][2]/td[2])\" '" + path + "' 2>&1",
            &out),
        0);
    EXPECT_EQ(out, "5.00\n");
    // Its first cell without a footer says what it totals, as a spreadsheet's subtotals.
    ASSERT_EQ(
        run("xmllint --html --xpath \"string(//tr[@class='footer'][2]/td[1])\" '" + path + "' 2>&1",
            &out),
        0);
    EXPECT_EQ(out, "上海 合计\n");
    // The grand total ends the body, so that a printed page does not repeat it as it would
    // a tfoot.
    ASSERT_EQ(run("xmllint --html --xpath \"count(//tfoot)\" '" + path + "' 2>&1", &out), 0);
    EXPECT_EQ(out, "0\n");
    ASSERT_EQ(run("xmllint --html --xpath \"string(//tbody/tr[last()][@class='total']/td[2])\" '" +
                      path + "' 2>&1",
                  &out),
              0);
    EXPECT_EQ(out, db.grid.SummaryFooterText(*db.grid.ColumnByFieldName("qty")) + "\n");
    ASSERT_EQ(run("xmllint --html --xpath \"count(//thead/tr/th)\" '" + path + "' 2>&1", &out), 0);
    EXPECT_EQ(out, "3\n");
}

TEST(ExportCommands, FilterOrTypedExtensionDecidesTheFormat) {
    const ExportRegistry& formats = ReportFormats();
    auto sheet = [&](const std::string& name, int filter) {
        return formats.target(ExportCommand::Spreadsheet, name, filter);
    };
    auto xml = [&](const std::string& name, int filter) {
        return formats.target(ExportCommand::XmlDocument, name, filter);
    };
    // The dialogs' filters, in the order their positions below stand for.
    EXPECT_EQ(formats.dialogFilter(ExportCommand::Spreadsheet),
              "Excel 工作簿|*.xlsx|电子表格|*.xls|CSV 文件|*.csv");
    EXPECT_EQ(formats.dialogFilter(ExportCommand::XmlDocument), "XML文档|*.xml|网页|*.html");
    EXPECT_EQ(formats.dialogFilter(ExportCommand::Pdf), "PDF 文档|*.pdf");
    EXPECT_EQ(sheet("/d/r", 0).path, "/d/r.xlsx");
    EXPECT_EQ(sheet("/d/r", 1).path, "/d/r.xls");
    EXPECT_EQ(sheet("/d/r", 2).format->name, "csv");
    // Without word from the dialog the command writes .xls as it always has.
    EXPECT_EQ(sheet("/d/r  ", -1).path, "/d/r.xls");
    EXPECT_EQ(sheet("/d/r", 7).format->name, "xls");
    // A typed extension of the command's formats wins over the filter.
    EXPECT_EQ(sheet("/d/r.CSV", 0).format->name, "csv");
    EXPECT_EQ(sheet("/d/r.xlsx", 1).format->name, "xlsx");
    // Any other name with a dot stays as it is, in the filter's format.
    const ExportTarget other = sheet("/d/r.dat", 2);
    EXPECT_EQ(other.path, "/d/r.dat");
    EXPECT_EQ(other.format->name, "csv");
    EXPECT_EQ(sheet("/d.x/r", 1).path, "/d.x/r.xls");
    EXPECT_EQ(xml("/d/r", 1).path, "/d/r.html");
    EXPECT_EQ(xml("/d/r", -1).path, "/d/r.xml");
    EXPECT_EQ(xml("/d/r.htm", 0).format->name, "html");
    EXPECT_EQ(xml("/d/r.xls", 1).format->name, "html");
    EXPECT_EQ(formats.target(ExportCommand::Pdf, "/d/r", -1).path, "/d/r.pdf");
    EXPECT_EQ(formats.target(ExportCommand::Pdf, "/d/r.xml", 0).path, "/d/r.xml");
    // The runner's names, in the order its messages list them; only these two write to
    // standard output.
    EXPECT_EQ(formats.nameList(), "text, csv, xls, xlsx, xml, html or pdf");
    for (const ExportFormat& f : formats.formats())
        EXPECT_EQ(f.toStandardOutput, f.name == "text" || f.name == "csv") << f.name;

    Sales db;
    const ExportResult xlsx = exportCommand(ExportCommand::Spreadsheet, db.grid, db.file("a"), 0);
    EXPECT_EQ(readWithOpenpyxl(xlsx.path).error, "");
    const ExportResult html = exportCommand(ExportCommand::XmlDocument, db.grid, db.file("b"), 1);
    EXPECT_EQ(readFile(html.path).substr(0, 15), "<!DOCTYPE html>");
}

// Before any data source the grid has nothing, and each format still writes a file its
// readers open.
TEST(ExportCommands, AGridWithoutDataGivesDocumentsThatOpen) {
    ExportDb db("create table t(a integer);"); // for its folder
    TdxDBGrid empty;
    const std::string folder = db.folder;
    const ExportResult xlsx = exportCommand(ExportCommand::Spreadsheet, empty, folder + "/e", 0);
    EXPECT_EQ(readWithOpenpyxl(xlsx.path).error, "");
    EXPECT_EQ(readFile(exportCommand(ExportCommand::Spreadsheet, empty, folder + "/e", 2).path),
              "\xEF\xBB\xBF");
    std::string out;
    const ExportResult html = exportCommand(ExportCommand::XmlDocument, empty, folder + "/e", 1);
    EXPECT_EQ(run("xmllint --html --noout '" + html.path + "' 2>&1", &out), 0);
    EXPECT_EQ(out, "");
}
