// The runner's outputs: every format of every demo report, in memory and on the server, the
// same under another locale, and the options that arrange a report from the command line.
#include "app/runner.h"
#include "runnertest.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(RunnerFixture, CsvShowsGroupsDataFootersAndTotalInTreeOrder) {
    const RunResult r = reportgen("--run " + ini + " --group-by region --format csv", db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kind,level,id,city,amount\r\n"
                     "group,0,地区 : 华北 \r\n"
                     "data,1,2,北京,20\r\n"
                     "footer,0,,,20.00\r\n"
                     "group,0,地区 : 华东 \r\n"
                     "data,1,1,上海,10.5\r\n"
                     "data,1,3,杭州,7.25\r\n"
                     "footer,0,,,17.75\r\n"
                     "total,,,,37.75\r\n");
}

// Texts a spreadsheet would run as formulas get a leading apostrophe; numbers, negative
// ones too, are written as they are.
TEST(RunnerCsv, FormulaLikeTextsAreDefusedNumbersStay) {
    TestDb db{R"(
create table t(id integer primary key, city text, amount real);
insert into t values (1, '=1+2', -10.5), (2, '@SUM(1)', 3), (3, '-x', -2), (4, '+A1', 0);
)"};
    const std::string ini = db.folder + "/t.ini";
    {
        rg::TSetup s(ini);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("t");
        s.WriteKeyField("id");
        s.WriteSummaryField("amount", "cstsum");
    }
    const RunResult r = reportgen("--run " + ini + " --format csv", db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "kind,level,id,city,amount\r\n"
                     "data,0,1,'=1+2,-10.5\r\n"
                     "data,0,2,'@SUM(1),3\r\n"
                     "data,0,3,'-x,-2\r\n"
                     "data,0,4,'+A1,0\r\n"
                     "total,,,,-9.50\r\n");
}

TEST_F(RunnerFixture, TextFilterSaveAsAndFailures) {
    const std::string copy = db.folder + "/copy.ini";
    const RunResult text =
        reportgen("--run " + ini + " --filter \"amount > 8\" --save-as " + copy, db.folder);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("地区"), std::string::npos);
    EXPECT_NE(text.out.find("30.50"), std::string::npos); // 10.5 + 20, the 7.25 row filtered out
    EXPECT_EQ(text.out.find("杭州"), std::string::npos);
    EXPECT_EQ(rg::TSetup(copy).ReadKeyField(), "id");
    EXPECT_EQ(rg::TSetup(copy).ReadField("region"), "地区");

    const RunResult unknown = reportgen("--run " + ini + " --group-by nosuch", db.folder);
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "Field 'nosuch' not found\n");

    const RunResult missing = reportgen("--run " + db.folder + "/none.ini --format csv", db.folder);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_FALSE(missing.err.empty());

    const std::string outFile = db.folder + "/out.csv";
    rg::TSetup(ini).WriteConnString("Provider=SQLite;Data Source=" + db.folder + "/nofolder/x.db");
    const RunResult refused =
        reportgen("--run " + ini + " --format csv --output " + outFile, db.folder);
    EXPECT_EQ(refused.status, 1);
    EXPECT_FALSE(std::filesystem::exists(outFile));
}

TEST_F(RunnerFixture, SavedArrangementAppliesAndOptionsTakeItsPlace) {
    const std::string grouped = db.folder + "/grouped.ini";
    const RunResult first =
        reportgen("--run " + ini +
                      " --group-by city --filter \"amount > 8\" --format csv --save-as " + grouped,
                  db.folder);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("group,0,city : 北京"), std::string::npos) << first.out;
    const RunResult again = reportgen("--run " + grouped + " --format csv", db.folder);
    EXPECT_EQ(again.out, first.out);

    const RunResult other = reportgen(
        "--run " + grouped + " --group-by region --filter \"amount < 8\" --format csv", db.folder);
    EXPECT_EQ(other.out, "kind,level,id,city,amount\r\n"
                         "group,0,地区 : 华东 \r\n"
                         "data,1,3,杭州,7.25\r\n"
                         "footer,0,,,7.25\r\n"
                         "total,,,,7.25\r\n");

    // A setup that cannot be saved ends the run with the reason, before any output.
    const std::string below = ini + "/x.ini";
    const RunResult refused =
        reportgen("--run " + ini + " --format csv --save-as " + below, db.folder);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "无法保存设置文件“" + below + "”：文件夹不存在\n");
}

