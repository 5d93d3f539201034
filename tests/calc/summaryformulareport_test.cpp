// Summary formulas in a report: shown in the footers of the column they name and in the
// group rows, saved in a section of their own and loaded back, and defined for one run of
// the runner.

#include "setup/reportdefinition.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sqlite3.h>

using namespace rg;

namespace {

const std::string kDemoSetup = std::string(RG_BINARY_DIR) + "/setup/地区产品汇总.ini";

struct Objects {
    Connection conn;
    DataSet dataset{&conn};
    TdxDBGrid grid;
    ReportObjects report{conn, dataset, grid};
};

double sqliteNumber(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((std::string(RG_BINARY_DIR) + "/demo.db").c_str(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
    const double v = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_double(st, 0) : -1;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return v;
}

std::string runner(const std::string& args) {
    const std::string cmd =
        std::string(RG_BINARY_DIR) + "/reportgen --run '" + kDemoSetup + "' " + args + " 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

} // namespace

TEST(SummaryFormulaReport, SavedInASectionOfItsOwnAndLoadedBack) {
    const test::TempFolder folder;
    const std::string saved = (folder / "均价.ini").string();
    const std::vector<SummaryFormula> formulas = {
        {"均价", "SUM(amount) / SUM(quantity)", "unit_price"}, {"单数", "COUNT(*)", ""}};
    {
        Objects o;
        LoadSetup(o.report, kDemoSetup, std::nullopt, {}, formulas);
        const TdxDBGridColumn& price = *o.grid.ColumnByFieldName("unit_price");
        ASSERT_EQ(o.grid.ColumnFormula(price), 0);
        EXPECT_TRUE(o.grid.SummaryFooterCellExists(price));
        EXPECT_NEAR(o.grid.SummaryFooterValue(price).toDouble(),
                    sqliteNumber("select sum(amount) / sum(quantity) from sales"), 1e-9);
        EXPECT_EQ(o.grid.FooterFormulaValue(1).toDouble(), 6000);
        EXPECT_EQ(CaptureReport(o.report).formulas, formulas);
        SaveSetup(o.report, saved);
    }
    const std::string text = test::readBytes(saved);
    EXPECT_NE(text.find("[SummaryFormulas]"), std::string::npos);
    Objects o;
    EXPECT_EQ(LoadSetup(o.report, saved), "");
    EXPECT_EQ(CaptureReport(o.report).formulas, formulas);
    // Grouped, each region's value is its own ratio, and the group row says the unbound one.
    {
        GroupingUpdate batch(o.grid);
        o.grid.ClearGrouping();
        ASSERT_TRUE(o.grid.GroupColumn(*o.grid.ColumnByFieldName("region"), 0));
    }
    for (int i = 0; i < o.grid.TopCount(); ++i) {
        const RowHandle g = o.grid.Top(i);
        const std::string region = o.grid.GroupValueText(g);
        EXPECT_NEAR(o.grid.GroupFormulaValue(g, 0).toDouble(),
                    sqliteNumber("select sum(amount) / sum(quantity) from sales where region = '" +
                                 region + "'"),
                    1e-9);
        EXPECT_NE(o.grid.GroupRowText(g).find("(单数="), std::string::npos);
    }
    // A report without formulas has no such section; one whose fields are gone skips it.
    Report without = CaptureReport(o.report);
    without.formulas.clear();
    ArrangeReport(o.report, without);
    const std::string plain = (folder / "plain.ini").string();
    SaveSetup(o.report, plain);
    EXPECT_EQ(test::readBytes(plain).find("SummaryFormulas"), std::string::npos);
    Report gone = CaptureReport(o.report);
    gone.formulas = {{"坏", "SUM(没有的字段)", ""}};
    EXPECT_NE(ArrangeReport(o.report, gone).find("汇总公式 坏"), std::string::npos);
    EXPECT_TRUE(o.grid.SummaryFormulas().empty());
}

TEST(SummaryFormulaReport, TheRunnerDefinesFormulasForOneRun) {
    const std::string csv =
        runner("--group-by region --formula '均价:unit_price=SUM(amount) / SUM(quantity)' "
               "--formula '零=COUNT(*) / (MIN(quantity) - 1)' --format csv");
    // 东北's own ratio, 1448.17866448…, at the shown four places.
    EXPECT_NE(csv.find("\"1,448.1787\""), std::string::npos) << csv.substr(0, 2000);
    EXPECT_NE(csv.find("(零=)"), std::string::npos); // a zero divisor gives null
    EXPECT_EQ(runner("--formula '坏=SUM(region)' --format csv"),
              "汇总公式“坏”：第 5 个字符：SUM 的参数应为数值字段，“region”是文本\n");
    EXPECT_EQ(runner("--formula '=SUM(amount)' --format csv").find("--formula 需要"), 0u);
}
