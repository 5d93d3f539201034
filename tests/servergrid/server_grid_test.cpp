// The grid over rows that stay on the database server gives the report it gives in memory:
// on SQLite, PostgreSQL and MariaDB, a table of a hundred thousand rows with nulls, Chinese
// texts, decimals, doubles and 64-bit integers, grouped on two levels, filtered, sorted,
// with group footers and the summary footer; the runner's CSV of both is the same, and so
// are rows read out of order. A cancelled reload keeps the rows shown; a filter the server
// cannot apply changes nothing.

#include "common/progress.h"
#include "datasource/dataset.h"
#include "export/listingexport.h"
#include "grid/grid.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace rg;

namespace {

constexpr int kRows = 120000;

// The rows as one SELECT over the numbers 1..kRows in `n(i)`; `decimal` casts a number to
// DECIMAL(12,2) in the server's own words.
std::string rowsSelect(const std::string& decimal) {
    return "select i, "
           "case when i % 11 = 0 then null when i % 5 = 0 then '华东' when i % 5 = 1 then '华北' "
           "when i % 5 = 2 then '华南' when i % 5 = 3 then '西南' else '东北' end, "
           "case when i % 13 = 0 then null when (i * 7) % 6 = 0 then '上海' when (i * 7) % 6 = 1 "
           "then '南京' when (i * 7) % 6 = 2 then '杭州' when (i * 7) % 6 = 3 then '苏州' "
           "when (i * 7) % 6 = 4 then '合肥' else '宁波' end, "
           "case when i % 17 = 0 then null else (i * 31) % 1000 - 500 end, "
           "case when i % 19 = 0 then null else " +
           decimal +
           " end, "
           "case when i % 23 = 0 then null else 9000000000000000000 - i * 12345678901 end, "
           "case when i % 29 = 0 then null else (i % 1000) * 0.25e0 end from n";
}

const char* const kColumns = "id, region, city, qty, price, big, amount";

std::string recursiveNumbers() {
    return "with recursive n(i) as (select 1 union all select i + 1 from n where i < " +
           std::to_string(kRows) + ") ";
}

void addItem(TdxDBGrid& g, const char* field, TdxSummaryType kind) {
    TdxDBGridColumn& c = *g.ColumnByFieldName(field);
    TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c.Name());
    item.SetSummaryField(field);
    item.SetSummaryType(kind);
    c.SetSummaryFooterField(field);
    c.SetSummaryFooterType(kind);
}

// A report over the table `sg` of one database, opened in memory or on the server.
class Report {
public:
    explicit Report(const std::string& connectionString) {
        conn.SetConnectionString(connectionString);
        grid.SetDataSet(&ds);
    }
    ~Report() {
        grid.SetDataSet(nullptr);
        ds.Close();
        conn.Close();
    }

    // Two levels (region going down, city), price sorted going down, a filter on qty, a
    // summary of each kind under its column and in the footer, one in the group rows. The
    // command orders its rows: a parallel scan would give rows of equal prices in any order.
    std::string csv(RowPlacement placement) {
        if (grid.ColumnCount() == 0)
            layout(placement);
        else
            reopen(placement);
        return gridAsCsv(grid);
    }

    void layout(RowPlacement placement) {
        ds.SetCommandType(CommandType::cmdText);
        ds.SetCommandText(std::string("select ") + kColumns + " from sg order by id");
        ds.SetRowPlacement(placement);
        ds.Open();
        grid.SetShowRowFooter(true);
        grid.SetShowSummaryFooter(true);
        GridUpdate update(grid);
        GroupingUpdate grouping(grid);
        grid.CreateColumnsForFields(ds);
        grid.SetKeyField("id");
        addItem(grid, "qty", TdxSummaryType::cstSum);
        addItem(grid, "price", TdxSummaryType::cstAvg);
        addItem(grid, "big", TdxSummaryType::cstMin);
        addItem(grid, "amount", TdxSummaryType::cstMax);
        addItem(grid, "id", TdxSummaryType::cstCount);
        grid.DefaultGroup().SummaryItems.Add().SetSummaryType(TdxSummaryType::cstCount);
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
        grid.GroupColumn(*grid.ColumnByFieldName("city"), 1);
        grid.ColumnByFieldName("region")->SetSorted(TdxTreeListColumnSort::csDown);
        grid.ColumnByFieldName("price")->SetSorted(TdxTreeListColumnSort::csDown);
        ColumnFilter above;
        above.first = {FilterOperator::Greater, Value::fromInt(-450)};
        grid.Filter.SetColumnFilter(*grid.ColumnByFieldName("qty"), above);
    }