TEST(RunnerOptions, ParsingRefusesWhatItCannotDo) {
    const auto o = rg::parseRunOptions(
        {"--run", "a.ini", "--group-by", "x,y", "--format", "xls", "--output", "o.xls"});
    EXPECT_EQ(o.groupBy, (std::vector<std::string>{"x", "y"}));
    EXPECT_THROW(rg::parseRunOptions({"--run", "a.ini", "--format", "xml"}),
                 std::exception); // needs --output
    EXPECT_THROW(rg::parseRunOptions({"--run", "a.ini", "--format", "pdf"}), std::exception);
    EXPECT_THROW(rg::parseRunOptions({"--run", "a.ini", "--bogus"}), std::exception);
    EXPECT_EQ(rg::parseRunOptions({"--run", "a.ini", "--timeout", "30"}).timeoutSeconds, 30);
    for (const char* bad : {"0", "-1", "1.5", "soon"})
        EXPECT_THROW(rg::parseRunOptions({"--run", "a.ini", "--timeout", bad}), std::exception)
            << bad;
    EXPECT_FALSE(rg::parseRunOptions({"--run", "a.ini"}).placement);
    EXPECT_EQ(rg::parseRunOptions({"--run", "a.ini", "--server"}).placement,
              rg::RowPlacement::Server);
    EXPECT_EQ(rg::parseRunOptions({"--run", "a.ini", "--memory", "--memory"}).placement,
              rg::RowPlacement::Memory);
    EXPECT_THROW(rg::parseRunOptions({"--run", "a.ini", "--memory", "--server"}),
                 rg::OptionConflict);
}

std::filesystem::path demoFolder() {
    return std::filesystem::path(RG_BINARY_DIR) / "setup";
}

// The demo reports' settings files the build copies beside the program.
std::vector<std::filesystem::path> demoSetups() {
    std::vector<std::filesystem::path> out;
    for (const auto& entry : std::filesystem::directory_iterator(demoFolder()))
        if (entry.path().extension() == ".ini")
            out.push_back(entry.path());
    return out;
}

TEST(RunnerDemoReports, EveryDemoReportRunsInEveryFormat) {
    // A folder of its own for the outputs and the captured standard error: runs side by side
    // must not read each other's.
    const rg::test::TempFolder folder;
    const std::string tmp = folder.path().string();
    const std::vector<std::filesystem::path> setups = demoSetups();
    for (const std::filesystem::path& setup : setups) {
        for (const char* format : {"text", "csv"}) {
            const RunResult r = reportgen("--run '" + setup.string() + "' --format " + format, tmp);
            EXPECT_EQ(r.status, 0) << setup << ": " << r.err;
            EXPECT_GT(std::count(r.out.begin(), r.out.end(), '\n'), 100) << setup;
        }
        const std::string xls = tmp + "/rg-demo.xls";
        const RunResult x =
            reportgen("--run '" + setup.string() + "' --format xls --output " + xls, tmp);
        EXPECT_EQ(x.status, 0) << x.err;
        EXPECT_GT(std::filesystem::file_size(xls), 1000u);
        std::filesystem::remove(xls);
    }
    EXPECT_GE(setups.size(), 3u);
}

