// The statements of a data set whose rows stay on the server, on SQLite, PostgreSQL and
// MariaDB, against the same data set opened in memory: groups, pages, distinct values and
// filters give what memory gives. Amounts are tenths, whose sums as doubles are not exact.

#include "common/bigdecimal.h"
#include "common/progress.h"
#include "datasource/dataset.h"
#include "server/serverquery.h"
#include "serverdata.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>

using namespace rg;

namespace {

constexpr int kRows = 400;
enum Col { kId, kRegion, kCat, kAmount, kBig, kDay, kNote, kFlag };

std::string keyOf(int level, const std::vector<Value>& keys) {
    std::string k = std::to_string(level) + ":";
    for (const Value& v : keys)
        appendValueKey(k, v);
    return k;
}

class Server : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        rgtest::Backend b{GetParam(), {}};
        if (b.name == "pg")
            b.connectionString = rgtest::pgConnectionString();
        else if (b.name == "mariadb")
            b.connectionString = rgtest::mariadbConnectionString();
        ASSERT_TRUE(b.name == "sqlite" || !b.connectionString.empty())
            << b.name << ": run the tests through scripts/test.sh";
        conn.SetConnectionString(rgtest::makeServerTable(b, kRows));
        open(server, RowPlacement::Server, "sv_rows");
        open(memory, RowPlacement::Memory, "sv_rows");
    }
    void open(DataSet& ds, RowPlacement p, const std::string& table) {
        ds.Close();
        ds.SetRowPlacement(p);
        ds.SetCommandType(CommandType::cmdTable);
        ds.SetCommandText(table);
        ds.Open();
    }
    // Memory's records passing the current filter whose level fields hold `keys`.
    std::vector<int> memoryRecords(const std::vector<int>& levels, const std::vector<Value>& keys) {
        std::vector<int> out;
        for (int r = 0; r < memory.RecordCount(); ++r) {
            bool in = true;
            for (size_t i = 0; i < keys.size(); ++i) {
                const Value v = memory.value(r, levels[i]);
                in = in && v.isNull() == keys[i].isNull() &&
                     (v.isNull() ||
                      (compareValues(v, keys[i]) == 0 && v.displayText() == keys[i].displayText()));
            }
            if (in)
                out.push_back(r);
        }
        return out;
    }
    std::vector<int64_t> ids(const ResultBuffer& b) {
        std::vector<int64_t> out;
        for (int64_t r = 0; r < b.rows; ++r)
            out.push_back(b.columns[kId].valueAt(r).asInt());
        return out;
    }
    // Every row the server keeps, walked by keyset in pages of `size`, in `order`.
    std::vector<int64_t> walk(ServerQuery& q, const std::vector<int>& levels,
                              const std::vector<Value>& keys, const PageOrder& order, int size) {
        std::vector<int64_t> out;
        std::vector<Value> after;
        for (;;) {
            const auto page = q.page(levels, keys, order, after, 0, size);
            EXPECT_LE(page->rows, size);
            for (int f = 0; f < server.FieldCount(); ++f)
                EXPECT_EQ(page->info[static_cast<size_t>(f)].kind, server.Fields(f).Kind());
            for (int64_t id : ids(*page))
                out.push_back(id);
            if (page->rows < size)
                return out;
            after.clear();
            if (order.field >= 0)
                after.push_back(
                    page->columns[static_cast<size_t>(order.field)].valueAt(page->rows - 1));
            for (int k : order.keyFields)
                if (k != order.field)
                    after.push_back(page->columns[static_cast<size_t>(k)].valueAt(page->rows - 1));
        }
    }
    std::vector<int64_t> memoryOrder(std::vector<int> records, const PageOrder& order) {
        std::stable_sort(records.begin(), records.end(), [&](int a, int b) {
            if (order.field >= 0) {
                const int c =
                    compareValues(memory.value(a, order.field), memory.value(b, order.field));
                if (c != 0)
                    return order.down ? c > 0 : c < 0;
            }
            for (int k : order.keyFields)
                if (const int c = compareValues(memory.value(a, k), memory.value(b, k)))
                    return c < 0;
            return false;
        });
        std::vector<int64_t> out;
        for (int r : records)
            out.push_back(memory.value(r, kId).asInt());
        return out;
    }

    Connection conn;
    DataSet server{&conn};
    DataSet memory{&conn};
};