    // A closed data set keeps no condition of the grid: it is set again after the open.
    void reopen(RowPlacement placement) {
        const std::string filter = ds.Filter();
        TdxDBGridColumn& qty = *grid.ColumnByFieldName("qty");
        const ColumnFilter condition = *grid.Filter.ColumnFilterOf(qty);
        ds.Close();
        ds.SetRowPlacement(placement);
        ds.Open();
        grid.Filter.SetColumnFilter(qty, condition);
        EXPECT_EQ(ds.Filter(), filter);
    }

    Connection conn;
    DataSet ds{&conn};
    TdxDBGrid grid;
};

// The first line where two reports differ, both versions; empty when they are the same.
std::string firstDifference(const std::string& a, const std::string& b) {
    size_t line = 0, at = 0;
    while (at < a.size() && at < b.size()) {
        const size_t ea = a.find('\n', at), eb = b.find('\n', at);
        const std::string la = a.substr(at, ea - at), lb = b.substr(at, eb - at);
        if (la != lb)
            return "line " + std::to_string(line) + ": " + la + " | " + lb;
        if (ea == std::string::npos)
            break;
        at = ea + 1;
        ++line;
    }
    return a.size() == b.size() ? std::string() : "the lengths differ";
}

struct CancelAfter : ProgressSink {
    explicit CancelAfter(int calls) : left(calls) {}
    bool progress(const char*, int64_t, int64_t) override { return left-- > 0; }
    int left;
};

// The values of some data rows read out of order, as a view jumping through the rows does.
std::vector<std::string> jumpedCells(const TdxDBGrid& g) {
    std::vector<std::string> cells;
    const TdxDBGridColumn& price = *g.ColumnByFieldName("price");
    const TdxDBGridColumn& id = *g.ColumnByFieldName("id");
    for (int d : {g.DataRowCount() - 1, g.DataRowCount() / 2, 3, g.DataRowCount() / 3 + 1500, 0})
        cells.push_back(g.CellText(RowHandle::data(d), price) + "/" +
                        g.CellValue(RowHandle::data(d), id).displayText() + "/" +
                        g.KeyValueOf(RowHandle::data(d)).displayText());
    return cells;
}

// What the drop-downs of the header filters offer, one line per column.
std::string dropDowns(const TdxDBGrid& g) {
    std::string out;
    for (const char* field : {"city", "qty", "price"}) {
        const FilterValues v = g.Filter.DropDownValues(*g.ColumnByFieldName(field));
        out += std::string(field) + (v.hasBlanks ? " blanks:" : ":");
        for (const Value& x : v.values)
            out += " " + x.displayText();
        out += "\n";
    }
    return out;
}