// Every demo report, as saved and grouped on the command line, writes the same CSV and text
// with its rows on the server as with them in memory; a stored setup without the section
// runs in memory by its row count.
TEST(RunnerDemoReports, ServerModeWritesWhatMemoryWrites) {
    const rg::test::TempFolder folder;
    const std::string tmp = folder.path().string();
    const std::vector<std::filesystem::path> setups = demoSetups();
    for (const std::filesystem::path& setup : setups) {
        const std::string run = "--run '" + setup.string() + "' ";
        const std::string groups = setup.stem() == "订单日期统计" ? "salesperson"
                                   : setup.stem() == "销售明细"   ? "region,city"
                                                                  : "region,category";
        for (const std::string& options : std::vector<std::string>{
                 "--format csv", "--format text", "--format csv --group-by " + groups,
                 "--format text --group-by " + groups + " --filter \"amount > 1000\""}) {
            const RunResult memory = reportgen(run + options + " --memory", tmp);
            const RunResult server = reportgen(run + options + " --server", tmp);
            ASSERT_EQ(memory.status, 0) << setup << " " << options << ": " << memory.err;
            EXPECT_EQ(server.status, 0) << setup << " " << options << ": " << server.err;
            EXPECT_EQ(server.err, memory.err) << setup << " " << options;
            EXPECT_EQ(server.out, memory.out) << setup << " " << options;
            EXPECT_GT(std::count(server.out.begin(), server.out.end(), '\n'), 10);
        }
    }
    EXPECT_GE(setups.size(), 3u);
    // Texts in order are the program's own order, which the server does not share: refused
    // there, never answered differently.
    const std::string details = "--run '" + (demoFolder() / "销售明细.ini").string() +
                                "' --format csv --filter \"region > '华北'\" ";
    EXPECT_EQ(reportgen(details + "--memory", tmp).status, 0);
    const RunResult refused = reportgen(details + "--server", tmp);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("在服务器上汇总时不能按这个条件筛选：region > 华北"),
              std::string::npos)
        << refused.err;
}

// The outputs beyond the specified ones, read back by real readers: openpyxl, libxml2's HTML
// parser, poppler. A PDF has the column headers on every page and the summary footer on
// its last.
TEST(RunnerDemoReports, WorkbookPageAndPdfOpenInRealReaders) {
    const rg::test::TempFolder folder;
    const std::string tmp = folder.path().string();
    for (const std::filesystem::path& path : demoSetups()) {
        const std::string setup = "--run '" + path.string() + "' ";
        const RunResult text = reportgen(setup + "--format csv", tmp);
        ASSERT_EQ(text.status, 0) << text.err;
        // The last CSV line is the summary footer: "total," and its cells.
        std::string total = text.out.substr(text.out.rfind("total,"));
        std::vector<std::string> totals;
        for (size_t start = 7, end; (end = total.find_first_of(",\r", start)) != std::string::npos;
             start = end + 1)
            if (end > start)
                totals.push_back(total.substr(start, end - start));

        const std::string xlsx = tmp + "/rg-demo.xlsx";
        ASSERT_EQ(reportgen(setup + "--format xlsx --output " + xlsx, tmp).status, 0);
        const RunResult book = shell(
            "/usr/bin/python3 -c \"import openpyxl, sys\nws = "
            "openpyxl.load_workbook(sys.argv[1]).active\nprint(ws.max_row, ws.freeze_panes)\" " +
                xlsx,
            tmp);
        EXPECT_EQ(book.status, 0) << book.err;
        EXPECT_EQ(book.out,
                  std::to_string(std::count(text.out.begin(), text.out.end(), '\n')) + " A2\n");

        const std::string html = tmp + "/rg-demo.html";
        ASSERT_EQ(reportgen(setup + "--format html --output " + html, tmp).status, 0);
        const RunResult page = shell("xmllint --html --xpath 'count(//tr)' " + html, tmp);
        EXPECT_EQ(page.err, "");
        EXPECT_EQ(page.out,
                  std::to_string(std::count(text.out.begin(), text.out.end(), '\n')) + "\n");

        const std::string pdf = tmp + "/rg-demo.pdf";
        const RunResult printed = reportgen(setup + "--format pdf --output " + pdf, tmp);
        ASSERT_EQ(printed.status, 0) << printed.err;
        const RunResult pages = shell("pdftotext -layout " + pdf + " -", tmp);
        std::vector<std::string> texts;
        for (size_t start = 0, ff; (ff = pages.out.find('\f', start)) != std::string::npos;
             start = ff + 1)
            texts.push_back(pages.out.substr(start, ff - start));
        ASSERT_GT(texts.size(), 1u) << path;
        // Every page starts with captions; a wide report's pages side by side each have their
        // own columns' captions, and the last row of pages holds the summary footer.
        std::set<std::string> captions, strips;
        const std::string first = text.out.substr(0, text.out.find('\r'));
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = first.find(',', start);
            captions.insert(first.substr(start, end == std::string::npos ? end : end - start));
        }
        for (const std::string& t : texts) {
            std::istringstream words(t.substr(0, t.find('\n')));
            std::string word, strip;
            while (words >> word) {
                EXPECT_TRUE(captions.count(word)) << path << ": " << word;
                strip += word + " ";
            }
            EXPECT_FALSE(strip.empty()) << path;
            strips.insert(strip);
        }
        std::string lastRow;
        for (size_t i = texts.size() - strips.size(); i < texts.size(); ++i)
            lastRow += texts[i];
        // Totals print whole, however narrow their columns.
        for (const std::string& cell : totals)
            EXPECT_NE(lastRow.find(cell), std::string::npos) << cell;
        for (const std::string& f : {xlsx, html, pdf})
            std::filesystem::remove(f);
    }
}