TEST_P(Server, GroupsOfTwoLevelsEqualMemory) {
    ASSERT_TRUE(server.ServerSide());
    EXPECT_FALSE(memory.ServerSide());
    EXPECT_EQ(server.RecordCount(), 0);
    ASSERT_EQ(server.FieldCount(), memory.FieldCount());
    for (int f = 0; f < server.FieldCount(); ++f)
        EXPECT_EQ(server.Fields(f).Kind(), memory.Fields(f).Kind()) << f;
    EXPECT_EQ(server.KeyFields(), std::vector<int>{kId});
    EXPECT_THROW(server.Edit(), Error);

    ServerQuery q(server);
    EXPECT_EQ(q.count(), kRows);
    const std::vector<int> levels{kRegion, kCat};
    const std::vector<ServerAggregate> aggs{{ServerAggregate::Kind::Sum, kAmount},
                                            {ServerAggregate::Kind::Sum, kBig},
                                            {ServerAggregate::Kind::Min, kDay},
                                            {ServerAggregate::Kind::Max, kBig}};
    const auto groups = q.groups(levels, aggs);

    struct Expected {
        std::vector<Value> keys;
        int64_t rows = 0;
        std::vector<Value> values{4};
    };
    std::map<std::string, Expected> expected;
    for (int r = 0; r < memory.RecordCount(); ++r) {
        for (int level = 0; level <= 2; ++level) {
            std::vector<Value> keys;
            for (int i = 0; i < (level == 2 ? 0 : level + 1); ++i)
                keys.push_back(memory.value(r, levels[static_cast<size_t>(i)]));
            Expected& e = expected[keyOf(level, keys)];
            e.keys = keys;
            ++e.rows;
            for (size_t a = 0; a < aggs.size(); ++a) {
                const Value v = memory.value(r, aggs[a].field);
                Value& acc = e.values[a];
                if (v.isNull())
                    continue;
                if (acc.isNull())
                    acc = v;
                else if (aggs[a].kind == ServerAggregate::Kind::Sum)
                    acc = Value::fromBigDecimal(
                        BigDecimal::add(*acc.asBigDecimal(), *v.asBigDecimal()));
                else if ((compareValues(v, acc) < 0) ==
                         (aggs[a].kind == ServerAggregate::Kind::Min))
                    acc = v;
            }
        }
    }
    ASSERT_EQ(groups.size(), expected.size());
    for (const ServerGroup& g : groups) {
        const auto it = expected.find(keyOf(g.level, g.keys));
        ASSERT_NE(it, expected.end())
            << g.level << " " << (g.keyTexts.empty() ? "" : g.keyTexts[0]);
        const Expected& e = it->second;
        EXPECT_EQ(g.rows, e.rows);
        ASSERT_EQ(g.keys.size(), e.keys.size());
        ASSERT_EQ(g.keyTexts.size(), e.keys.size());
        for (size_t i = 0; i < g.keys.size(); ++i) {
            EXPECT_EQ(g.keys[i].type(), e.keys[i].type());
            EXPECT_EQ(g.keyTexts[i], e.keys[i].displayText());
        }
        ASSERT_EQ(g.values.size(), aggs.size());
        for (size_t a = 0; a < aggs.size(); ++a) {
            EXPECT_EQ(g.values[a].isNull(), e.values[a].isNull()) << a;
            if (!e.values[a].isNull()) {
                EXPECT_EQ(compareValues(g.values[a], e.values[a]), 0)
                    << g.level << " " << a << ": " << g.values[a].displayText() << " vs "
                    << e.values[a].displayText();
            }
        }
    }

    // A field's distinct values, in the grid's order, nulls first.
    std::vector<Value> regions;
    for (int r = 0; r < memory.RecordCount(); ++r) {
        const Value v = memory.value(r, kRegion);
        if (std::none_of(regions.begin(), regions.end(), [&](const Value& x) {
                return x.isNull() == v.isNull() && x.displayText() == v.displayText();
            }))
            regions.push_back(v);
    }
    std::stable_sort(regions.begin(), regions.end(),
                     [](const Value& a, const Value& b) { return compareValues(a, b) < 0; });
    const auto distinct = q.distinct(kRegion);
    ASSERT_EQ(distinct.size(), regions.size());
    for (size_t i = 0; i < regions.size(); ++i)
        EXPECT_EQ(distinct[i].displayText(), regions[i].displayText());
    EXPECT_EQ(q.distinct(kRegion, 2).size(), 2u);

    // No row passes: the grand total is still there, counting none.
    server.SetFilter("id < 0");
    const auto none = ServerQuery(server).groups(levels, aggs);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_EQ(none[0].level, 2);
    EXPECT_EQ(none[0].rows, 0);
    ASSERT_EQ(none[0].values.size(), aggs.size());
    EXPECT_TRUE(none[0].values[0].isNull());
}

