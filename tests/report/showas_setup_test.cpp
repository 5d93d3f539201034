// Shown-as modes and top N through a setup file and the runner, over the demo database: a
// save holds them in sections of their own, which a load puts back and a setup without
// them lacks; the runner's --show-as and --top; on the server the shares are those of
// memory, and a top N is refused with a message that says why.

#include "app/runner.h"
#include "datasource/dataset.h"
#include "grid/grid.h"
#include "setup/reportdefinition.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>

using namespace rg;

namespace {

const std::string kDemoDb = std::string(RG_BINARY_DIR) + "/demo.db";

std::string readFile(const std::string& path) {
    return rg::test::readBytes(path);
}

Report salesReport() {
    Report r;
    r.source.connectionString = rgtest::builtin(kDemoDb);
    r.source.commandType = "cmdText";
    r.source.commandText = "select order_id, region, salesperson, order_date, amount from sales";
    r.keyField = "order_id";
    r.fields.push_back({"order_date", "", "", "", "", "月"});
    r.grouping = {"region", "order_date"};
    r.footerSummaries = {{"amount", "cstsum"}};
    r.groupRowSummaries = {{"amount", "cstcount"}, {"amount", "cstsum"}};
    r.showAs = {{"amount", "cstsum", "footer", "pct-parent"},
                {"amount", "cstsum", "row", "running"}};
    r.topGroups = {{"region", "3", "amount", "cstsum"}};
    return r;
}

struct Objects {
    Connection conn;
    DataSet ds{&conn};
    TdxDBGrid grid;
    ReportObjects objects() { return {conn, ds, grid}; }
    ~Objects() {
        grid.SetDataSet(nullptr);
        ds.Close();
        conn.Close();
    }
};

std::vector<std::string> topTexts(const TdxDBGrid& g) {
    std::vector<std::string> texts;
    for (int i = 0; i < g.TopCount(); ++i)
        texts.push_back(g.GroupRowText(g.Top(i)));
    return texts;
}

int run(const std::vector<std::string>& args, std::string& errors) {
    return runReport(parseRunOptions(args), errors);
}

} // namespace

TEST(ShowAsSetup, SectionsOfTheirOwnComeBackOnLoadAndAreAbsentWhenUnused) {
    rg::test::TempFolder folder;
    const std::string dirPath = folder.path().string();
    const std::string first = dirPath + "/first.ini", second = dirPath + "/second.ini";
    std::vector<std::string> shown;
    {
        Objects o;
        EXPECT_EQ(BuildReport(o.objects(), salesReport(), std::nullopt), "");
        ASSERT_EQ(o.grid.TopCount(), 4);
        EXPECT_EQ(o.grid.GroupValueText(o.grid.Top(3)), "其他");
        shown = topTexts(o.grid);
        EXPECT_NE(shown[0].find("(累计="), std::string::npos) << shown[0];
        SaveSetup(o.objects(), first);
    }
    const std::string text = readFile(first);
    EXPECT_NE(text.find("[ShowValuesAs]"), std::string::npos);
    EXPECT_NE(text.find("[TopGroups]"), std::string::npos);
    const Report read = ReadReportFile(first);
    EXPECT_EQ(read.showAs, salesReport().showAs);
    EXPECT_EQ(read.topGroups, salesReport().topGroups);
    {
        Objects o;
        EXPECT_EQ(LoadSetup(o.objects(), first), "");
        EXPECT_EQ(topTexts(o.grid), shown);
        const TdxDBGridColumn& amount = *o.grid.ColumnByFieldName("amount");
        EXPECT_EQ(o.grid.SummaryFooterText(amount), "100.00%");
        SaveSetup(o.objects(), second);
    }
    EXPECT_EQ(readFile(second), text);

    // Without shown-as modes and top N the file has neither section.
    Report plain = salesReport();
    plain.showAs.clear();
    plain.topGroups.clear();
    {
        Objects o;
        BuildReport(o.objects(), plain, std::nullopt);
        SaveSetup(o.objects(), second);
    }
    EXPECT_EQ(readFile(second).find("ShowValuesAs"), std::string::npos);
    EXPECT_EQ(readFile(second).find("TopGroups"), std::string::npos);

    // A mode the summary cannot be shown in names it.
    Report wrong = salesReport();
    wrong.showAs = {{"amount", "cstcount", "row", "rank"}, {"amount", "cstsum", "row", "bogus"}};
    Objects o;
    EXPECT_NE(rgtest::errorOf([&] { BuildReport(o.objects(), wrong, std::nullopt); }).find("bogus"),
              std::string::npos);
}

