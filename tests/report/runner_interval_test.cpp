// The runner's grouping by interval: --group-by FIELD:月 writes one group per month with
// SQLite's strftime figures, the interval goes into the saved setup and comes back from it,
// and a setup without intervals holds no section for them.

#include "app/runner.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// 3,000 orders over 2021 to 2023, whole amounts so that the sums print exactly.
const char* kOrders = R"(
create table orders(id integer primary key, d date, amount real);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000)
insert into orders
  select i, date('2021-01-01', '+' || (i * 7919 % 1095) || ' days'), (i * 37) % 501 - 200 from n;
)";

// The month lines a csv of the grouping should hold: each group line and its footer.
std::string expectedMonths(const std::string& path) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db,
                                 "select cast(strftime('%Y', d) as integer), "
                                 "cast(strftime('%m', d) as integer), sum(amount) "
                                 "from orders group by 1, 2 order by 1, 2",
                                 -1, &st, nullptr),
              SQLITE_OK);
    std::string lines;
    char buf[200];
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::snprintf(buf, sizeof buf, "group,0,日期 : %d年%d月 \r\nfooter,0,,%.2f\r\n",
                      sqlite3_column_int(st, 0), sqlite3_column_int(st, 1),
                      sqlite3_column_double(st, 2));
        lines += buf;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return lines;
}

// The csv's group and footer lines, the data rows left out.
std::string groupAndFooterLines(const std::string& csv) {
    std::string out;
    size_t start = 0;
    while (start < csv.size()) {
        const size_t end = csv.find('\n', start) + 1;
        const std::string line = csv.substr(start, end - start);
        if (line.starts_with("group,") || line.starts_with("footer,"))
            out += line;
        start = end;
    }
    return out;
}

} // namespace

TEST(RunnerIntervals, GroupByMonthMatchesStrftimeAndTheSetupKeepsIt) {
    TestDb db(kOrders);
    const std::string ini = db.folder + "/orders.ini";
    {
        rg::TSetup s(ini);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("orders");
        s.WriteKeyField("id");
        s.WriteField("d", "日期");
        s.WriteSummaryField("amount", "cstsum");
    }
    auto run = [&](std::vector<std::string> args, const std::string& out) {
        args.insert(args.end(), {"--format", "csv", "--output", out});
        std::string errors;
        EXPECT_EQ(rg::runReport(rg::parseRunOptions(args), errors), 0) << errors;
        return rg::test::readBytes(out);
    };
    const std::string saved = db.folder + "/months.ini";
    const std::string months =
        run({"--run", ini, "--group-by", "d:月", "--save-as", saved}, db.folder + "/a.csv");
    EXPECT_TRUE(months.starts_with("kind,level,id,amount\r\n")) << months.substr(0, 80);
    EXPECT_EQ(groupAndFooterLines(months), expectedMonths(db.path));

    // The other formats take the same group texts (XML writes them as character references).
    for (const auto& [format, text] : std::vector<std::pair<std::string, std::string>>{
             {"text", "日期 : 2021年3月 "},
             {"html", ">日期 : 2021年3月 </td>"},
             {"xml", "GroupText=\"&#26085;&#26399; : 2021&#24180;3&#26376; \""}}) {
        const std::string out = db.folder + "/months." + format;
        std::string errors;
        EXPECT_EQ(
            rg::runReport(
                rg::parseRunOptions({"--run", saved, "--format", format, "--output", out}), errors),
            0)
            << errors;
        EXPECT_NE(rg::test::readBytes(out).find(text), std::string::npos) << format;
    }

    // The saved setup groups by month again; a second level by range nests inside.
    EXPECT_EQ(rg::TSetup(saved).ReadGroupInterval("d"), "月");
    EXPECT_EQ(run({"--run", saved}, db.folder + "/b.csv"), months);
    const std::string two = db.folder + "/two.ini";
    const std::string nested =
        run({"--run", ini, "--group-by", "d:年,amount:区间100", "--save-as", two},
            db.folder + "/c.csv");
    EXPECT_NE(nested.find("group,0,日期 : 2022年 \r\ngroup,1,\"amount : [-200, -100) \"\r\n"),
              std::string::npos)
        << nested.substr(0, 300);
    rg::TSetup reread(two);
    EXPECT_EQ(reread.ReadGroupInterval("d"), "年");
    EXPECT_EQ(reread.ReadGroupInterval("amount"), "区间100");
    EXPECT_EQ(run({"--run", two}, db.folder + "/d.csv"), nested);

    // Plain values again: the section is gone from the file it saves.
    const std::string plain = db.folder + "/plain.ini";
    run({"--run", two, "--group-by", "d", "--save-as", plain}, db.folder + "/e.csv");
    EXPECT_EQ(rg::test::readBytes(plain).find("GroupIntervals"), std::string::npos);
    EXPECT_NE(rg::test::readBytes(two).find("[GroupIntervals]"), std::string::npos);

    // A saved interval of a field that is gone is noticed; one that cannot be read stops.
    rg::TSetup(two).WriteGroupInterval("gone", "月");
    std::string notices;
    EXPECT_EQ(rg::runReport(rg::parseRunOptions({"--run", two, "--format", "csv", "--output",
                                                 db.folder + "/g.csv"}),
                            notices),
              0);
    EXPECT_NE(notices.find("分组区间 gone"), std::string::npos) << notices;
    rg::TSetup(two).WriteGroupInterval("d", "月份");
    EXPECT_EQ(rg::runReport(rg::parseRunOptions({"--run", two, "--format", "csv", "--output",
                                                 db.folder + "/g.csv"}),
                            notices),
              1);
    EXPECT_EQ(notices, "设置文件中的字段“d”的分组区间无法使用：未知的分组区间: 月份");

    // What cannot be done is named.
    for (const auto& [groupBy, message] : std::vector<std::pair<std::string, std::string>>{
             {"d:月份", "未知的分组区间: 月份"},
             {"amount:月", "字段“amount”不能按“月”分组：它的值不是日期"},
             {"nosuch:月", "Field 'nosuch' not found"}}) {
        std::string errors;
        EXPECT_EQ(
            rg::runReport(rg::parseRunOptions({"--run", ini, "--group-by", groupBy, "--format",
                                               "csv", "--output", db.folder + "/f.csv"}),
                          errors),
            1);
        EXPECT_EQ(errors, message);
    }
}