TEST_P(Server, PagesWalkAGroupInTheGridsOrder) {
    ServerQuery q(server);
    const std::vector<int> levels{kRegion};
    for (const Value& key : {Value::fromText("华东"), Value::fromText("North "), Value::null()}) {
        const std::vector<Value> keys{key};
        const std::vector<int> records = memoryRecords(levels, keys);
        ASSERT_FALSE(records.empty());
        // Ties and nulls in the sort field, both directions; texts in code page order.
        for (const PageOrder& order :
             {PageOrder{kAmount, true, {kId}}, PageOrder{kAmount, false, {kId}},
              PageOrder{kCat, false, {kId}}, PageOrder{kNote, true, {kId}},
              PageOrder{-1, false, {kId}}}) {
            const auto want = memoryOrder(records, order);
            EXPECT_EQ(walk(q, levels, keys, order, 7), want)
                << key.displayText() << " by " << order.field << (order.down ? " down" : "");
            const auto skipped = q.page(levels, keys, order, {}, 5, 4);
            EXPECT_EQ(ids(*skipped), std::vector<int64_t>(want.begin() + 5, want.begin() + 9));
        }
    }
    // Keys reach the server as bound values, whatever they hold.
    for (const char* note : {"x'); DROP TABLE sv_rows;--", "it's \\ 中", "100%"}) {
        const std::vector<Value> keys{Value::fromText(note)};
        const PageOrder byId{-1, false, {kId}};
        const auto want = memoryOrder(memoryRecords({kNote}, keys), byId);
        ASSERT_FALSE(want.empty()) << note;
        EXPECT_EQ(ids(*q.page({kNote}, keys, byId, {}, 0, kRows)), want) << note;
    }
    // Dates as keys and as the sort field.
    const std::vector<Value> day{memory.value(0, kDay)};
    const PageOrder byDay{kDay, true, {kId}};
    EXPECT_EQ(walk(q, {kDay}, day, byDay, 3), memoryOrder(memoryRecords({kDay}, day), byDay));
    // Without a group: every row, tie broken by a key of two fields.
    const PageOrder byBig{kBig, false, {kDay, kId}};
    std::vector<int> all(static_cast<size_t>(memory.RecordCount()));
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(walk(q, {}, {}, byBig, 50), memoryOrder(all, byBig));
    EXPECT_EQ(walk(q, {}, {}, byDay, 37), memoryOrder(all, byDay));
}

