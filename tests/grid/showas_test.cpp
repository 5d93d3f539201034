// Summaries shown otherwise and each level's top N, against the database's own SQL over the
// same rows: the demo database's sales on SQLite and a table of decimals on PostgreSQL,
// grouped by region and month. Shares, running totals (window sums), ranks (RANK()), the
// change from the previous month and from the same month a year before (self-joins of the
// month groups), the year to date, and the "其他" of a top N (the sum of the rest).

#include "common/progress.h"
#include "datasource/dataset.h"
#include "grid/grid.h"
#include "grid/showas.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

using namespace rg;

namespace {

const std::string kDemoDb = std::string(RG_BINARY_DIR) + "/demo.db";

// What differs between the SQL of two databases.
struct Dialect {
    std::string table, date, month, monthBack, yearBack, year;
    bool exact; // numeric sums are exact decimals (else doubles, compared to a cent)
};

Dialect sqliteDialect() {
    return {"sales",
            "order_date",
            "strftime('%Y-%m', order_date)",
            "strftime('%Y-%m', date(g.m || '-01', '-1 month'))",
            "strftime('%Y-%m', date(g.m || '-01', '-1 year'))",
            "substr(g.m, 1, 4)",
            false};
}

Dialect pgDialect() {
    return {"sa_sales",
            "order_date",
            "to_char(order_date, 'YYYY-MM')",
            "to_char(to_date(g.m, 'YYYY-MM') - interval '1 month', 'YYYY-MM')",
            "to_char(to_date(g.m, 'YYYY-MM') - interval '1 year', 'YYYY-MM')",
            "substr(g.m, 1, 4)",
            true};
}

// One statement's rows, read through the program's own connection.
std::vector<std::vector<Value>> query(const std::string& connectionString, const std::string& sql) {
    Connection conn;
    conn.SetConnectionString(connectionString);
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdText);
    ds.SetCommandText(sql);
    ds.Open();
    std::vector<std::vector<Value>> rows;
    for (int r = 0; r < ds.RecordCount(); ++r) {
        rows.emplace_back();
        for (int f = 0; f < ds.FieldCount(); ++f)
            rows.back().push_back(ds.value(r, f));
    }
    ds.Close();
    conn.Close();
    return rows;
}

// "2023-03" as the grid's month groups show it.
std::string monthText(const std::string& ym) {
    return ym.substr(0, 4) + "年" + std::to_string(std::stoi(ym.substr(5, 2))) + "月";
}

const ShowValuesAs kModes[] = {
    ShowValuesAs::Value,
    ShowValuesAs::PercentOfParent,
    ShowValuesAs::RunningTotal,
    ShowValuesAs::Rank,
    ShowValuesAs::DifferenceFromPrevious,
    ShowValuesAs::RatioToPrevious,
    ShowValuesAs::DifferenceFromYearBefore,
    ShowValuesAs::RatioToYearBefore,
    ShowValuesAs::YearToDate,
    ShowValuesAs::PercentOfTotal,
};
constexpr int kModeCount = static_cast<int>(std::size(kModes));

// A report of the sales by region and month, one group row item of the amount per mode.
struct Report {
    explicit Report(const std::string& connectionString, const Dialect& d) {
        conn.SetConnectionString(connectionString);
        ds.SetCommandType(CommandType::cmdText);
        ds.SetCommandText("select order_id, region, order_date, amount from " + d.table);
        ds.Open();
        grid.SetDataSet(&ds);
        GridUpdate update(grid);
        GroupingUpdate grouping(grid);
        grid.CreateColumnsForFields(ds);
        grid.SetKeyField("order_id");
        for (ShowValuesAs mode : kModes) {
            TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
            item.SetSummaryField("amount");
            item.SetSummaryType(TdxSummaryType::cstSum);
            item.SetShowAs(mode);
        }
        TdxDBGridSummaryItem& count = grid.DefaultGroup().SummaryItems.Add();
        count.SetSummaryField("amount");
        count.SetSummaryType(TdxSummaryType::cstCount);
        TdxDBGridColumn& month = *grid.ColumnByFieldName("order_date");
        month.SetGroupInterval({GroupInterval::Month, 0});
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
        grid.GroupColumn(month, 1);
    }
    ~Report() {
        grid.SetDataSet(nullptr);
        ds.Close();
        conn.Close();
    }
    Connection conn;
    DataSet ds{&conn};
    TdxDBGrid grid;
};

