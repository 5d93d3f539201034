// Grouping by date intervals and number ranges: the groups and their footers of 100,000
// orders checked against SQLite's strftime grouping of the same file, ISO weeks at the turn
// of the year, ranges over negative numbers and nulls, and the names the setup stores.

#include "common/decimal.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "grid/grid.h"
#include "grid/groupinterval.h"

#include "testdb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

using namespace rg;

namespace {

// 100,000 orders over the three years 2021 to 2023 (1,095 days), every day present; amounts
// in quarters so that sums are exact in any order, qty with nulls.
const char* kOrders = R"(
create table orders(id integer primary key, d date, ts datetime, amount real, qty integer);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000)
insert into orders
  select i, date('2021-01-01', '+' || (i * 7919 % 1095) || ' days'),
         datetime('2021-01-01', '+' || (i * 7919 % 1095) || ' days', '+' || (i % 86400) || ' seconds'),
         ((i * 37) % 4001) * 0.25 - 300,
         case when i % 13 = 0 then null else i % 1000 end
  from n;
)";

struct Figures {
    int64_t rows = 0;
    double sum = 0, min = 0, max = 0;
};

// SQLite's figures by the label `label` (an expression over d), in label order.
std::vector<std::pair<std::string, Figures>> sqliteFigures(const std::string& path,
                                                           const std::string& label) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql = "select " + label +
                            ", count(*), sum(amount), min(amount), max(amount) "
                            "from orders group by 1 order by min(d)";
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK);
    std::vector<std::pair<std::string, Figures>> out;
    while (sqlite3_step(st) == SQLITE_ROW)
        out.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                       {sqlite3_column_int64(st, 1), sqlite3_column_double(st, 2),
                        sqlite3_column_double(st, 3), sqlite3_column_double(st, 4)}});
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

SummaryValue groupFooter(const TdxDBGrid& g, RowHandle group, const TdxDBGridColumn& c) {
    RowHandle last = group;
    while (last.isGroup())
        last = g.Child(last, g.ChildCount(last) - 1);
    for (int j = 0; j < g.FooterRowCount(last); ++j)
        if (g.FooterLevel(last, j) == g.Level(group))
            return g.FooterCellValue(last, c, j);
    ADD_FAILURE() << "no footer row for the group";
    return {};
}

// An item shown under column `c`, summarising `field`.
void addItem(TdxDBGrid& g, TdxDBGridColumn& c, const char* field, TdxSummaryType k) {
    TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c.Name());
    item.SetSummaryField(field);
    item.SetSummaryType(k);
}

struct CancelAtOnce : ProgressSink {
    bool progress(const char*, int64_t, int64_t) override { return false; }
};

std::vector<std::string> topTexts(const TdxDBGrid& g) {
    std::vector<std::string> texts;
    for (int i = 0; i < g.TopCount(); ++i)
        texts.push_back(g.GroupRowText(g.Top(i)));
    return texts;
}

Value date(int y, int m, int d) {
    return Value::fromDate(dateSerial(y, m, d));
}

} // namespace