TEST_P(Server, FiltersKeepTheRowsMemoryKeeps) {
    const bool sqlite = GetParam() == "sqlite", mariadb = GetParam() == "mariadb";
    std::vector<std::string> filters = {
        "region = 'north'",
        "region <> '华东'",
        "NOT (region = '华东')",
        "region = NULL",
        "cat IS NOT NULL AND NOT cat = 'a''b'",
        "amount > 5.5",
        "flag = TRUE",
        "NOT (flag = FALSE)",
        "amount <= -3 OR big = 1000000012345678901",
        "NOT (amount > 0)",
        "big >= 1000000246913578020",
        "note = 'it''s \\ 中'",
        "note = 'x''); DROP TABLE sv_rows;--'",
        "note LIKE '%''%'",
        "region LIKE 'N%'",
        "note NOT LIKE '%!'",
        "note LIKE '100%'",
        "(region = '华北' OR cat = '甲') AND NOT big IS NULL",
        "NOT (note LIKE '%中' OR amount < 0)",
    };
    filters.push_back("note LIKE 'a_c'");
    // More digits than a double holds: exact on servers with exact decimals.
    const std::string manyDigits = "amount > 5.5000000000000000001";
    if (!sqlite)
        filters.insert(filters.end(),
                       {"day >= '2024-02-10' AND NOT day = '2024-03-01'", manyDigits});
    ServerQuery unfiltered(server);
    for (const std::string& f : filters) {
        memory.SetFilter(f);
        server.SetFilter(f);
        ServerQuery q(server);
        std::vector<int> records(static_cast<size_t>(memory.RecordCount()));
        std::iota(records.begin(), records.end(), 0);
        const PageOrder byId{-1, false, {kId}};
        EXPECT_EQ(q.count(), memory.RecordCount()) << f;
        EXPECT_EQ(ids(*q.page({}, {}, byId, {}, 0, kRows)), memoryOrder(records, byId)) << f;
    }
    EXPECT_EQ(unfiltered.count(), kRows) << "a query keeps the filter it was made with";

    // A LIKE pattern ends at a NUL byte on the server, not in memory.
    std::vector<std::string> refused = {"region > 'a'", "cat <= '甲'",
                                        "note LIKE '" + std::string(1, '\0') + "'"};
    if (sqlite)
        refused.insert(refused.end(), {"day = '2024-01-01'", manyDigits});
    server.SetFilter("region = 'north'");
    for (const std::string& f : refused) {
        EXPECT_THROW(server.SetFilter(f), ServerRefusal) << f;
        EXPECT_EQ(server.Filter(), "region = 'north'");
    }
    EXPECT_EQ(rgtest::errorOf([&] { server.SetFilter("region > 'a'"); }),
              "在服务器上汇总时不能按这个条件筛选：region > a"
              "（文字的大小按本程序的字符顺序比较，服务器的顺序与之不同）");
    // A filter set before the open is checked by the open.
    server.Close();
    server.SetFilter("region > 'a'");
    EXPECT_THROW(server.Open(), ServerRefusal);
    EXPECT_FALSE(server.Active());
}

// Cancels at the fourth report of the work it watches.
class CancelSoon : public ProgressSink {
public:
    bool progress(const char*, int64_t, int64_t) override { return ++reports < 4; }
    int reports = 0;
};

TEST_P(Server, PlacementAndCancel) {
    // MariaDB ends a recursive query after 1000 rounds; a cross join of its catalogue
    // outlasts any test.
    const std::string name = GetParam();
    const char* endless =
        name == "pg" ? "SELECT g AS n FROM generate_series(1, 9223372036854775806) g"
        : name == "mariadb"
            ? "SELECT a.ORDINAL_POSITION AS n FROM information_schema.COLUMNS a, "
              "information_schema.COLUMNS b, information_schema.COLUMNS c, "
              "information_schema.COLUMNS d"
            : "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s) SELECT n FROM s";
    DataSet ds(&conn);
    ds.SetCommandText(endless);
    ds.SetRowPlacement(RowPlacement::Server);
    ds.Open();
    ASSERT_TRUE(ds.ServerSide());
    ds.SetFilter("n > 0"); // a statement with a bound value stops the same way
    ServerQuery q(ds);
    {
        CancelSoon sink;
        ProgressScope scope(&sink);
        EXPECT_THROW(q.count(), Cancelled);
    }
    ds.Close();
    // Auto counts first; the count is cancelled the same way and nothing opens.
    ds.SetRowPlacement(RowPlacement::Auto);
    {
        CancelSoon sink;
        ProgressScope scope(&sink);
        EXPECT_THROW(ds.Open(), Cancelled);
    }
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ServerQuery(server).count(), kRows) << "the connection still serves";

    DataSet text(&conn);
    text.SetCommandText("SELECT id, region FROM sv_rows WHERE id <= 300;");
    text.SetServerThreshold(299);
    text.Open();
    EXPECT_TRUE(text.ServerSide());
    EXPECT_THROW(text.SetServerThreshold(10), Error);
    text.Close();
    text.SetServerThreshold(300);
    text.Open();
    EXPECT_FALSE(text.ServerSide());
    EXPECT_EQ(text.RecordCount(), 300);
    text.Close();
    text.SetRowPlacement(RowPlacement::Server);
    text.Open();
    EXPECT_TRUE(text.ServerSide());
    EXPECT_EQ(ServerQuery(text).count(), 300);
}

INSTANTIATE_TEST_SUITE_P(Backends, Server, ::testing::Values("sqlite", "pg", "mariadb"),
                         [](const auto& info) { return info.param; });

} // namespace
