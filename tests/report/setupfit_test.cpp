// Saved entries that do not fit their field stop the load with a message naming them, as a
// saved filter does: intervals, cross tables and summaries; range widths too narrow for the
// column's values are refused from the setup, the grid and the command line alike.

#include "app/runner.h"
#include "common/displaytext.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testsupport.h"

#include "testprogram.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace rg;

namespace {

const char* kSales = R"(
create table sales(id integer primary key, region text, day date, amount real, code text,
                   flag boolean, qty integer);
insert into sales values
  (1, '华东', '2024-01-05', -500, 'u0000007', 1, 3),
  (2, '华北', '2024-02-10', 250.5, 'u0000008', 0, null),
  (3, '华东', '2024-02-11', 12, 'u0000009', 1, 5),
  (4, '华南', '2024-03-01', 1e9, 'u0000010', 0, 7);
)";

// A setup of the sales table grouped by `group`, with `more` written into it.
std::string salesSetup(const TestDb& db, const std::string& group,
                       const std::function<void(TSetup&)>& more) {
    static int n = 0;
    const std::string ini = db.folder + "/sales" + std::to_string(++n) + ".ini";
    TSetup s(ini);
    s.WriteConnString(db.conn.ConnectionString());
    s.WriteCommandType("cmdTable");
    s.WriteCommandText("sales");
    s.WriteKeyField("id");
    if (!group.empty())
        s.WriteGroupColumns({group});
    more(s);
    return ini;
}

std::string loadError(const std::string& ini) {
    test::Program p;
    return rgtest::errorOf([&] { LoadSetup(p.objects(), ini); });
}

void expectHas(const std::string& text, const std::vector<std::string>& parts) {
    for (const std::string& part : parts)
        EXPECT_NE(text.find(part), std::string::npos) << "“" << part << "” not in: " << text;
}

} // namespace

TEST(SetupFit, IntervalsThatDoNotFitTheirFieldStopTheLoad) {
    TestDb db{kSales};
    // The same entry that --group-by refuses.
    expectHas(loadError(salesSetup(db, "region",
                                   [](TSetup& s) { s.WriteGroupInterval("region", "区间5"); })),
              {"分组区间", "region", "区间5", "不是数字"});
    expectHas(
        loadError(salesSetup(db, "day", [](TSetup& s) { s.WriteGroupInterval("day", "区间7"); })),
        {"分组区间", "day", "区间7"});
    expectHas(loadError(salesSetup(db, "amount",
                                   [](TSetup& s) { s.WriteGroupInterval("amount", "月"); })),
              {"分组区间", "amount", "月", "不是日期"});
    // What fits still loads as it did.
    test::Program p;
    EXPECT_EQ(
        LoadSetup(p.objects(),
                  salesSetup(db, "day", [](TSetup& s) { s.WriteGroupInterval("day", "月"); })),
        "");
    ASSERT_EQ(p.grid.TopCount(), 3);
    EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(0)), "day : 2024年1月 ");
}

TEST(SetupFit, RangeWidthsTheValuesCannotTellApartAreRefusedEverywhere) {
    TestDb db{kSales};
    // 1e9 / 1e-300 overflows to an infinite range; -500 + 1e-13 reads as -500 again.
    for (const double width : {1e-300, 1e-13, 1e-7}) {
        const std::string ini = salesSetup(db, "amount", [&](TSetup& s) {
            s.WriteGroupInterval("amount", "区间" + formatShortest(width));
        });
        expectHas(loadError(ini), {"分组区间", "amount", formatShortest(width), "太小"});
    }
    // Widths the values can carry keep loading, with bounds that read apart.
    test::Program p;
    EXPECT_EQ(LoadSetup(p.objects(),
                        salesSetup(db, "amount",
                                   [](TSetup& s) { s.WriteGroupInterval("amount", "区间0.5"); })),
              "");
    ASSERT_EQ(p.grid.TopCount(), 4);
    EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(0)), "amount : [-500, -499.5) ");

    // The grid refuses the same width, and keeps the interval it had.
    TdxDBGridColumn& amount = *p.grid.ColumnByFieldName("amount");
    expectHas(rgtest::errorOf([&] {
                  amount.SetGroupInterval({GroupInterval::Range, 1e-300});
              }),
              {"amount", "1e-300", "太小"});
    EXPECT_EQ(amount.GroupInterval(), (IntervalSpec{GroupInterval::Range, 0.5}));
    // So does the command line.
    const std::string ini = salesSetup(db, "", [](TSetup&) {});
    const RunOptions o = parseRunOptions({"--run", ini, "--group-by", "amount:区间1e-300",
                                          "--format", "csv", "--output", db.folder + "/out.csv"});
    std::string errors;
    EXPECT_EQ(runReport(o, errors), 1);
    expectHas(errors, {"amount", "1e-300", "太小"});
}

TEST(SetupFit, CrossTablesThatDoNotFitStopTheLoadNamingTheCause) {
    TestDb db{kSales};
    auto cross = [&](TSetup::CrossTableEntries e) {
        return loadError(salesSetup(db, "region", [&](TSetup& s) { s.WriteCrossTable(e); }));
    };
    expectHas(cross({"region", "月", "cstcount", ""}), {"交叉表“region”", "月", "不是日期"});
    expectHas(cross({"day", "区间7", "cstcount", ""}), {"交叉表“day”", "区间7", "不是数字"});
    // A sum over texts names the summary and its field, not the text it met.
    const std::string sum = cross({"day", "月", "cstsum", "code"});
    expectHas(sum, {"交叉表", "合计 code", "字段“code”", "不是数字"});
    EXPECT_EQ(sum.find("u0000007"), std::string::npos) << sum;

    // A report without a cross table replaces one that had it: the cross table goes too.
    test::Program p;
    LoadSetup(p.objects(), salesSetup(db, "region", [](TSetup& s) {
                  s.WriteCrossTable({"day", "月", "cstsum", "amount"});
              }));
    ASSERT_TRUE(p.grid.ShownCrossTable());
    EXPECT_EQ(p.grid.ShownCrossTable()->columnCount(), 3);
    EXPECT_EQ(LoadSetup(p.objects(), salesSetup(db, "region", [](TSetup&) {})), "");
    EXPECT_FALSE(p.grid.CrossTableDefinition());
}

TEST(SetupFit, SummariesThatCannotApplyStopTheLoadNamingTheEntry) {
    TestDb db{kSales};
    expectHas(
        loadError(salesSetup(db, "", [](TSetup& s) { s.WriteSummaryField("code", "cstsum"); })),
        {"字段“code”的汇总方式", "不是数字"});
    expectHas(loadError(salesSetup(db, "region",
                                   [](TSetup& s) {
                                       s.WriteGroupRowSummaries({{"code", "cstavg"}});
                                   })),
              {"字段“code”的分组行汇总", "不是数字"});
    expectHas(loadError(salesSetup(db, "",
                                   [](TSetup& s) {
                                       s.WriteMoreSummaries({{"flag", "cstmin"}});
                                   })),
              {"字段“flag”的汇总方式"});
}