TEST(GroupInterval, MonthsAndQuartersOfManyOrdersAgreeWithSqlite) {
    TestDb db(kOrders);
    db.open("select id, d, ts, amount, qty from orders");
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    g.SetShowRowFooter(true);
    TdxDBGridColumn& d = *g.ColumnByFieldName("d");
    TdxDBGridColumn& amount = *g.ColumnByFieldName("amount");
    TdxDBGridColumn& qty = *g.ColumnByFieldName("qty");
    TdxDBGridColumn& id = *g.ColumnByFieldName("id");
    TdxDBGridColumn& ts = *g.ColumnByFieldName("ts");
    {
        GridUpdate batch(g);
        addItem(g, id, "id", TdxSummaryType::cstCount);
        addItem(g, amount, "amount", TdxSummaryType::cstSum);
        addItem(g, ts, "amount", TdxSummaryType::cstMin);
        addItem(g, qty, "amount", TdxSummaryType::cstMax);
    }
    g.SetKeyField("id");
    d.SetGroupInterval({GroupInterval::Month, 0});
    ASSERT_TRUE(g.GroupColumn(d, 0));

    // Each interval's group, its text and its footers.
    auto check = [&](const char* what, const std::string& label,
                     const std::function<std::string(const std::string&)>& text) {
        SCOPED_TRACE(what);
        const auto expected = sqliteFigures(db.path, label);
        ASSERT_EQ(g.TopCount(), static_cast<int>(expected.size()));
        const bool down = d.Sorted() == TdxTreeListColumnSort::csDown;
        for (int i = 0; i < g.TopCount(); ++i) {
            const RowHandle group = g.Top(down ? g.TopCount() - 1 - i : i);
            const auto& [key, e] = expected[static_cast<size_t>(i)];
            const std::string rowText = g.GroupRowText(group);
            EXPECT_EQ(rowText.substr(0, rowText.find(' ', 4)), "d : " + text(key)) << rowText;
            EXPECT_EQ(g.DataRowsBelow(group), e.rows);
            EXPECT_EQ(groupFooter(g, group, id).toDouble(), static_cast<double>(e.rows));
            EXPECT_EQ(groupFooter(g, group, amount).toDouble(), e.sum);
            EXPECT_EQ(groupFooter(g, group, ts).toDouble(), e.min);
            EXPECT_EQ(groupFooter(g, group, qty).toDouble(), e.max);
            // Every record of the group lies in its interval.
            const Value start = g.GroupValue(group);
            for (int r = 0; r < g.ChildCount(group); r += 97)
                EXPECT_EQ(intervalKey(g.CellValue(g.Child(group, r), d), d.GroupInterval()), start);
        }
    };
    // "2021-03" reads 2021年3月.
    auto month = [](const std::string& k) {
        return k.substr(0, 4) + "年" + std::to_string(std::stoi(k.substr(5))) + "月";
    };
    check("months", "strftime('%Y-%m', d)", month);
    EXPECT_EQ(g.TopCount(), 36);
    EXPECT_EQ(g.GroupRowText(g.Top(2)).substr(0, 15), "d : 2021年3月");

    d.SetSorted(TdxTreeListColumnSort::csDown);
    check("months going down", "strftime('%Y-%m', d)", month);
    d.SetSorted(TdxTreeListColumnSort::csUp);

    d.SetGroupInterval({GroupInterval::Quarter, 0});
    check("quarters", "strftime('%Y', d) || '-' || ((cast(strftime('%m', d) as integer) + 2) / 3)",
          [](const std::string& k) { return k.substr(0, 4) + "年第" + k.substr(5) + "季度"; });
    EXPECT_EQ(g.TopCount(), 12);

    // A cancelled change of interval puts the quarters back.
    const std::vector<std::string> quarters = topTexts(g);
    {
        CancelAtOnce sink;
        ProgressScope scope(&sink);
        EXPECT_THROW(d.SetGroupInterval({GroupInterval::Year, 0}), Cancelled);
    }
    EXPECT_EQ(d.GroupInterval().kind, GroupInterval::Quarter);
    EXPECT_EQ(topTexts(g), quarters);

    // Date-times group by the day of their time; years nest over months.
    d.SetGroupInterval({GroupInterval::Year, 0});
    ts.SetGroupInterval({GroupInterval::Month, 0});
    ASSERT_TRUE(g.GroupColumn(ts, 1));
    ASSERT_EQ(g.TopCount(), 3);
    for (int y = 0; y < 3; ++y) {
        const RowHandle year = g.Top(y);
        EXPECT_EQ(g.GroupRowText(year).substr(0, 11), "d : " + std::to_string(2021 + y) + "年");
        ASSERT_EQ(g.ChildCount(year), 12);
        EXPECT_EQ(g.GroupValue(g.Child(year, 11)), date(2021 + y, 12, 1));
    }
    ts.SetGroupInterval({GroupInterval::Day, 0});
    EXPECT_EQ(g.GroupRowCount(), 3 + 1095);
    EXPECT_EQ(g.GroupRowText(g.Child(g.Top(0), 0)).substr(0, 15), "ts : 2021-01-01");

    // Ungrouped, the column keeps its interval for the next grouping; no interval, no change.
    g.ClearGrouping();
    EXPECT_EQ(d.GroupInterval().kind, GroupInterval::Year);
    d.SetGroupInterval({});
    ASSERT_TRUE(g.GroupColumn(d, 0));
    EXPECT_EQ(g.TopCount(), 1095);
    EXPECT_EQ(g.GroupRowText(g.Top(0)).substr(0, 14), "d : 2021-01-01");
}

