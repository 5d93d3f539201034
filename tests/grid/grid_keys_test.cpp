// The grid's integer-key paths on a real SQLite file: group order and membership by texts,
// 64-bit integers, doubles and dates; stable sorts; a filter set and cleared; drop-down
// values; and loads cancelled through the progress sink that leave the grid as it was.

#include "grid/grid.h"
#include "grid/gridcopy.h"

#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

using namespace rg;

namespace {

// 300 rows: texts with nulls, empty texts and texts that differ only in case or in Chinese
// characters; integers around 2^53; dates; amounts with ties. The query adds doubles with
// both zeros.
const char* kRows = R"(
create table t(id integer primary key, txt text, big integer, day date, amount double);
with recursive s(n) as (select 1 union all select n + 1 from s where n < 300)
insert into t select n,
  case n % 6 when 0 then null when 1 then '' when 2 then '华东' when 3 then 'abc' when 4 then '华北' else 'Abc' end,
  case n % 5 when 0 then 9007199254740992 when 1 then 9007199254740993 when 2 then -9007199254740993
             when 3 then null else 9007199254740991 end,
  case when n % 9 = 0 then null else date('2024-01-01', '+' || (n % 7) || ' days') end,
  case when n % 13 = 0 then null else (n * 37 % 11) * 1.5 end
from s;
)";

struct KeysFixture : ::testing::Test {
    TestDb db{kRows};
    TdxDBGrid grid;
    void SetUp() override {
        // Stored, -0.0 turns into 0; computed, it keeps its sign.
        db.open("select id, txt, big, case id % 4 when 0 then -0.0 when 1 then 0.0 when 2 then 2.5 "
                "end as dbl, day, amount"
                " from t");
        grid.SetDataSet(&db.ds);
        grid.CreateColumnsForFields(db.ds);
        grid.SetShowRowFooter(true);
        grid.SetShowSummaryFooter(true);
        grid.SetKeyField("id");
    }
    TdxDBGridColumn& col(const char* field) { return *grid.ColumnByFieldName(field); }
    int field(const char* name) { return db.ds.FieldByName(name).Index(); }

    // The distinct values of a field in the order groups take: compareValues, nulls first
    // going up, the first record's value of each group.
    std::vector<Value> expectedGroups(const char* name, bool down) {
        std::vector<Value> distinct;
        for (int r = 0; r < db.ds.RecordCount(); ++r) {
            const Value v = db.ds.value(r, field(name));
            const bool seen = std::any_of(distinct.begin(), distinct.end(), [&](const Value& d) {
                std::string a, b;
                appendValueKey(a, d);
                appendValueKey(b, v);
                return a == b;
            });
            if (!seen)
                distinct.push_back(v);
        }
        std::stable_sort(distinct.begin(), distinct.end(), [&](const Value& a, const Value& b) {
            const int c = compareValues(a, b);
            return down ? c > 0 : c < 0;
        });
        return distinct;
    }

    // Every shown line: group rows with their text, data rows with their cells, footer rows
    // with their cells, and the summary footer.
    std::string snapshot() {
        std::string out;
        const auto columns = grid.VisibleColumns();
        for (const VisibleRow& v : grid.VisibleRows()) {
            if (v.row.isGroup()) {
                out += "G " + grid.GroupRowText(v.row) + "\n";
                continue;
            }
            out += v.footer < 0 ? "D" : "F";
            for (const TdxDBGridColumn* c : columns)
                out += "|" + (v.footer < 0 ? grid.CellText(v.row, *c)
                                           : grid.FooterCellText(v.row, *c, v.footer));
            out += "\n";
        }
        for (const TdxDBGridColumn* c : columns)
            out += "S|" + grid.SummaryFooterText(*c);
        return out;
    }
    // The whole state a cancelled operation must leave: the shown lines and everything
    // that decides them.
    std::string state() {
        std::string out = snapshot() + "\nkey " + grid.KeyField() + "\nfilter " +
                          grid.Filter.Expression() + " / " + db.ds.Filter() + "\nrecords " +
                          std::to_string(db.ds.RecordCount()) + "\ngroups";
        for (int l = 0; l < grid.GroupColumnCount(); ++l)
            out += " " + grid.GroupColumns(l).FieldName();
        for (int i = 0; i < grid.ColumnCount(); ++i)
            out += " " + std::to_string(grid.Columns(i).Visible()) +
                   std::to_string(static_cast<int>(grid.Columns(i).Sorted()));
        return out;
    }
    void addSums() {
        TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
        item.SetColumnName(col("amount").Name());
        item.SetSummaryField("amount");
        item.SetSummaryType(TdxSummaryType::cstSum);
        col("amount").SetSummaryFooterType(TdxSummaryType::cstSum);
        col("big").SetSummaryFooterType(TdxSummaryType::cstMax);
        col("id").SetSummaryFooterType(TdxSummaryType::cstCount);
    }
};

