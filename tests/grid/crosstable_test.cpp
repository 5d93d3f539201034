// The cross table over 100,000 orders of three years, every cell of every group level and
// every total checked against SQLite's GROUP BY of the grouping fields and the cross field
// over the same file.

#include "grid/grid.h"

#include "testdb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <tuple>

using namespace rg;

namespace {

struct Figures {
    int64_t rows = 0;
    double qtySum = 0, qtyAvg = 0, amountSum = 0;
};
// Keyed by region, category and month, "*" where a query does not group by it.
using Key = std::tuple<std::string, std::string, std::string>;

std::map<Key, Figures> sqliteFigures(const std::string& path, const std::string& where) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::map<Key, Figures> out;
    // The grid's average divides by every row, nulls included.
    const std::string values =
        "count(*), total(qty), total(qty) / count(*), total(amount) from orders " + where;
    for (const char* groups :
         {"region, category, month", "region, category, '*'", "region, '*', month",
          "region, '*', '*'", "'*', '*', month", "'*', '*', '*'"}) {
        const std::string sql =
            std::string("select ") + groups + ", " + values + " group by " + groups;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = [st](int c) {
                return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
            };
            out[{text(0), text(1), text(2)}] = {
                sqlite3_column_int64(st, 3), sqlite3_column_double(st, 4),
                sqlite3_column_double(st, 5), sqlite3_column_double(st, 6)};
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

double expectedOf(const Figures& f, TdxSummaryType kind) {
    switch (kind) {
    case TdxSummaryType::cstCount:
        return static_cast<double>(f.rows);
    case TdxSummaryType::cstAvg:
        return f.qtyAvg;
    default:
        return f.amountSum;
    }
}

struct OrdersGrid {
    OrdersGrid() {
        db.open("select id, region, category, day, month, qty, amount from orders");
        g.SetDataSet(&db.ds);
        g.CreateColumnsForFields(db.ds);
        g.SetKeyField("id");
        GroupingUpdate batch(g);
        g.GroupColumn(*g.ColumnByFieldName("region"), 0);
        g.GroupColumn(*g.ColumnByFieldName("category"), 1);
    }
    TestDb db{kCrossOrders};
    TdxDBGrid g;
};

// Every cell, row total, column total and the grand total of the grid's cross table against
// SQLite's figures; returns how many values were compared.
int compareWithSqlite(const TdxDBGrid& g, const std::map<Key, Figures>& expected,
                      TdxSummaryType kind) {
    const CrossTable* x = g.ShownCrossTable();
    if (!x) {
        ADD_FAILURE() << "no cross table";
        return 0;
    }
    int compared = 0;
    auto check = [&](int group, const std::string& region, const std::string& category) {
        for (int c = 0; c < x->columnCount(); ++c) {
            const auto it = expected.find({region, category, x->columnText(c)});
            const SummaryValue& v = x->cell(group, c);
            if (it == expected.end()) {
                EXPECT_TRUE(v.isEmpty()) << region << category << x->columnText(c);
                continue;
            }
            // Averages are exact to 12 places.
            EXPECT_NEAR(v.toDouble(), expectedOf(it->second, kind), 1e-9)
                << region << " " << category << " " << x->columnText(c);
            ++compared;
        }
        EXPECT_NEAR(x->rowTotal(group).toDouble(),
                    expectedOf(expected.at({region, category, "*"}), kind), 1e-9)
            << region << " " << category;
        ++compared;
    };
    for (int r = 0; r < g.TopCount(); ++r) {
        const RowHandle region = g.Top(r);
        const std::string name = g.GroupValue(region).displayText();
        check(region.index, name, "*");
        for (int k = 0; k < g.ChildCount(region); ++k) {
            const RowHandle category = g.Child(region, k);
            check(category.index, name, g.GroupValue(category).displayText());
        }
    }
    check(CrossTable::kTotals, "*", "*");
    return compared;
}

} // namespace

TEST(CrossTable, EveryCellAndTotalAgreesWithSqlGroupBy) {
    OrdersGrid o;
    TdxDBGrid& g = o.g;
    ASSERT_EQ(g.TopCount(), 10);
    const auto all = sqliteFigures(o.db.path, "");
    for (const auto& [kind, field] :
         {std::pair{TdxSummaryType::cstSum, "amount"}, std::pair{TdxSummaryType::cstCount, ""},
          std::pair{TdxSummaryType::cstAvg, "qty"}}) {
        g.SetCrossTable({"month", {}, kind, field});
        ASSERT_EQ(g.ShownCrossTable()->columnCount(), 36);
        EXPECT_EQ(g.ShownCrossTable()->columnText(0), "2021-01");
        EXPECT_EQ(g.ShownCrossTable()->columnText(35), "2023-12");
        // 10 regions and 50 pairs by 36 months and the totals, every pair present.
        EXPECT_EQ(compareWithSqlite(g, all, kind), 61 * 37);
    }

    // Days by month give the months' columns, in date order, with the same cells.
    g.SetCrossTable({"day", {GroupInterval::Month, 0}, TdxSummaryType::cstCount, ""});
    ASSERT_EQ(g.ShownCrossTable()->columnCount(), 36);
    EXPECT_EQ(g.ShownCrossTable()->columnText(0), "2021年1月");
    EXPECT_EQ(g.ShownCrossTable()->columnText(35), "2023年12月");
    std::map<Key, Figures> byMonthText;
    for (const auto& [key, f] : all) {
        const std::string& m = std::get<2>(key);
        const std::string text =
            m == "*" ? m : m.substr(0, 4) + "年" + std::to_string(std::stoi(m.substr(5))) + "月";
        byMonthText[{std::get<0>(key), std::get<1>(key), text}] = f;
    }
    EXPECT_EQ(compareWithSqlite(g, byMonthText, TdxSummaryType::cstCount), 61 * 37);

    // The cross table follows the grid's filter and comes back with the rows it hides.
    g.SetCrossTable({"month", {}, TdxSummaryType::cstSum, "amount"});
    g.Filter.SetColumnFilter(*g.ColumnByFieldName("region"),
                             ColumnFilter::equalTo(Value::fromText("R3")));
    ASSERT_EQ(g.TopCount(), 1);
    EXPECT_EQ(compareWithSqlite(g, sqliteFigures(o.db.path, "where region = 'R3'"),
                                TdxSummaryType::cstSum),
              7 * 37);
    g.Filter.Clear();
    EXPECT_EQ(compareWithSqlite(g, all, TdxSummaryType::cstSum), 61 * 37);

    // Groups sorted by a column's value: the row total going down, then the first month
    // going up within each region.
    const CrossTable& x = *g.ShownCrossTable();
    g.SetCrossSort(x.columnCount(), true);
    const std::vector<RowHandle> regions = g.CrossChildren(RowHandle{});
    ASSERT_EQ(regions.size(), 10u);
    for (size_t i = 1; i < regions.size(); ++i)
        EXPECT_GE(x.rowTotal(regions[i - 1].index).toDouble(),
                  x.rowTotal(regions[i].index).toDouble());
    g.SetCrossSort(0, false);
    for (const RowHandle region : g.CrossChildren(RowHandle{})) {
        const std::vector<RowHandle> categories = g.CrossChildren(region);
        ASSERT_EQ(categories.size(), 5u);
        for (size_t i = 1; i < categories.size(); ++i)
            EXPECT_LE(x.cell(categories[i - 1].index, 0).toDouble(),
                      x.cell(categories[i].index, 0).toDouble());
    }
}

TEST(CrossTable, ValuesBeyondTwoHundredShareTheLastColumn) {
    OrdersGrid o;
    TdxDBGrid& g = o.g;
    g.SetCrossTable({"day", {}, TdxSummaryType::cstCount, ""});
    const CrossTable& x = *g.ShownCrossTable();
    ASSERT_EQ(x.columnCount(), CrossTable::kMaxColumns + 1);
    EXPECT_TRUE(x.isOtherColumn(CrossTable::kMaxColumns));
    EXPECT_FALSE(x.isOtherColumn(0));
    EXPECT_EQ(x.columnText(CrossTable::kMaxColumns), "其他");

    // The first 200 days in date order, one column each; the other 895 days in the last.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(o.db.path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select count(*) from orders group by day order by day", -1,
                                 &st, nullptr),
              SQLITE_OK);
    std::vector<int64_t> perDay;
    while (sqlite3_step(st) == SQLITE_ROW)
        perDay.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    ASSERT_EQ(perDay.size(), 1095u);
    int64_t rest = 0;
    for (size_t d = 0; d < perDay.size(); ++d) {
        if (d < CrossTable::kMaxColumns)
            EXPECT_EQ(x.columnTotal(static_cast<int>(d)).toDouble(), perDay[d]) << d;
        else
            rest += perDay[d];
    }
    EXPECT_EQ(x.columnTotal(CrossTable::kMaxColumns).toDouble(), rest);
    EXPECT_EQ(x.grandTotal().toDouble(), 100000);
}