// A number of the grid or of the database, as a double and, where exact, as digits.
double num(const SummaryValue& v) {
    return v.toDouble();
}
double num(const Value& v) {
    return v.isNull() ? NAN : v.asDouble();
}

// The grid's exact value equals the database's decimal to the last digit.
void expectExact(const SummaryValue& ours, const Value& theirs, const std::string& where) {
    if (theirs.isNull()) {
        EXPECT_TRUE(ours.isEmpty()) << where;
        return;
    }
    ASSERT_EQ(ours.kind(), SummaryValue::Kind::Exact) << where;
    const auto d = theirs.asBigDecimal();
    ASSERT_TRUE(d) << where;
    EXPECT_EQ(compare(ours.exact(), *d), 0)
        << where << ": " << ours.exact().toString() << " vs " << d->toString();
}

void expectNear(const SummaryValue& ours, const Value& theirs, double tolerance,
                const std::string& where) {
    if (theirs.isNull()) {
        EXPECT_TRUE(ours.isEmpty()) << where;
        return;
    }
    EXPECT_NEAR(num(ours), num(theirs), tolerance) << where;
}

// Every month group against the SQL of the same figures: shares of the region, running
// totals in the months' order (going down when `down`), ranks, 环比, 同比, year to date.
void checkAgainstSql(const std::string& cs, const Dialect& d, bool down) {
    Report r(cs, d);
    if (down)
        r.grid.ColumnByFieldName("order_date")->SetSorted(TdxTreeListColumnSort::csDown);
    const std::string sql =
        "with g as (select region, " + d.month + " as m, sum(amount) as s from " + d.table +
        " group by region, " + d.month +
        ") select g.region, g.m, g.s, "
        "100 * g.s / sum(g.s) over (partition by g.region), "
        "sum(g.s) over (partition by g.region order by g.m " +
        (down ? "desc" : "asc") +
        "), rank() over (partition by g.region order by g.s desc), "
        "g.s - p.s, round(100 * g.s / p.s, 2), g.s - y.s, round(100 * g.s / y.s, 2), "
        "sum(g.s) over (partition by g.region, " +
        d.year +
        " order by g.m), "
        "100 * g.s / sum(g.s) over () "
        "from g left join g p on p.region = g.region and p.m = " +
        d.monthBack + " left join g y on y.region = g.region and y.m = " + d.yearBack;
    std::map<std::pair<std::string, std::string>, std::vector<Value>> truth;
    for (auto& row : query(cs, sql))
        truth[{row[0].asText(), monthText(row[1].asText())}] = row;
    ASSERT_GT(truth.size(), 100u);
    const TdxDBGrid& g = r.grid;
    size_t seen = 0;
    for (int i = 0; i < g.TopCount(); ++i) {
        const RowHandle region = g.Top(i);
        Decimal shares{};
        for (int k = 0; k < g.ChildCount(region); ++k) {
            const RowHandle month = g.Child(region, k);
            const std::string where = g.GroupValueText(region) + " " + g.GroupValueText(month);
            const auto it = truth.find({g.GroupValueText(region), g.GroupValueText(month)});
            ASSERT_NE(it, truth.end()) << where;
            const std::vector<Value>& t = it->second;
            ++seen;
            auto shown = [&](int item) { return g.GroupSummaryValue(month, item); };
            // Shares: each within one unit of the last place of the exact share.
            EXPECT_LT(std::fabs(num(shown(1)) - num(t[3])), 0.01) << where;
            EXPECT_LT(std::fabs(num(shown(9)) - num(t[11])), 0.01) << where;
            shares = *Decimal::add(shares, *shown(1).exact().toDecimal());
            EXPECT_EQ(num(shown(3)), num(t[5])) << where << " rank";
            if (d.exact) {
                expectExact(shown(0), t[2], where + " sum");
                expectExact(shown(2), t[4], where + " running");
                expectExact(shown(4), t[6], where + " 环比差额");
                expectExact(shown(5), t[7], where + " 环比");
                expectExact(shown(6), t[8], where + " 同比差额");
                expectExact(shown(7), t[9], where + " 同比");
                expectExact(shown(8), t[10], where + " 本年累计");
            } else {
                expectNear(shown(0), t[2], 0.005, where + " sum");
                expectNear(shown(2), t[4], 0.005, where + " running");
                expectNear(shown(4), t[6], 0.005, where + " 环比差额");
                expectNear(shown(5), t[7], 0.0051, where + " 环比");
                expectNear(shown(6), t[8], 0.005, where + " 同比差额");
                expectNear(shown(7), t[9], 0.0051, where + " 同比");
                expectNear(shown(8), t[10], 0.005, where + " 本年累计");
            }
        }
        // The shares of one region's months add up to 100 % exactly at two places.
        EXPECT_EQ(shares.toString(), "100.00") << g.GroupValueText(region);
    }
    EXPECT_EQ(seen, truth.size());
    // The texts: percents with their sign, the summary footer's share of the whole.
    const std::string text = g.GroupRowText(g.Child(g.Top(0), 0));
    EXPECT_NE(text.find("(占上级百分比="), std::string::npos) << text;
    EXPECT_NE(text.find("%)"), std::string::npos) << text;
}