// Answers true `allowed` times, then false.
struct CancelAfter : ProgressSink {
    explicit CancelAfter(int allowed) : allowed(allowed) {}
    bool progress(const char*, int64_t, int64_t) override { return allowed-- > 0; }
    int allowed;
};

bool same(const Value& a, const Value& b) {
    return a.isNull() == b.isNull() && compareValues(a, b) == 0 && a.type() == b.type();
}

} // namespace

TEST_F(KeysFixture, GroupsComeInValueOrderAndHoldExactlyTheirRecords) {
    EXPECT_TRUE(std::signbit(db.ds.value(3, field("dbl")).asDouble())); // -0.0 reaches the grid
    EXPECT_TRUE(db.ds.columnView(field("txt")).column->hasCodes());
    for (const char* name : {"txt", "big", "dbl", "day"}) {
        grid.ClearGrouping();
        grid.GroupColumn(col(name), 0);
        for (bool down : {false, true}) {
            SCOPED_TRACE(std::string(name) + (down ? " down" : " up"));
            if (down)
                grid.SortByClick(col(name), false);
            const std::vector<Value> expected = expectedGroups(name, down);
            ASSERT_EQ(grid.TopCount(), static_cast<int>(expected.size()));
            int rows = 0;
            for (int i = 0; i < grid.TopCount(); ++i) {
                const RowHandle g = grid.Top(i);
                EXPECT_TRUE(same(grid.GroupValue(g), expected[static_cast<size_t>(i)])) << i;
                for (int c = 0; c < grid.ChildCount(g); ++c) {
                    const RowHandle d = grid.Child(g, c);
                    EXPECT_EQ(grid.Parent(d), g);
                    EXPECT_EQ(compareValues(grid.CellValue(d, col(name)), grid.GroupValue(g)), 0);
                    EXPECT_EQ(grid.IsLastChild(d), c == grid.ChildCount(g) - 1);
                }
                rows += grid.DataRowsBelow(g);
            }
            EXPECT_EQ(rows, 300);
        }
    }
    // 2^53 and 2^53 + 1 are two groups; the two zeros one; an empty text is no null.
    grid.ClearGrouping();
    grid.GroupColumn(col("big"), 0);
    EXPECT_EQ(grid.TopCount(), 5);
    grid.ClearGrouping();
    grid.GroupColumn(col("dbl"), 0);
    EXPECT_EQ(grid.TopCount(), 3);
    grid.ClearGrouping();
    grid.GroupColumn(col("txt"), 0);
    EXPECT_EQ(grid.TopCount(), 6);

    // Two levels: every data row sits under the groups of its own values.
    grid.GroupColumn(col("day"), 1);
    int rows = 0;
    for (int i = 0; i < grid.TopCount(); ++i) {
        const RowHandle top = grid.Top(i);
        int below = 0;
        for (int j = 0; j < grid.ChildCount(top); ++j) {
            const RowHandle inner = grid.Child(top, j);
            EXPECT_EQ(grid.Parent(inner), top);
            if (j > 0) {
                EXPECT_LT(
                    compareValues(grid.GroupValue(grid.Child(top, j - 1)), grid.GroupValue(inner)),
                    0);
            }
            for (int k = 0; k < grid.ChildCount(inner); ++k) {
                const RowHandle d = grid.Child(inner, k);
                EXPECT_EQ(compareValues(grid.CellValue(d, col("txt")), grid.GroupValue(top)), 0);
                EXPECT_EQ(compareValues(grid.CellValue(d, col("day")), grid.GroupValue(inner)), 0);
                ++rows;
            }
            below += grid.DataRowsBelow(inner);
        }
        EXPECT_EQ(below, grid.DataRowsBelow(top));
    }
    EXPECT_EQ(rows, 300);
}