TEST(CrossTable, CellsWithoutAValueShowNothing) {
    TestDb db("create table s(id integer primary key, region text, city text, qty integer,"
              " day date);"
              "insert into s values (1, '华东', '上海', 4, '2024-03-01'),"
              " (2, '华北', '北京', null, null), (3, '华东', '杭州', 6, '2024-01-15');");
    db.open("select id, region, city, qty, day from s");
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    g.SetKeyField("id");
    g.GroupColumn(*g.ColumnByFieldName("region"), 0);
    // Regions and cities in GBK order: 华北 华东, and 北京 杭州 上海.
    const RowHandle north = g.Top(0), east = g.Top(1);
    ASSERT_EQ(g.GroupValue(east).displayText(), "华东");
    auto texts = [&](RowHandle group) {
        const CrossTable& x = *g.ShownCrossTable();
        std::vector<std::string> out;
        for (int c = 0; c < x.columnCount(); ++c)
            out.push_back(x.text(x.cell(group.index, c)));
        out.push_back(x.text(x.rowTotal(group.index)));
        return out;
    };
    using V = std::vector<std::string>;
    g.SetCrossTable({"city", {}, TdxSummaryType::cstAvg, "qty"});
    ASSERT_EQ(g.ShownCrossTable()->columnText(0), "北京");
    EXPECT_EQ(texts(east), (V{"", "AVG=6.00", "AVG=4.00", "AVG=5.00"}));
    // 北京's one record holds no quantity: its average, as in the footers, divides 0 by it.
    EXPECT_EQ(texts(north), (V{"AVG=0.00", "", "", "AVG=0.00"}));
    g.SetCrossTable({"city", {}, TdxSummaryType::cstMin, "day"});
    EXPECT_EQ(texts(east), (V{"", "MIN=2024-01-15", "MIN=2024-03-01", "MIN=2024-01-15"}));
    EXPECT_EQ(texts(north), (V{"", "", "", ""}));
    // A sum of nulls is 0, as in the footers; a cell without records stays empty.
    g.SetCrossTable({"city", {}, TdxSummaryType::cstSum, "qty"});
    EXPECT_EQ(texts(north), (V{"0.00", "", "", "0.00"}));
    g.SetCrossTable({"city", {}, TdxSummaryType::cstCount, ""});
    EXPECT_EQ(texts(north), (V{"1", "", "", "1"}));
}
