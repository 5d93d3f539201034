// Group and footer summaries over more records than a load sums on one thread, and data
// rows ordered by a sort of whole groups and of all rows at once, checked against SQLite's
// own GROUP BY and ORDER BY over the same file.

#include "grid/grid.h"

#include "testdb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <tuple>
#include <utility>

using namespace rg;

namespace {

// 300,000 rows: five regions by 37 shops, every pair present; qty with nulls; price and w
// in quarters, so that sums of doubles are exact whatever order adds them.
const char* kManyRows = R"(
create table t(id integer primary key, region text, shop integer, qty integer, price real, w real);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 300000)
insert into t select i, 'r' || (i * 7 % 5), i * 13 % 37,
                     case when i % 11 = 0 then null else i * 31 % 1000 end,
                     (i % 97) * 0.25, ((i * 17) % 89) * 0.25 - 3
              from n;
)";

struct Expected {
    int64_t rows = 0;
    double qtySum = 0, priceAvg = 0, wMin = 0;
};

// SQLite's figures, keyed by region and shop (-1: the region's own).
std::map<std::pair<std::string, int>, Expected> sqliteFigures(const std::string& path) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::map<std::pair<std::string, int>, Expected> out;
    for (const char* sql :
         {"select region, shop, count(*), sum(qty), avg(price), min(w) from t group by 1, 2",
          "select region, -1, count(*), sum(qty), avg(price), min(w) from t group by 1"}) {
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), SQLITE_OK);
        while (sqlite3_step(st) == SQLITE_ROW) {
            Expected& e = out[{reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                               sqlite3_column_int(st, 1)}];
            e = {sqlite3_column_int64(st, 2), sqlite3_column_double(st, 3),
                 sqlite3_column_double(st, 4), sqlite3_column_double(st, 5)};
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// The value of column c's group footer for `group`: found after the group's last data row.
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

void addItem(TdxDBGrid& g, TdxDBGridColumn& c, TdxSummaryType k) {
    TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c.Name());
    item.SetSummaryField(c.FieldName());
    item.SetSummaryType(k);
}

// Whether the data rows [first, first + count) hold qty going down, nulls last.
bool qtyGoesDown(const TdxDBGrid& g, RowHandle parent, const TdxDBGridColumn& qty) {
    const int n = parent.valid() ? g.ChildCount(parent) : g.TopCount();
    bool nulls = false;
    Value prev;
    for (int i = 0; i < n; ++i) {
        const Value v = g.CellValue(parent.valid() ? g.Child(parent, i) : g.Top(i), qty);
        if (v.isNull()) {
            nulls = true;
            continue;
        }
        if (nulls || (!prev.isNull() && compareValues(prev, v) < 0))
            return false;
        prev = v;
    }
    return true;
}

} // namespace

TEST(SummaryEngine, ManyRecordsOnTwoLevelsAgreeWithSqlite) {
    TestDb db(kManyRows);
    db.open("select id, region, shop, qty, price, w from t");
    TdxDBGrid g;
    g.SetDataSet(&db.ds);
    g.CreateColumnsForFields(db.ds);
    g.SetShowRowFooter(true);
    TdxDBGridColumn& id = *g.ColumnByFieldName("id");
    TdxDBGridColumn& qty = *g.ColumnByFieldName("qty");
    TdxDBGridColumn& price = *g.ColumnByFieldName("price");
    TdxDBGridColumn& w = *g.ColumnByFieldName("w");
    {
        GridUpdate batch(g);
        addItem(g, id, TdxSummaryType::cstCount);
        addItem(g, qty, TdxSummaryType::cstSum);
        addItem(g, price, TdxSummaryType::cstAvg);
        addItem(g, w, TdxSummaryType::cstMin);
        qty.SetSummaryFooterType(TdxSummaryType::cstSum);
        w.SetSummaryFooterType(TdxSummaryType::cstMax);
    }
    g.SetKeyField("id");
    {
        GroupingUpdate batch(g);
        ASSERT_TRUE(g.GroupColumn(*g.ColumnByFieldName("region"), 0));
        ASSERT_TRUE(g.GroupColumn(*g.ColumnByFieldName("shop"), 1));
    }
    qty.SetSorted(TdxTreeListColumnSort::csDown);

    const auto expected = sqliteFigures(db.path);
    ASSERT_EQ(g.TopCount(), 5);
    ASSERT_EQ(g.GroupRowCount(), 5 + 5 * 37);
    int checked = 0;
    auto check = [&](RowHandle group, const Expected& e) {
        EXPECT_EQ(g.DataRowsBelow(group), e.rows);
        EXPECT_EQ(groupFooter(g, group, id).toDouble(), static_cast<double>(e.rows));
        EXPECT_EQ(groupFooter(g, group, qty).toDouble(), e.qtySum);
        EXPECT_DOUBLE_EQ(groupFooter(g, group, price).toDouble(), e.priceAvg);
        EXPECT_EQ(groupFooter(g, group, w).toDouble(), e.wMin);
        ++checked;
    };
    for (int r = 0; r < g.TopCount(); ++r) {
        const RowHandle region = g.Top(r);
        const std::string name = g.GroupValue(region).displayText();
        check(region, expected.at({name, -1}));
        ASSERT_EQ(g.ChildCount(region), 37);
        for (int s = 0; s < g.ChildCount(region); ++s) {
            const RowHandle shop = g.Child(region, s);
            EXPECT_EQ(g.Parent(shop), region);
            check(shop, expected.at({name, static_cast<int>(g.GroupValue(shop).asInt())}));
            EXPECT_TRUE(qtyGoesDown(g, shop, qty)) << name << " " << s;
        }
    }
    EXPECT_EQ(checked, 5 + 5 * 37);

    double qtyTotal = 0, wMax = -1e9;
    for (const auto& [key, e] : expected)
        if (key.second < 0)
            qtyTotal += e.qtySum;
    for (int i = 0; i < 89; ++i)
        wMax = std::max(wMax, i * 0.25 - 3);
    EXPECT_EQ(g.SummaryFooterValue(qty).toDouble(), qtyTotal);
    EXPECT_EQ(g.SummaryFooterValue(w).toDouble(), wMax);

    // Without grouping all rows are ordered at once.
    g.ClearGrouping();
    ASSERT_EQ(g.DataRowCount(), 300000);
    EXPECT_TRUE(qtyGoesDown(g, RowHandle{}, qty));
    EXPECT_EQ(g.SummaryFooterValue(qty).toDouble(), qtyTotal);
}