TEST(GroupInterval, IsoWeeksAtTheTurnOfTheYear) {
    const IntervalSpec week{GroupInterval::Week, 0};
    struct Case {
        Value day;
        Value monday;
        const char* text;
    } cases[] = {
        {date(2020, 12, 31), date(2020, 12, 28), "2020年第53周"},
        {date(2021, 1, 3), date(2020, 12, 28), "2020年第53周"},
        {date(2021, 1, 4), date(2021, 1, 4), "2021年第1周"},
        {date(2019, 12, 30), date(2019, 12, 30), "2020年第1周"},
        {date(2023, 3, 22), date(2023, 3, 20), "2023年第12周"},
        {date(1899, 12, 24), date(1899, 12, 18), "1899年第51周"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day.displayText());
        const Value key = intervalKey(c.day, week);
        EXPECT_EQ(key, c.monday);
        EXPECT_EQ(intervalText(key, week), c.text);
    }
    // A date-time falls in the week of its day; a null stays null.
    const Value late = Value::fromDateTime(dateSerial(2021, 1, 3) + 0.999);
    EXPECT_EQ(intervalKey(late, week), date(2020, 12, 28));
    EXPECT_TRUE(intervalKey(Value::null(), week).isNull());

    // In the grid: the three days make two weeks, in order.
    TestDb db("create table t(id integer primary key, d date);"
              "insert into t values (1, '2021-01-04'), (2, '2020-12-31'), (3, null),"
              " (4, '2021-01-03');");
    db.open("select id, d from t");
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    g.SetKeyField("id");
    TdxDBGridColumn& d = *g.ColumnByFieldName("d");
    d.SetGroupInterval(week);
    ASSERT_TRUE(g.GroupColumn(d, 0));
    ASSERT_EQ(g.TopCount(), 3);
    EXPECT_TRUE(g.GroupValue(g.Top(0)).isNull());
    EXPECT_EQ(g.GroupRowText(g.Top(1)), "d : 2020年第53周 ");
    EXPECT_EQ(g.DataRowsBelow(g.Top(1)), 2);
    EXPECT_EQ(g.GroupRowText(g.Top(2)), "d : 2021年第1周 ");
}