// The top `n` regions by the amount, the others as "其他" over all their rows: its sum and
// count, and its months, are the SQL sums of the regions left out.
void checkTopN(const std::string& cs, const Dialect& d, int n) {
    Report r(cs, d);
    TdxDBGridColumn& region = *r.grid.ColumnByFieldName("region");
    region.SetGroupTop({n, "amount", TdxSummaryType::cstSum});
    const std::string top = "select region from " + d.table +
                            " group by region order by sum(amount) desc limit " + std::to_string(n);
    const std::vector<std::vector<Value>> rest = query(
        cs, "select sum(amount), count(*) from " + d.table + " where region not in (" + top + ")");
    std::map<std::string, Value> restMonths;
    for (auto& row : query(cs, "select " + d.month + ", sum(amount) from " + d.table +
                                   " where region not in (" + top + ") group by " + d.month))
        restMonths[monthText(row[0].asText())] = row[1];
    const TdxDBGrid& g = r.grid;
    ASSERT_EQ(g.TopCount(), n + 1);
    const RowHandle other = g.Top(n);
    ASSERT_EQ(g.GroupValueText(other), "其他");
    if (d.exact)
        expectExact(g.GroupSummaryValue(other, 0), rest[0][0], "其他");
    else
        expectNear(g.GroupSummaryValue(other, 0), rest[0][0], 0.005, "其他");
    EXPECT_EQ(num(g.GroupSummaryValue(other, kModeCount)), num(rest[0][1]));
    EXPECT_EQ(g.DataRowsBelow(other), static_cast<int>(num(rest[0][1])));
    ASSERT_EQ(static_cast<size_t>(g.ChildCount(other)), restMonths.size());
    Decimal shares{};
    for (int k = 0; k < g.ChildCount(other); ++k) {
        const RowHandle month = g.Child(other, k);
        const std::string where = "其他 " + g.GroupValueText(month);
        expectNear(g.GroupSummaryValue(month, 0), restMonths[g.GroupValueText(month)],
                   d.exact ? 0 : 0.005, where);
        shares = *Decimal::add(shares, *g.GroupSummaryValue(month, 1).exact().toDecimal());
    }
    EXPECT_EQ(shares.toString(), "100.00");
    // The kept regions are the SQL's top ones, greatest first whatever the shown order.
    std::vector<std::string> kept;
    for (int i = 0; i < n; ++i)
        kept.push_back(g.GroupValueText(g.Top(i)));
    for (auto& row : query(cs, top))
        EXPECT_TRUE(rgtest::has(kept, row[0].asText())) << row[0].asText();
    // Taking the top N away shows every region again.
    region.SetGroupTop({});
    EXPECT_EQ(g.TopCount(),
              static_cast<int>(query(cs, "select distinct region from " + d.table).size()));

    // The top five months of each region: each region's "其他" is the sum of its other
    // months (equal sums at the boundary leave the same rest, whichever is kept).
    r.grid.ColumnByFieldName("order_date")->SetGroupTop({5, "amount", TdxSummaryType::cstSum});
    std::map<std::string, Value> restOfRegion;
    for (auto& row : query(cs, "with g as (select region, " + d.month +
                                   " as m, sum(amount) as s "
                                   "from " +
                                   d.table + " group by region, " + d.month +
                                   "), r as (select region, s, row_number() over (partition by "
                                   "region order by s desc) as n from g) "
                                   "select region, sum(s) from r where n > 5 group by region"))
        restOfRegion[row[0].asText()] = row[1];
    ASSERT_EQ(static_cast<size_t>(g.TopCount()), restOfRegion.size());
    for (int i = 0; i < g.TopCount(); ++i) {
        const RowHandle reg = g.Top(i);
        ASSERT_EQ(g.ChildCount(reg), 6);
        const RowHandle last = g.Child(reg, 5);
        EXPECT_EQ(g.GroupValueText(last), "其他");
        const Value& rest = restOfRegion[g.GroupValueText(reg)];
        if (d.exact)
            expectExact(g.GroupSummaryValue(last, 0), rest, g.GroupValueText(reg));
        else
            expectNear(g.GroupSummaryValue(last, 0), rest, 0.005, g.GroupValueText(reg));
    }
}

