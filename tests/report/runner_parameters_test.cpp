// Reports whose SQL text names parameters, run by the real program: values from the command
// line, presets worked out as of a day, defaults from the setup, and what is refused.

#include "document/report.h"
#include "runnertest.h"
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