TEST_F(KeysFixture, SortedDataRowsKeepTiesInTheirOrder) {
    grid.GroupColumn(col("txt"), 0);
    for (const char* name : {"amount", "big", "txt", "day"}) {
        if (col(name).GroupIndex() >= 0)
            continue;
        for (bool down : {false, true}) {
            SCOPED_TRACE(std::string(name) + (down ? " down" : " up"));
            // From record order: ties stay in record order, nulls first going up, last going down.
            for (int i = 0; i < grid.ColumnCount(); ++i)
                if (grid.Columns(i).GroupIndex() < 0 &&
                    grid.Columns(i).Sorted() != TdxTreeListColumnSort::csNone)
                    grid.SortByClick(grid.Columns(i), true);
            grid.SortByClick(col(name), false);
            if (down)
                grid.SortByClick(col(name), false);
            for (int i = 0; i < grid.TopCount(); ++i) {
                const RowHandle g = grid.Top(i);
                std::vector<int> records;
                for (int c = 0; c < grid.ChildCount(g); ++c)
                    records.push_back(grid.RecordOf(grid.Child(g, c)));
                std::vector<int> expected = records;
                std::sort(expected.begin(), expected.end());
                std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
                    const int c =
                        compareValues(db.ds.value(a, field(name)), db.ds.value(b, field(name)));
                    return down ? c > 0 : c < 0;
                });
                EXPECT_EQ(records, expected);
            }
        }
    }
}

TEST_F(KeysFixture, FilterThenClearGivesTheTreeAndFootersOfAFreshLoad) {
    addSums();
    grid.GroupColumn(col("txt"), 0);
    grid.GroupColumn(col("day"), 1);
    grid.SortByClick(col("amount"), false);
    grid.ExpandAll();
    const std::string fresh = snapshot();
    grid.Filter.SetColumnFilter(col("txt"), ColumnFilter::equalTo(Value::fromText("华东")));
    EXPECT_EQ(grid.TopCount(), 1);
    EXPECT_EQ(grid.DataRowCount(), 50);
    grid.Filter.SetColumnFilter(col("big"),
                                ColumnFilter::equalTo(Value::fromInt(9007199254740993)));
    EXPECT_EQ(grid.DataRowCount(), 10); // n % 30 == 26
    // Clearing finds the rows kept from before the filter; cancelled, it changes nothing.
    const std::string filtered = snapshot();
    {
        CancelAfter sink(0);
        ProgressScope scope(&sink);
        EXPECT_THROW(grid.Filter.Clear(), Cancelled);
    }
    EXPECT_TRUE(snapshot() == filtered);
    grid.Filter.Clear();
    grid.ExpandAll();
    EXPECT_TRUE(snapshot() == fresh);
    grid.ReloadRows();
    grid.ExpandAll();
    EXPECT_TRUE(snapshot() == fresh);

    // An edit posted before the filter was set: clearing it shows the edited records.
    db.ds.SetRecNo(0);
    db.ds.Edit();
    db.ds.SetFieldValue(field("amount"), Value::fromDouble(1000));
    db.ds.Post();
    grid.Filter.SetColumnFilter(col("txt"), ColumnFilter::equalTo(Value::fromText("华东")));
    grid.Filter.Clear();
    grid.ExpandAll();
    const std::string cleared = snapshot();
    EXPECT_NE(cleared, fresh);
    grid.ReloadRows();
    grid.ExpandAll();
    EXPECT_TRUE(snapshot() == cleared);
}