struct CancelAtOnce : ProgressSink {
    bool progress(const char*, int64_t, int64_t) override { return false; }
};

} // namespace

TEST(ShowAs, DemoSalesAgreeWithSqliteWindowsAndSelfJoins) {
    checkAgainstSql(rgtest::builtin(kDemoDb), sqliteDialect(), false);
    checkAgainstSql(rgtest::builtin(kDemoDb), sqliteDialect(), true);
    checkTopN(rgtest::builtin(kDemoDb), sqliteDialect(), 3);
}

TEST(ShowAs, ModesRefuseWhatTheyCannotShowAndSettingOneReadsNoRow) {
    EXPECT_NE(rgtest::errorOf([] {
                  CheckShowAsFits(ShowValuesAs::RunningTotal, TdxSummaryType::cstAvg, "平均 金额");
              }).find("不是合计或计数"),
              std::string::npos);
    EXPECT_EQ(rgtest::errorOf(
                  [] { CheckShowAsFits(ShowValuesAs::Rank, TdxSummaryType::cstAvg, "平均 金额"); }),
              "(no error)");
    for (const ShowAsMode& m : ShowAsModes())
        EXPECT_EQ(ShowAsFromName(m.name), m.mode);
    EXPECT_NE(rgtest::errorOf([] { ShowAsFromName("pct"); }).find("pct"), std::string::npos);

    Report r(rgtest::builtin(kDemoDb), sqliteDialect());
    TdxDBGrid& g = r.grid;
    TdxDBGridColumn& amount = *g.ColumnByFieldName("amount");
    TdxDBGridSummaryItem& footer = g.DefaultGroup().SummaryItems.Add();
    footer.SetColumnName(amount.Name());
    footer.SetSummaryField("amount");
    footer.SetSummaryType(TdxSummaryType::cstSum);
    amount.SetSummaryFooterField("amount");
    amount.SetSummaryFooterType(TdxSummaryType::cstSum);
    const SummaryValue total = g.SummaryFooterValue(amount);
    // A step that read the rows again would be cancelled: the shares come from the values
    // held.
    CancelAtOnce cancel;
    ProgressScope scope(&cancel);
    footer.SetShowAs(ShowValuesAs::PercentOfTotal);
    EXPECT_EQ(g.SummaryFooterText(amount), "100.00%");
    EXPECT_EQ(g.SummaryFooterShowAs(amount), ShowValuesAs::PercentOfTotal);
    footer.SetShowAs(ShowValuesAs::Value);
    EXPECT_EQ(compare(g.SummaryFooterValue(amount).exact(), total.exact()), 0);
}

TEST(ShowAs, PostgresqlDecimalsAgreeToTheLastDigit) {
    const std::string pg = rgtest::pgConnectionString();
    if (pg.empty())
        GTEST_SKIP() << "RG_TEST_PG not set";
    {
        rgtest::OdbcSession s(pg);
        s.exec("drop table if exists sa_sales");
        s.exec("create table sa_sales(order_id integer primary key, region text, "
               "order_date date, amount numeric(14,3))");
        // Seven regions over 2023 and 2024 with amounts of three places, some negative.
        s.exec("insert into sa_sales select i, 'R' || (i % 7), "
               "date '2023-01-01' + (i * 37 % 731), "
               "((i * 7919) % 100003) / 1000.0 - 20 from generate_series(1, 20000) i");
        s.commit();
    }
    checkAgainstSql(pg, pgDialect(), false);
    checkAgainstSql(pg, pgDialect(), true);
    checkTopN(pg, pgDialect(), 4);
    rgtest::OdbcSession s(pg);
    s.exec("drop table sa_sales");
    s.commit();
}
