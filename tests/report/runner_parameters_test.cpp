// Reports whose SQL text names parameters, run by the real program: values from the command
// line, presets worked out as of a day, defaults from the setup, and what is refused.

#include "common/datepresets.h"
#include "datasource/dataset.h"
#include "document/report.h"
#include "export/exportregistry.h"
#include "grid/grid.h"
#include "print/reportlink.h"
#include "runnertest.h"
#include "setup/reportdefinition.h"
#include "setup/reportfile.h"
#include "setup/setup.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const char* const kOrders = R"(
create table orders(id integer primary key, day date, region text, amount real);
insert into orders values (1, '2026-01-31', '华东', 1), (2, '2026-02-01', '华东', 2),
  (3, '2026-02-28', '华东', 4), (4, '2026-02-15', '华北', 8), (5, '2026-03-01', '华东', 16),
  (6, '2026-02-10', 'O''Brien "华东"', 32);
)";

rg::ParameterSetting setting(std::string name, std::string type, std::string def = {},
                             std::string rangeEnd = {}) {
    return {std::move(name), std::move(type), std::move(def), std::move(rangeEnd), {}, {}};
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct RunnerParameters : ::testing::Test {
    TestDb db{kOrders};
    std::string ini = db.folder + "/orders.ini";
    rg::Report report;
    void SetUp() override {
        report.source.connectionString = db.conn.ConnectionString();
        report.source.commandType = "cmdText";
        report.source.commandText =
            "SELECT id, amount FROM orders WHERE day BETWEEN :开始 AND :结束 "
            "AND region = :地区 -- ':地区' is no parameter";
        report.source.sqlParameters = {setting("开始", "date", "@上月", "结束"),
                                       setting("结束", "date"), setting("地区", "text")};
        report.keyField = "id";
        report.footerSummaries = {{"amount", "cstsum"}};
        save(report);
    }
    void save(const rg::Report& r) {
        rg::TSetup s(ini);
        s.BeginReport();
        rg::WriteReport(s, r);
        ASSERT_FALSE(s.EndReport());
    }
};

} // namespace

TEST_F(RunnerParameters, MissingValuesExitTwoNamingThemBeforeAnythingRuns) {
    const RunResult r = reportgen("--run " + ini + " --format csv", db.folder);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "报表参数没有值：地区（用 --param 名称=值 给出）\n");
}