TEST_F(KeysFixture, DropDownValuesAreTheSortedDistinctValues) {
    for (const char* name : {"txt", "big", "dbl", "day", "amount"}) {
        SCOPED_TRACE(name);
        std::vector<Value> expected = expectedGroups(name, false);
        const bool blanks = std::any_of(expected.begin(), expected.end(), [](const Value& v) {
            return v.isNull() || (v.type() == Value::Type::Text && v.asText().empty());
        });
        expected.erase(std::remove_if(expected.begin(), expected.end(),
                                      [](const Value& v) {
                                          return v.isNull() || (v.type() == Value::Type::Text &&
                                                                v.asText().empty());
                                      }),
                       expected.end());
        const FilterValues values = grid.Filter.DropDownValues(col(name));
        EXPECT_EQ(values.hasBlanks, blanks);
        ASSERT_EQ(values.values.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(same(values.values[i], expected[i])) << i;
    }
}

// 70,000 rows of distinct texts: more than the data set keeps in a dictionary, so the texts
// are grouped, sorted, filtered and listed through their bytes.
TEST(GridKeys, PlainTextsAndTheSmallestThousandValues) {
    TestDb db(R"(
create table m(id integer primary key, v integer, w text);
with recursive s(n) as (select 1 union all select n + 1 from s where n < 70000)
insert into m select n, (n * 7919) % 70000, case when n % 1000 = 0 then null else '备' || ((n * 7919) % 70000) end from s;
)");
    db.open("select id, v, w from m");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.CreateColumnsForFields(db.ds);
    grid.SetKeyField("id");
    ASSERT_FALSE(db.ds.columnView(2).column->hasCodes());
    TdxDBGridColumn& v = *grid.ColumnByFieldName("v");
    TdxDBGridColumn& w = *grid.ColumnByFieldName("w");
    const FilterValues ints = grid.Filter.DropDownValues(v);
    ASSERT_EQ(ints.values.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(ints.values[static_cast<size_t>(i)].asInt(), i);

    std::vector<std::string> expected;
    for (int r = 0; r < db.ds.RecordCount(); ++r)
        if (!db.ds.isNull(r, 2))
            expected.push_back(db.ds.value(r, 2).asText());
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
        return compareValues(Value::fromText(a), Value::fromText(b)) < 0;
    });
    const FilterValues texts = grid.Filter.DropDownValues(w);
    EXPECT_TRUE(texts.hasBlanks);
    ASSERT_EQ(texts.values.size(), 1000u);
    for (size_t i = 0; i < 1000; ++i)
        EXPECT_EQ(texts.values[i].asText(), expected[i]);

    // Sorted data rows and groups follow the same order, nulls first.
    grid.SortByClick(w, false);
    EXPECT_TRUE(grid.CellValue(grid.Top(69), w).isNull());
    for (size_t i = 0; i < 1000; ++i)
        EXPECT_EQ(grid.CellText(grid.Top(70 + static_cast<int>(i)), w), expected[i]);
    grid.GroupColumn(w, 0);
    EXPECT_EQ(grid.TopCount(), static_cast<int>(expected.size()) + 1);
    for (size_t i = 0; i < 1000; ++i)
        EXPECT_EQ(grid.GroupValue(grid.Top(1 + static_cast<int>(i))).asText(), expected[i]);

    grid.Filter.SetColumnFilter(w, ColumnFilter::equalTo(Value::fromText(expected[5])));
    ASSERT_EQ(grid.DataRowCount(), 1);
    grid.Filter.SetColumnFilter(
        w, ColumnFilter{{FilterOperator::Less, Value::fromText(expected[5])}, std::nullopt, false});
    EXPECT_EQ(grid.DataRowCount(), 5);
}

TEST_F(KeysFixture, CancelledLoadsLeaveTheGridAsItWas) {
    addSums();
    // Filtered first, so that clearing the filter reloads rather than finds the rows kept.
    grid.Filter.SetColumnFilter(col("big"),
                                ColumnFilter::equalTo(Value::fromInt(9007199254740992)));
    grid.GroupColumn(col("txt"), 0);
    grid.SortByClick(col("amount"), false);
    grid.ExpandAll();
    const std::string before = state();
    ASSERT_NE(grid.DataRowCount(), 0);

    auto expectCancelled = [&](const char* what, int allowed, const std::function<void()>& op) {
        SCOPED_TRACE(what + std::string(" after ") + std::to_string(allowed));
        CancelAfter sink(allowed);
        {
            ProgressScope scope(&sink);
            EXPECT_THROW(op(), Cancelled);
        }
        EXPECT_TRUE(state() == before);
    };
    // Each load reports a few times on 300 rows: cancelled at the first, second or third.
    for (int allowed : {0, 1, 2}) {
        expectCancelled("grouping", allowed, [&] { grid.GroupColumn(col("day"), 1); });
        expectCancelled("ungrouping", allowed, [&] { grid.UngroupColumn(0); });
        expectCancelled("moving a level", allowed, [&] {
            GroupingUpdate batch(grid);
            grid.GroupColumn(col("day"), 1);
            col("day").SetGroupIndex(0);
        });
        expectCancelled("key field", allowed, [&] { grid.SetKeyField("big"); });
        expectCancelled("filter set", allowed, [&] {
            grid.Filter.SetColumnFilter(col("txt"), ColumnFilter::equalTo(Value::fromText("abc")));
        });
        expectCancelled("filter cleared", allowed, [&] { grid.Filter.Clear(); });
        if (allowed == 0)
            expectCancelled("sort", allowed, [&] { grid.SortByClick(col("big"), false); });
        // Copying a group's rows reports too; a cancel ends it with nothing copied.
        if (allowed == 0)
            expectCancelled("copy", allowed, [&] { RowsAsText(grid, grid.Top(0)); });
    }
    // Without a cancel the same operations go through.
    grid.Filter.Clear();
    EXPECT_EQ(grid.DataRowCount(), 300);
    EXPECT_EQ(db.ds.Filter(), "");
}