// The runner's PDF numbers its pages; a group row continued on the page holding the
// right-hand columns says again which group it is; totals keep every digit.
TEST(RunnerPdf, NumberedPagesGroupRowsOnTheRightAndWholeTotals) {
    TestDb db(R"(
create table wide(id integer primary key, region text, a text, b text, c text, d text, e text, f text,
                  g text, qty integer);
insert into wide values
  (1, '华东', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 123456789012345678),
  (2, '华东', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 111111111111111111),
  (3, '华北', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 9007199254740992),
  (4, '华北', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 9007199254740993);
)");
    const std::string ini = db.folder + "/wide.ini";
    {
        rg::TSetup s(ini);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("wide");
        s.WriteKeyField("id");
        s.WriteSummaryField("qty", "cstsum");
    }
    const std::string pdf = db.folder + "/wide.pdf";
    const RunResult r =
        reportgen("--run " + ini + " --group-by region --format pdf --output " + pdf, db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    const RunResult text = shell("pdftotext -layout " + pdf + " -", db.folder);
    std::vector<std::string> pages;
    for (size_t start = 0, ff; (ff = text.out.find('\f', start)) != std::string::npos;
         start = ff + 1)
        pages.push_back(text.out.substr(start, ff - start));
    ASSERT_EQ(pages.size(), 2u) << text.out; // the columns continue on a second page
    EXPECT_EQ(pages[0].find("qty"), std::string::npos);
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(pages[i].find("第 " + std::to_string(i + 1) + " 页，共 2 页"), std::string::npos)
            << pages[i];
        // Both pages name both groups, in the group's row.
        EXPECT_LT(pages[i].find("region : 华北"), pages[i].find("region : 华东"));
    }
    for (const char* total : {"234567900123456789.00", "18014398509481985.00",
                              "252582298632938774.00", "9007199254740993"})
        EXPECT_NE(pages[1].find(total), std::string::npos) << total << "\n" << pages[1];
}