TEST_F(RunnerParameters, PresetsAndValuesFromTheCommandLineAreBound) {
    // The saved period 上月 as of 2026-03-10: February.
    RunResult r =
        reportgen("--run " + ini + " --as-of 2026-03-10 --param 地区=华东 --format csv", db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kind,level,id,amount\r\ndata,0,2,2\r\ndata,0,3,4\r\ntotal,,,6.00\r\n");
    // A single-day preset by its ASCII spelling, the end typed; a text with quotes arrives.
    r = reportgen("--run " + ini +
                      " --as-of 2026-03-10 --param '开始=@prev_month_start' "
                      "--param 结束=2026-03-01 --param '地区=O'\\''Brien \"华东\"' --format csv",
                  db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kind,level,id,amount\r\ndata,0,6,32\r\ntotal,,,32.00\r\n");
    // --save-as keeps the preset, not the dates it gave.
    const std::string copy = db.folder + "/copy.ini";
    r = reportgen("--run " + ini + " --param 地区=华北 --save-as " + copy, db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    rg::TSetup saved(copy);
    ASSERT_FALSE(saved.ReadAll());
    EXPECT_EQ(rg::ReadReport(saved).source.sqlParameters, report.source.sqlParameters);
}

TEST_F(RunnerParameters, BadValuesAreRefusedByName) {
    const std::pair<std::string, std::string> refusals[] = {
        {"--param 开始=2026-02-30", "参数“开始”的值“2026-02-30”不是日期"},
        {"--param 开始=@下月", "参数“开始”的预设“下月”不存在"},
        {"--param 区域=x", "报表没有参数“区域”"},
        {"--param 地区", "--param 需要 名称=值"},
        {"--as-of 2026-13-01", "--as-of 需要日期 yyyy-MM-dd"},
    };
    for (const auto& [options, message] : refusals) {
        const RunResult r =
            reportgen("--run " + ini + " --param 地区=华东 --param 结束=2026-03-01 " + options +
                          " --format csv",
                      db.folder);
        EXPECT_EQ(r.status, 1) << options;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << options;
    }
}

// The parameters' section is written only for a report that has some, and reads back whole.
TEST_F(RunnerParameters, TheSetupKeepsParametersInASectionOfTheirOwn) {
    rg::Report listed = report;
    listed.source.sqlParameters.push_back(setting("渠道", "list", "线上"));
    listed.source.sqlParameters.back().listValues = {"线上", "门店", "批发"};
    listed.source.sqlParameters.push_back(setting("数量", "number", "10"));
    save(listed);
    rg::TSetup s(ini);
    ASSERT_FALSE(s.ReadAll());
    EXPECT_EQ(rg::ReadReport(s), listed);
    EXPECT_NE(fileText(ini).find("[ReportParameters]"), std::string::npos);

    rg::Report plain = report;
    plain.source.commandText = "SELECT id, amount FROM orders";
    plain.source.sqlParameters.clear();
    save(plain);
    EXPECT_EQ(fileText(ini).find("ReportParameters"), std::string::npos);
    rg::TSetup again(ini);
    ASSERT_FALSE(again.ReadAll());
    EXPECT_EQ(rg::ReadReport(again), plain);
}

// A paged report says the values it ran with in its title.
TEST_F(RunnerParameters, ThePdfTitleSaysTheValuesUsed) {
    // Columns wide enough for the whole title above them.
    rg::Report wide = report;
    wide.source.commandText = "SELECT id, day, region, region AS r2, region AS r3, amount FROM "
                              "orders WHERE day BETWEEN :开始 AND :结束 AND region = :地区";
    save(wide);
    const std::string pdf = db.folder + "/orders.pdf";
    const RunResult r = reportgen(
        "--run " + ini + " --as-of 2026-03-10 --param 地区=华东 --format pdf --output " + pdf,
        db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    const RunResult text = shell("pdftotext " + pdf + " -", db.folder);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("orders（2026年2月，地区：华东）"), std::string::npos) << text.out;
}

// The window's exports and print title of a report run as of a day: each file says the
// values above its header, read by the format's own reader; the grouped sheet's frozen rows,
// outline and subtotal ranges move down with it. Without parameters nothing is added.
TEST_F(RunnerParameters, EveryExportSaysTheValuesUsedAboveItsHeader) {
    rg::Report ranged;
    ranged.source = report.source;
    ranged.source.commandText = "SELECT id, region, day, amount FROM orders "
                                "WHERE day >= :开始日期 AND day <= :结束日期";
    ranged.source.sqlParameters = {setting("开始日期", "date", "@上月", "结束日期"),
                                   setting("结束日期", "date")};
    ranged.keyField = "id";
    ranged.grouping = {"region"};
    ranged.footerSummaries = {{"amount", "cstsum"}};
    save(ranged);
    std::vector<std::string> titles; // printed without and with a designer's title, preview
    auto exportAll = [&](const std::string& stem) {
        rg::Connection conn;
        rg::DataSet dataset(&conn);
        rg::TdxDBGrid grid;
        grid.SetDataSet(&dataset);
        dataset.SetParameterTexts({}, rg::parseIsoDay("2026-03-01"));
        rg::LoadSetup({conn, dataset, grid}, ini);
        rg::ExportRegistry formats;
        rg::AddCoreFormats(formats);
        for (const char* format : {"xlsx", "xls", "csv", "html", "xml"})
            formats.find(format)->write({&grid, db.folder + "/" + stem + "." + format});
        rg::TdxDBGridReportLink link(&grid);
        link.ReportName = QStringLiteral("orders");
        titles = {link.PrintedTitle().toStdString()};
        link.ReportTitleText = QStringLiteral("月报");
        titles.push_back(link.PrintedTitle().toStdString());
        titles.push_back(link.WindowTitle(QStringLiteral("打印预览")).toStdString());
        return dataset.ParameterCaption();
    };
    ASSERT_EQ(exportAll("ranged"), "2026年2月");
    EXPECT_EQ(titles, (std::vector<std::string>{"orders（2026年2月）", "月报（2026年2月）",
                                                "打印预览 - orders（2026年2月）"}));

    const std::string f = db.folder + "/ranged";
    const RunResult xlsx =
        shell("/usr/bin/python3 -c \"import openpyxl, sys\n"
              "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
              "print(ws['A1'].value, ws['A1'].font.b, ws.freeze_panes, ws.auto_filter.ref)\n"
              "print([c.value for c in ws[2]])\n"
              "for r in ws.iter_rows(min_row=3):\n"
              "  print(ws.row_dimensions[r[0].row].outline_level, "
              "[c.value for c in r])\" " +
                  f + ".xlsx",
              db.folder);
    ASSERT_EQ(xlsx.status, 0) << xlsx.err;
    EXPECT_EQ(xlsx.out, "2026年2月 True A3 A2:D12\n"
                        "[None, 'id', 'day', 'amount']\n"
                        "0 ['region : O\\'Brien \"华东\" ', None, None, None]\n"
                        "1 [None, 6, datetime.datetime(2026, 2, 10, 0, 0), 32]\n"
                        "0 ['O\\'Brien \"华东\" 合计', None, None, '=SUBTOTAL(9,D4:D4)']\n"
                        "0 ['region : 华北 ', None, None, None]\n"
                        "1 [None, 4, datetime.datetime(2026, 2, 15, 0, 0), 8]\n"
                        "0 ['华北 合计', None, None, '=SUBTOTAL(9,D7:D7)']\n"
                        "0 ['region : 华东 ', None, None, None]\n"
                        "1 [None, 2, datetime.datetime(2026, 2, 1, 0, 0), 2]\n"
                        "1 [None, 3, datetime.datetime(2026, 2, 28, 0, 0), 4]\n"
                        "0 ['华东 合计', None, None, '=SUBTOTAL(9,D10:D11)']\n"
                        "0 ['总计', None, None, '=SUBTOTAL(9,D3:D12)']\n");

    const RunResult xls = shell("/usr/bin/python3 -c \"import xlrd, sys\n"
                                "s = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                "print(s.cell_value(0, 0)); print(s.row_values(1))\" " +
                                    f + ".xls",
                                db.folder);
    ASSERT_EQ(xls.status, 0) << xls.err;
    EXPECT_EQ(xls.out, "2026年2月\n['', 'id', 'day', 'amount']\n");

    const RunResult csv = shell("/usr/bin/python3 -c \"import csv, sys\n"
                                "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig')))\n"
                                "print(rows[0]); print(rows[1])\" " +
                                    f + ".csv",
                                db.folder);
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "['2026年2月']\n['', 'id', 'day', 'amount']\n");

    const RunResult html = shell("/usr/bin/python3 -c \"import html.parser, sys\n"
                                 "class P(html.parser.HTMLParser):\n"
                                 "  tag = None\n"
                                 "  def handle_starttag(self, t, a): self.tag = t\n"
                                 "  def handle_data(self, d):\n"
                                 "    if self.tag in ('caption', 'th') and d.strip(): "
                                 "print(self.tag, d)\n"
                                 "P().feed(open(sys.argv[1], encoding='utf-8').read())\" " +
                                     f + ".html",
                                 db.folder);
    ASSERT_EQ(html.status, 0) << html.err;
    EXPECT_EQ(html.out, "caption 2026年2月\nth id\nth day\nth amount\n");

    const RunResult xml =
        shell("xmllint --noout --valid " + f + ".xml && xmllint --xpath 'string(/GRID/@Heading)' " +
                  f + ".xml",
              db.folder);
    ASSERT_EQ(xml.status, 0) << xml.err;
    EXPECT_EQ(xml.out, "2026年2月\n");
    // Opened through its style sheet, the page shows it above the table.
    const RunResult page = shell("xsltproc --encoding utf-8 " + f + ".xml", db.folder);
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_NE(page.out.find("<H3>2026年2月</H3>"), std::string::npos) << page.out;

    // A cross table's sheet, CSV and page say them the same way; its sums still add up the
    // rows below the heading.
    ranged.cross = {"day", "", "cstsum", "amount"};
    save(ranged);
    ASSERT_EQ(exportAll("cross"), "2026年2月");
    const std::string x = db.folder + "/cross";
    const RunResult cross = shell("/usr/bin/python3 -c \"import openpyxl, sys\n"
                                  "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                                  "print(ws.freeze_panes)\n"
                                  "for r in ws.iter_rows(): print([c.value for c in r])\" " +
                                      x + ".xlsx",
                                  db.folder);
    ASSERT_EQ(cross.status, 0) << cross.err;
    EXPECT_EQ(cross.out,
              "B3\n['2026年2月', None, None, None, None, None]\n"
              "['region', '2026-02-01', '2026-02-10', '2026-02-15', '2026-02-28', '合计']\n"
              "['region : O\\'Brien \"华东\"', None, 32, None, None, '=SUM(B3:E3)']\n"
              "['region : 华北', None, None, 8, None, '=SUM(B4:E4)']\n"
              "['region : 华东', 2, None, None, 4, '=SUM(B5:E5)']\n"
              "['合计', '=SUMIF($A$3:$A$5,\"<>\",B3:B5)', '=SUMIF($A$3:$A$5,\"<>\",C3:C5)', "
              "'=SUMIF($A$3:$A$5,\"<>\",D3:D5)', '=SUMIF($A$3:$A$5,\"<>\",E3:E5)', "
              "'=SUM(B6:E6)']\n");
    EXPECT_EQ(fileText(x + ".csv").substr(0, 16), "\xEF\xBB\xBF"
                                                  "2026年2月\r\n");
    EXPECT_NE(fileText(x + ".html").find("<table>\n<caption>2026年2月</caption>\n<tr>"),
              std::string::npos);
    ranged.cross = {};

    // Without parameters: no heading anywhere, the first line is the header as before.
    ranged.source.commandText = "SELECT id, region, day, amount FROM orders";
    ranged.source.sqlParameters.clear();
    save(ranged);
    ASSERT_EQ(exportAll("plain"), "");
    EXPECT_EQ(titles, (std::vector<std::string>{"", "月报", "打印预览 - orders"}));
    const std::string p = db.folder + "/plain";
    EXPECT_EQ(fileText(p + ".csv").substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(fileText(p + ".csv").find("2026年"), std::string::npos);
    EXPECT_EQ(fileText(p + ".html").find("<caption>"), std::string::npos);
    EXPECT_EQ(fileText(p + ".xml").find("Heading"), std::string::npos);
    EXPECT_EQ(fileText(p + ".xsl").find("Heading"), std::string::npos);
    const RunResult plain =
        shell("/usr/bin/python3 -c \"import openpyxl, xlrd, sys\n"
              "ws = openpyxl.load_workbook(sys.argv[1] + '.xlsx').active\n"
              "s = xlrd.open_workbook(sys.argv[1] + '.xls').sheet_by_index(0)\n"
              "print(ws['A1'].value, ws.freeze_panes, ws.auto_filter.ref, s.row_values(0))\" " +
                  p,
              db.folder);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out, "None A2 A1:D13 ['', 'id', 'day', 'amount']\n");
}

// A saved filter names the report's parameters and date presets: they stand for this run's
// values, worked out again as of its day, on the command line's filter as well.
TEST_F(RunnerParameters, ASavedFilterTakesTheRunsParametersAndPresets) {
    rg::Report filtered = report;
    filtered.source.commandText = "SELECT id, day, amount FROM orders WHERE amount >= :最少";
    filtered.source.sqlParameters = {setting("最少", "number", "1")};
    filtered.filterText = "day >= @上月初 AND day <= @prev_month_end AND amount > :最少";
    save(filtered);
    RunResult r = reportgen("--run " + ini + " --as-of 2026-03-10 --format csv", db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "kind,level,id,day,amount\r\ndata,0,2,2026-02-01,2\r\ndata,0,3,2026-02-28,4\r\n"
              "data,0,4,2026-02-15,8\r\ndata,0,6,2026-02-10,32\r\ntotal,,,,46.00\r\n");
    r = reportgen("--run " + ini + " --as-of 2026-02-10 --param 最少=0 --format csv", db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kind,level,id,day,amount\r\ndata,0,1,2026-01-31,1\r\ntotal,,,,1.00\r\n");
    r = reportgen("--run " + ini +
                      " --as-of 2026-03-10 --param 最少=4 --filter 'amount < :最少 "
                      "OR day = @上月末' --format csv",
                  db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kind,level,id,day,amount\r\ndata,0,3,2026-02-28,4\r\ntotal,,,,4.00\r\n");
    const std::pair<std::string, std::string> refusals[] = {
        {"day = @下月初", "过滤条件中的日期预设“@下月初”不存在"},
        {"amount > :地区", "过滤条件中的“:地区”不是报表的参数"},
    };
    for (const auto& [filter, message] : refusals) {
        r = reportgen("--run " + ini + " --filter '" + filter + "' --format csv", db.folder);
        EXPECT_EQ(r.status, 1) << filter;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
}