TEST(ShowAsSetup, RunnerOptionsAndServerMode) {
    rg::test::TempFolder folder;
    const std::string dirPath = folder.path().string();
    const std::string ini = dirPath + "/plain.ini";
    Report plain = salesReport();
    plain.showAs.clear();
    plain.topGroups.clear();
    {
        Objects o;
        BuildReport(o.objects(), plain, std::nullopt);
        SaveSetup(o.objects(), ini);
    }
    std::string errors;
    const std::string csv = dirPath + "/out.csv";
    ASSERT_EQ(run({"--run", ini, "--show-as", "amount:sum:pct-total", "--top",
                   "region:2:合计:amount", "--format", "csv", "--output", csv},
                  errors),
              0)
        << errors;
    const std::string out = readFile(csv);
    EXPECT_NE(out.find("其他"), std::string::npos);
    EXPECT_NE(out.find("100.00%"), std::string::npos);
    EXPECT_NE(
        run({"--run", ini, "--show-as", "amount:avg:pct-total", "--format", "csv", "--output", csv},
            errors),
        0);
    EXPECT_NE(errors.find("amount"), std::string::npos) << errors;
    EXPECT_NE(
        run({"--run", ini, "--top", "region:0:sum:amount", "--format", "csv", "--output", csv},
            errors),
        0);
    EXPECT_NE(errors.find("正整数"), std::string::npos) << errors;

    // On the server the group rows come from one statement: the shares, ranks and running
    // totals of memory, and a top N refused.
    const std::vector<std::string> byPerson = {"--run",      ini,
                                               "--group-by", "region,salesperson",
                                               "--show-as",  "amount:sum:pct-parent",
                                               "--show-as",  "amount:count:rank",
                                               "--format",   "csv"};
    auto with = [&](std::vector<std::string> args, const std::string& placement,
                    const std::string& path) {
        args.insert(args.end(), {placement, "--output", path});
        return args;
    };
    ASSERT_EQ(run(with(byPerson, "--memory", dirPath + "/m.csv"), errors), 0) << errors;
    ASSERT_EQ(run(with(byPerson, "--server", dirPath + "/s.csv"), errors), 0) << errors;
    EXPECT_EQ(readFile(dirPath + "/s.csv"), readFile(dirPath + "/m.csv"));
    EXPECT_NE(readFile(dirPath + "/m.csv").find("%"), std::string::npos);
    std::vector<std::string> top = byPerson;
    top.insert(top.end(), {"--top", "region:2:sum:amount"});
    EXPECT_EQ(run(with(top, "--server", dirPath + "/t.csv"), errors), 1);
    EXPECT_NE(errors.find("在服务器上汇总时不能只显示前 N 项"), std::string::npos) << errors;
}

// In a workbook a share is a fraction in a percent format and no SUBTOTAL formula: openpyxl
// reads the summary row's 100 % and a group's share as the grid shows them.
TEST(ShowAsReaders, WorkbookHoldsSharesAsPercentValues) {
    rg::test::TempFolder folder;
    const std::string dirPath = folder.path().string();
    const std::string ini = dirPath + "/plain.ini", xlsx = dirPath + "/out.xlsx";
    Report plain = salesReport();
    plain.showAs.clear();
    plain.topGroups.clear();
    plain.grouping = {"region"};
    {
        Objects o;
        BuildReport(o.objects(), plain, std::nullopt);
        o.grid.SetShowRowFooter(true);
        SaveSetup(o.objects(), ini);
    }
    std::string errors;
    ASSERT_EQ(run({"--run", ini, "--show-as", "amount:sum:pct-total", "--format", "xlsx",
                   "--output", xlsx},
                  errors),
              0)
        << errors;
    const std::string out = dirPath + "/cells.txt";
    const std::string script = "import openpyxl, sys\n"
                               "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                               "for row in ws.iter_rows():\n"
                               "    for c in row:\n"
                               "        if c.number_format.endswith('%'):\n"
                               "            print(repr(c.value), c.number_format)\n";
    ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + script + "\" " + xlsx + " > " + out).c_str()),
              0);
    const std::string cells = readFile(out);
    // Seven regions' footers, then the summary row; the shares add up to the whole.
    EXPECT_EQ(std::count(cells.begin(), cells.end(), '\n'), 8) << cells;
    EXPECT_NE(cells.find("\n1 0.00%\n"), std::string::npos) << cells;
    EXPECT_EQ(cells.find("SUBTOTAL"), std::string::npos) << cells;
    double sum = 0;
    std::istringstream lines(cells);
    for (std::string line; std::getline(lines, line);)
        sum += std::stod(line);
    EXPECT_NEAR(sum, 2.0, 1e-9) << cells;
}