namespace {

// Environment that selects a comma-decimal locale: the machine's own de_DE.UTF-8, else one
// compiled into `folder`.
std::string commaDecimalLocale(const std::string& folder) {
    if (shell("locale -a", folder).out.find("de_DE.utf8") != std::string::npos)
        return "LC_ALL=de_DE.UTF-8";
    shell("localedef -i de_DE -f UTF-8 " + folder + "/de_DE.UTF-8", folder);
    return "LOCPATH=" + folder + " LC_ALL=de_DE.UTF-8";
}

using Texts = std::vector<std::string>;

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST_F(RunnerFixture, EveryFormatIsByteIdenticalUnderACommaDecimalLocale) {
    const std::string de = commaDecimalLocale(db.folder);
    // The locale really writes decimal commas, or this test would prove nothing.
    ASSERT_EQ(shell("env " + de + " /usr/bin/printf '%.2f' 1.5", db.folder).out, "1,50") << de;

    rg::TSetup(ini).WriteSummaryField("id", "cstcount");
    // Writes a report grouped by `groupBy` in `format` under the locale into a folder of
    // its own; returns the folder.
    auto runIn = [&](const std::string& locale, const std::string& setup,
                     const std::string& groupBy, const std::string& format) {
        const std::string dir =
            db.folder + "/" + std::to_string(std::hash<std::string>{}(locale + setup + format));
        std::filesystem::create_directories(dir);
        const RunResult r = shell("env " + locale + " " + RG_BINARY_DIR + "/reportgen --run '" +
                                      setup + "' --group-by " + groupBy + " --format " + format +
                                      " --output " + dir + "/report." + format,
                                  db.folder);
        EXPECT_EQ(r.status, 0) << r.err;
        return dir;
    };
    // Doubles, decimals and dates that ODBC drivers convert on the PostgreSQL test server.
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    const std::string pgIni = db.folder + "/pg.ini";
    {
        rg::TSetup s(pgIni);
        s.WriteConnString(pg);
        s.WriteCommandType("cmdText");
        s.WriteCommandText("select id, grp, f, f * 1.5 as g, cast(f as numeric(10,3)) as d, day, n "
                           "from exact_floats");
        s.WriteKeyField("id");
        s.WriteSummaryField("f", "cstsum");
        s.WriteSummaryField("g", "cstmax");
        s.WriteSummaryField("d", "cstsum");
        s.WriteSummaryField("day", "cstmin");
    }
    // The fixture's sums of doubles, and a demo report's decimals, dates, minima, maxima and
    // averages.
    const std::string setups = demoFolder().string() + "/";
    const std::vector<std::pair<std::string, std::string>> reports = {
        {ini, "region"},
        {setups + "地区产品汇总.ini", "region,category"},
        {setups + "订单日期统计.ini", "salesperson"},
        {pgIni, "grp"}};
    for (const auto& [setup, groupBy] : reports)
        for (const char* format : {"csv", "xml", "xls"}) {
            const std::string c = runIn("LC_ALL=C", setup, groupBy, format),
                              comma = runIn(de, setup, groupBy, format);
            const std::string file = std::string("/report.") + format;
            ASSERT_GT(fileBytes(c + file).size(), 100u) << setup << " " << format;
            for (const std::string& f :
                 format == std::string("xml") ? Texts{file, "/report.xsl"} : Texts{file}) {
                const std::string a = fileBytes(c + f), b = fileBytes(comma + f);
                const auto at =
                    std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
                EXPECT_TRUE(a == b) << setup << f << " differs from byte " << at << ": "
                                    << a.substr(at, 60) << " | " << b.substr(at, 60);
            }
        }
    // The server's decimals arrive whole under the comma locale too.
    const std::string pgCsv = fileBytes(runIn(de, pgIni, "grp", "csv") + "/report.csv");
    EXPECT_NE(pgCsv.find("data,1,1,0.3,0.45,0.300,,\r\n"), std::string::npos) << pgCsv;
    const std::string csv = fileBytes(runIn(de, ini, "region", "csv") + "/report.csv");
    EXPECT_NE(csv.find("footer,0,2,,17.75\r\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("total,,3,,37.75\r\n"), std::string::npos) << csv;
}
