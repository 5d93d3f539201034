// Calculated fields as columns of a report: summed, grouped by an interval, filtered, saved
// in a section of their own and loaded back, and defined for one run of the runner.

#include "common/bigdecimal.h"
#include "grid/summaryrules.h"
#include "setup/reportdefinition.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sqlite3.h>

using namespace rg;

namespace {

const std::string kDemoSetup = std::string(RG_BINARY_DIR) + "/setup/销售明细.ini";

struct Objects {
    Connection conn;
    DataSet dataset{&conn};
    TdxDBGrid grid;
    ReportObjects report{conn, dataset, grid};
};

std::string footerOf(TdxDBGrid& grid, const char* field) {
    return grid.SummaryFooterValue(*grid.ColumnByFieldName(field)).exact().normalized().toString();
}

// One number SQLite computes over the demo database.
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

int linesStartingWith(const std::string& text, const std::string& start) {
    int n = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find('\n', at);
        n += text.compare(at, start.size(), start) == 0;
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return n;
}

} // namespace

TEST(CalcReport, ACalculatedFieldIsAColumnLikeAnyOther) {
    const test::TempFolder folder;
    const std::string saved = (folder / "毛利.ini").string();
    {
        Objects o;
        LoadSetup(o.report, kDemoSetup, std::nullopt,
                  {{"毛利", "amount × 0.3"}, {"毛利档", "ROUND(毛利, 0)"}});
        TdxDBGridColumn* margin = o.grid.ColumnByFieldName("毛利");
        ASSERT_NE(margin, nullptr);
        o.dataset.FieldByName("毛利").SetDisplayLabel("毛利额");
        DefineSummary(o.grid, *margin, TdxSummaryType::cstSum);
        DefineSummary(o.grid, *o.grid.ColumnByFieldName("amount"), TdxSummaryType::cstSum);
        // Exact: three tenths of the exact sum of the amounts, to the last digit.
        const BigDecimal amounts =
            o.grid.SummaryFooterValue(*o.grid.ColumnByFieldName("amount")).exact();
        const BigDecimal expected{amounts.mantissa * 3, amounts.scale + 1};
        EXPECT_EQ(footerOf(o.grid, "毛利"), expected.normalized().toString());
        TdxDBGridColumn& band = *o.grid.ColumnByFieldName("毛利档");
        band.SetGroupInterval(parseInterval("区间1000"));
        band.SetGroupIndex(0);
        SaveSetup(o.report, saved);
    }
    const std::string text = test::readBytes(saved);
    EXPECT_NE(text.find("[CalculatedFields]"), std::string::npos);
    Objects o;
    LoadSetup(o.report, saved);
    EXPECT_EQ(
        o.dataset.CalculatedFields(),
        (std::vector<CalculatedField>{{"毛利", "amount × 0.3"}, {"毛利档", "ROUND(毛利, 0)"}}));
    EXPECT_EQ(o.dataset.FieldByName("毛利").DisplayName(), "毛利额");
    ASSERT_EQ(o.grid.GroupColumnCount(), 1);
    EXPECT_EQ(o.grid.GroupColumns(0).FieldName(), "毛利档");
    EXPECT_EQ(o.grid.GroupColumns(0).GroupInterval(), parseInterval("区间1000"));
    // Filtered by a calculated field, the rows are those SQLite keeps for the same condition.
    o.dataset.SetFilter("毛利 > 5000");
    EXPECT_EQ(
        o.dataset.RecordCount(),
        static_cast<int>(sqliteNumber("select count(*) from sales where amount * 0.3 > 5000")));
    EXPECT_NEAR(o.grid.SummaryFooterValue(*o.grid.ColumnByFieldName("毛利")).toDouble(),
                sqliteNumber("select sum(amount * 0.3) from sales where amount * 0.3 > 5000"),
                1e-6);

    // A report without calculated fields has no such section.
    Objects plain;
    LoadSetup(plain.report, saved);
    Report without = CaptureReport(plain.report);
    without.calculated.clear();
    ArrangeReport(plain.report, without);
    EXPECT_EQ(plain.grid.ColumnByFieldName("毛利"), nullptr);
    const std::string again = (folder / "plain.ini").string();
    SaveSetup(plain.report, again);
    EXPECT_EQ(test::readBytes(again).find("CalculatedFields"), std::string::npos);
}

TEST(CalcReport, TheRunnerDefinesFieldsForOneRun) {
    const std::string csv =
        runner("--calc '单价差=amount / quantity - unit_price' --calc '数量档=quantity * 10' "
               "--group-by 数量档:区间50 --filter '单价差 < -100' --format csv");
    EXPECT_EQ(
        linesStartingWith(csv, "data,"),
        static_cast<int>(sqliteNumber("select count(*) from sales where "
                                      "cast(amount as real) / quantity - unit_price < -100")));
    EXPECT_EQ(linesStartingWith(csv, "group,0,\"数量档 : ["),
              static_cast<int>(
                  sqliteNumber("select count(distinct quantity * 10 / 50) from sales "
                               "where cast(amount as real) / quantity - unit_price < -100")));
    EXPECT_EQ(runner("--calc '坏=amount + region' --format csv"),
              "计算字段“坏”：第 8 个字符：运算符“+”不能用于小数和文本，连接文本请用 ||\n");
    EXPECT_EQ(runner("--calc '毛利=amount ÷ 0' --server --format csv"),
              "计算字段“毛利”只能在内存中计算，而这份报表的数据留在服务器上汇总：请关闭服务器汇总后"
              "再使用计算字段\n");
    EXPECT_EQ(runner("--calc '=amount' --format csv").find("--calc 需要“名称=表达式”"), 0u);
}