void checkServerReport(const std::string& connectionString) {
    Report r(connectionString);
    const std::string memory = r.csv(RowPlacement::Memory);
    ASSERT_FALSE(r.grid.ServerMode());
    const std::vector<std::string> memoryCells = jumpedCells(r.grid);
    const int memoryRows = r.grid.DataRowCount();
    const std::string memoryDropDowns = dropDowns(r.grid);

    const std::string server = r.csv(RowPlacement::Server);
    ASSERT_TRUE(r.ds.ServerSide());
    ASSERT_TRUE(r.grid.ServerMode());
    EXPECT_EQ(r.grid.DataRowCount(), memoryRows);
    EXPECT_GT(memoryRows, kRows / 2);
    EXPECT_NE(memory.find("华东"), std::string::npos);
    EXPECT_EQ(firstDifference(memory, server), "");
    EXPECT_EQ(jumpedCells(r.grid), memoryCells);
    EXPECT_EQ(firstDifference(dropDowns(r.grid), memoryDropDowns), "");

    // A condition the server cannot state exactly (texts ordered as the program orders
    // them) is refused with its reason; the filter and the rows stay.
    ColumnFilter after;
    after.first = {FilterOperator::Greater, Value::fromText("华北")};
    const std::string refused = rgtest::errorOf(
        [&] { r.grid.Filter.SetColumnFilter(*r.grid.ColumnByFieldName("region"), after); });
    EXPECT_NE(refused.find("在服务器上汇总时不能按这个条件筛选"), std::string::npos) << refused;
    EXPECT_EQ(r.grid.Filter.ColumnFilterOf(*r.grid.ColumnByFieldName("region")), nullptr);
    EXPECT_EQ(firstDifference(gridAsCsv(r.grid), server), "");

    // A reload the user cancels leaves every row and the grouping as they were. The
    // first progress report of a load always comes before its statement; how many come
    // while the server works depends on its speed, so only that one is counted on.
    {
        CancelAfter cancel(0);
        ProgressScope scope(&cancel);
        EXPECT_THROW(r.grid.UngroupColumn(1), Cancelled);
    }
    EXPECT_EQ(r.grid.GroupColumnCount(), 2);
    EXPECT_EQ(firstDifference(gridAsCsv(r.grid), server), "");

    // A header sort reorders the rows on the server; the groups on the client.
    r.grid.ColumnByFieldName("price")->SetSorted(TdxTreeListColumnSort::csUp);
    r.grid.ColumnByFieldName("region")->SetSorted(TdxTreeListColumnSort::csUp);
    const std::string resorted = gridAsCsv(r.grid);
    r.csv(RowPlacement::Memory);
    EXPECT_EQ(firstDifference(gridAsCsv(r.grid), resorted), "");

    // Without grouping the report is one group, read page after page, each longer than
    // the one before. Rows read out of order after that come from the long pages of the
    // walk or from short ones of their own, and are the same.
    r.grid.ClearGrouping();
    const std::string flat = gridAsCsv(r.grid);
    const std::vector<std::string> flatCells = jumpedCells(r.grid);
    EXPECT_EQ(firstDifference(r.csv(RowPlacement::Server), flat), "");
    EXPECT_TRUE(r.grid.ServerMode());
    EXPECT_EQ(jumpedCells(r.grid), flatCells);
}

} // namespace

TEST(ServerGrid, SqliteReportIsTheSameInMemoryAndOnTheServer) {
    const std::string path = rgtest::makeSqliteFile(
        "servergrid",
        std::string("create table sg(id integer primary key, region text, city text, "
                    "qty integer, price decimal(12,2), big bigint, amount double);\n") +
            "insert into sg(" + kColumns + ") " + recursiveNumbers() +
            rowsSelect("((i * 7919) % 100000) / 100.0") +
            ";\ncreate index sg_groups on sg(region, city);\n");
    checkServerReport(rgtest::builtin(path));
}

TEST(ServerGrid, PostgresqlReportIsTheSameInMemoryAndOnTheServer) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sg");
    s.exec("create table sg(id bigint primary key, region text, city text, qty integer, "
           "price numeric(12,2), big bigint, amount double precision)");
    s.exec(std::string("insert into sg(") + kColumns + ") with n(i) as (select " +
           "generate_series(1, " + std::to_string(kRows) + ")::bigint) " +
           rowsSelect("round(((i * 7919) % 100000) / 100.0, 2)::numeric(12,2)"));
    s.exec("create index sg_groups on sg(region, city)");
    s.commit();
    checkServerReport(pg);
    s.exec("drop table sg");
    s.commit();
}

TEST(ServerGrid, MariadbReportIsTheSameInMemoryAndOnTheServer) {
    const std::string mariadb = rgtest::mariadbConnectionString();
    ASSERT_FALSE(mariadb.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(mariadb);
    s.exec("set max_recursive_iterations = 1000000");
    s.exec("drop table if exists sg");
    s.exec("create table sg(id bigint primary key, region varchar(20), city varchar(20), "
           "qty integer, price decimal(12,2), big bigint, amount double) "
           "character set utf8mb4 collate utf8mb4_bin");
    s.exec(std::string("insert into sg(") + kColumns + ") " + recursiveNumbers() +
           rowsSelect("cast(((i * 7919) % 100000) / 100 as decimal(12,2))"));
    s.exec("create index sg_groups on sg(region, city)");
    s.commit();
    checkServerReport(mariadb);
    s.exec("drop table sg");
    s.commit();
}