TEST(GroupInterval, RangesOverNegativeNumbersAndNulls) {
    TestDb db("create table t(id integer primary key, n integer, x real);"
              "insert into t values (1, -250, 0.3), (2, -200, null), (3, null, -0.05),"
              " (4, -1, 99.99), (5, 0, -1e-9), (6, 99, 0.1), (7, 100, 250), (8, null, -100),"
              " (9, 199, 0.2), (10, -101, 0.29);");
    db.open("select id, n, x from t");
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    g.SetKeyField("id");
    TdxDBGridColumn& n = *g.ColumnByFieldName("n");
    n.SetGroupInterval({GroupInterval::Range, 100});
    ASSERT_TRUE(g.GroupColumn(n, 0));
    const std::vector<std::string> want = {
        "n :  ",          "n : [-300, -200) ", "n : [-200, -100) ",
        "n : [-100, 0) ", "n : [0, 100) ",     "n : [100, 200) "};
    EXPECT_EQ(topTexts(g), want);
    const std::vector<int> counts = {2, 1, 2, 1, 2, 2};
    for (int i = 0; i < g.TopCount(); ++i)
        EXPECT_EQ(g.DataRowsBelow(g.Top(i)), counts[static_cast<size_t>(i)]) << i;
    n.SetSorted(TdxTreeListColumnSort::csDown);
    EXPECT_EQ(g.GroupRowText(g.Top(0)), "n : [100, 200) ");
    EXPECT_EQ(g.GroupRowText(g.Top(5)), "n :  ");

    // Fractional widths: a value on a bound opens its range, the tiny negative lies below 0.
    TdxDBGridColumn& x = *g.ColumnByFieldName("x");
    g.ClearGrouping();
    x.SetGroupInterval({GroupInterval::Range, 0.1});
    ASSERT_TRUE(g.GroupColumn(x, 0));
    const std::vector<std::string> fractions = {
        "x :  ",           "x : [-100, -99.9) ", "x : [-0.1, 0) ",   "x : [0.1, 0.2) ",
        "x : [0.2, 0.3) ", "x : [0.3, 0.4) ",    "x : [99.9, 100) ", "x : [250, 250.1) "};
    EXPECT_EQ(topTexts(g), fractions);
    EXPECT_EQ(g.DataRowsBelow(g.Top(2)), 2); // -0.05 and -1e-9
    EXPECT_EQ(g.DataRowsBelow(g.Top(4)), 2); // 0.2 and 0.29

    // Decimals fall in the range of their exact quotient by the width as written: just
    // below a bound stays below it, as a server's decimal arithmetic has it.
    const IntervalSpec tenth{GroupInterval::Range, 0.1};
    auto decimal = [](const char* text) { return Value::fromDecimal(*Decimal::parse(text)); };
    EXPECT_EQ(intervalKey(decimal("0.299999999999999"), tenth), rangeStartOf(2, 0.1));
    EXPECT_EQ(intervalKey(decimal("0.3"), tenth), rangeStartOf(3, 0.1));
    EXPECT_EQ(intervalKey(decimal("-0.3"), tenth), rangeStartOf(-3, 0.1));
    EXPECT_EQ(intervalKey(decimal("-0.300000000000001"), tenth), rangeStartOf(-4, 0.1));
    EXPECT_EQ(intervalKey(Value::fromDouble(0.299999999999999), tenth), rangeStartOf(3, 0.1));

    // Months on numbers do not apply: refused, naming the field, and the column keeps its
    // range.
    g.ClearGrouping();
    try {
        x.SetGroupInterval({GroupInterval::Month, 0});
        ADD_FAILURE() << "months on numbers";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "字段“x”不能按“月”分组：它的值不是日期");
    }
    EXPECT_EQ(x.GroupInterval(), (IntervalSpec{GroupInterval::Range, 0.1}));
    EXPECT_THROW(n.SetGroupInterval({GroupInterval::Range, 0}), Error);
}

TEST(GroupInterval, NamesReadBackAndUnknownOnesAreNamed) {
    for (const IntervalSpec& s :
         {IntervalSpec{}, IntervalSpec{GroupInterval::Day, 0}, IntervalSpec{GroupInterval::Week, 0},
          IntervalSpec{GroupInterval::Month, 0}, IntervalSpec{GroupInterval::Quarter, 0},
          IntervalSpec{GroupInterval::Year, 0}, IntervalSpec{GroupInterval::Range, 100},
          IntervalSpec{GroupInterval::Range, 0.1}, IntervalSpec{GroupInterval::Range, 2.5e-7}})
        EXPECT_EQ(parseInterval(intervalName(s)), s) << intervalName(s);
    EXPECT_EQ(intervalName({GroupInterval::Month, 0}), "月");
    EXPECT_EQ(intervalName({GroupInterval::Range, 100}), "区间100");
    EXPECT_EQ(intervalText(date(2023, 1, 1), {GroupInterval::Quarter, 0}), "2023年第1季度");
    EXPECT_EQ(intervalText(date(2023, 10, 1), {GroupInterval::Quarter, 0}), "2023年第4季度");
    for (const char* bad : {"月份", "区间", "区间0", "区间-5", "区间abc", "区间 5", "month"}) {
        try {
            parseInterval(bad);
            ADD_FAILURE() << bad;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
        }
    }
}