// A summary item removed while its recomputation is cancelled: the footers show no value of
// the removed item under the one that took its place, and the next load computes them.
TEST_F(KeysFixture, ACancelledRecomputationShowsNoValueOfAnotherItem) {
    grid.GroupColumn(col("txt"), 0);
    grid.ExpandAll();
    TdxDBGridSummaryItems& items = grid.DefaultGroup().SummaryItems;
    for (const char* field : {"big", "amount"}) {
        TdxDBGridSummaryItem& item = items.Add();
        item.SetColumnName(col(field).Name());
        item.SetSummaryField(field);
        item.SetSummaryType(TdxSummaryType::cstSum);
    }
    const RowHandle last = grid.Child(grid.Top(0), grid.ChildCount(grid.Top(0)) - 1);
    const int j = grid.FooterRowCount(last) - 1;
    ASSERT_GE(j, 0);
    const std::string amountSum = grid.FooterCellText(last, col("amount"), j);
    ASSERT_FALSE(amountSum.empty());

    CancelAfter sink(0);
    {
        ProgressScope scope(&sink);
        EXPECT_THROW(items.Delete(0), Cancelled);
    }
    ASSERT_EQ(items.Count(), 1);
    // Not the sum of the removed item under the one that took its place: empty until the
    // next load.
    EXPECT_EQ(grid.FooterCellText(last, col("amount"), j), "");
    grid.ReloadRows();
    EXPECT_EQ(grid.FooterCellText(last, col("amount"), j), amountSum);
}

// Enough rows for the summaries of two fields to share the work with a helper thread: the
// values equal those of adding every record in order, and a cancel in the middle stops both.
TEST(GridKeys, SummariesOfManyRowsEqualAddingEveryRecordInOrder) {
    TestDb db(R"(
create table big(id integer primary key, region text, qty integer, amount double);
with recursive s(n) as (select 1 union all select n + 1 from s where n < 300000)
insert into big select n, 'r' || (n % 7), case when n % 11 = 0 then null else n * 7919 % 1000003 end,
  (n * 37 % 1009) / 7.0 from s;
)");
    db.open("select id, region, qty, amount from big");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.CreateColumnsForFields(db.ds);
    for (const char* f : {"qty", "amount"}) {
        TdxDBGridColumn& c = *grid.ColumnByFieldName(f);
        TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
        item.SetColumnName(c.Name());
        item.SetSummaryField(f);
        item.SetSummaryType(TdxSummaryType::cstSum);
        c.SetSummaryFooterType(TdxSummaryType::cstSum);
    }
    grid.SetKeyField("id");
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);

    std::map<std::string, std::vector<SummaryValue>> groups;
    std::vector<SummaryValue> totals(2);
    for (int r = 0; r < db.ds.RecordCount(); ++r)
        for (int i = 0; i < 2; ++i) {
            const Value v = db.ds.value(r, 2 + i);
            auto& g = groups[db.ds.value(r, 1).asText()];
            g.resize(2);
            g[static_cast<size_t>(i)].add(TdxSummaryType::cstSum, v);
            totals[static_cast<size_t>(i)].add(TdxSummaryType::cstSum, v);
        }
    auto same = [](const SummaryValue& a, const SummaryValue& b) {
        return a.kind() == b.kind() && a.toDouble() == b.toDouble() &&
               (a.kind() != SummaryValue::Kind::Exact || compare(a.exact(), b.exact()) == 0);
    };
    for (int i = 0; i < 2; ++i) {
        const TdxDBGridColumn& c = *grid.ColumnByFieldName(i == 0 ? "qty" : "amount");
        EXPECT_TRUE(same(grid.SummaryFooterValue(c), totals[static_cast<size_t>(i)])) << i;
    }
    ASSERT_EQ(grid.TopCount(), 7);
    for (int g = 0; g < 7; ++g) {
        const RowHandle top = grid.Top(g);
        const RowHandle last = grid.Child(top, grid.ChildCount(top) - 1);
        ASSERT_EQ(grid.FooterRowCount(last), 0); // no row footers shown; read the group's values
        grid.SetShowRowFooter(true);
        for (int i = 0; i < 2; ++i) {
            const TdxDBGridColumn& c = *grid.ColumnByFieldName(i == 0 ? "qty" : "amount");
            EXPECT_TRUE(same(grid.FooterCellValue(last, c, 0),
                             groups[grid.GroupValue(top).asText()][static_cast<size_t>(i)]));
        }
        grid.SetShowRowFooter(false);
    }

    grid.ExpandAll();
    const auto rows = grid.VisibleRows().size();
    CancelAfter sink(3);
    {
        ProgressScope scope(&sink);
        EXPECT_THROW(grid.UngroupColumn(0), Cancelled);
    }
    EXPECT_EQ(grid.GroupColumnCount(), 1);
    EXPECT_EQ(grid.VisibleRows().size(), rows);
}
