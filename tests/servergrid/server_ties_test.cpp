// A key field that repeats (the user may pick any field as key) and whole rows that repeat:
// the grid over the rows on the server gives every row exactly once, row for row as in
// memory, unsorted, sorted and grouped, with pages that end inside runs of alike rows. Rows
// that change while they are read are named as such, each way with its own message.

#include "datasource/dataset.h"
#include "export/listingexport.h"
#include "grid/grid.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

using namespace rg;

namespace {

constexpr int kRows = 4000;

// k repeats every 40 rows, and only every tenth row differs from the others in u: the rest
// come 100 times each, alike in every field.
std::string rowsSelect() {
    return "select i % 40, i % 5, i % 3, 'x' || (i % 4), case when i % 10 = 0 then i else 0 end "
           "from n";
}

void execOn(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
    sqlite3_close(db);
}

std::string csvOf(const std::string& connectionString, RowPlacement placement, int step) {
    Connection conn;
    conn.SetConnectionString(connectionString);
    DataSet ds(&conn);
    TdxDBGrid grid;
    grid.SetDataSet(&ds);
    // Loaded in memory in the order the server's tie break gives: key first, then the fields.
    ds.SetCommandType(CommandType::cmdText);
    ds.SetCommandText("select k, s, a, t, u from dup order by k, s, a, t, u");
    ds.SetRowPlacement(placement);
    ds.Open();
    EXPECT_EQ(ds.ServerSide(), placement == RowPlacement::Server);
    {
        GridUpdate update(grid);
        GroupingUpdate grouping(grid);
        grid.CreateColumnsForFields(ds);
        grid.SetKeyField("k");
        if (step >= 1)
            grid.ColumnByFieldName("s")->SetSorted(TdxTreeListColumnSort::csDown);
        if (step >= 2)
            grid.GroupColumn(*grid.ColumnByFieldName("a"), 0);
    }
    grid.ExpandAll();
    EXPECT_EQ(grid.DataRowCount(), kRows);
    std::string csv = gridAsCsv(grid);
    grid.SetDataSet(nullptr);
    return csv;
}

void checkTies(const std::string& connectionString) {
    for (int step = 0; step < 3; ++step) {
        const std::string memory = csvOf(connectionString, RowPlacement::Memory, step);
        EXPECT_EQ(csvOf(connectionString, RowPlacement::Server, step), memory)
            << (step == 0   ? "unsorted"
                : step == 1 ? "sorted"
                            : "grouped");
    }
}

} // namespace

TEST(ServerTies, SqliteRepeatedKeyGivesEveryRowOnce) {
    const std::string path = rgtest::makeSqliteFile(
        "serverties",
        "create table dup(k integer, s integer, a integer, t text, u integer);\n"
        "insert into dup with recursive n(i) as (select 1 union all select i + 1 from n where i "
        "< " +
            std::to_string(kRows) + ") " + rowsSelect() + ";\n");
    checkTies(rgtest::builtin(path));
}

TEST(ServerTies, PostgresqlRepeatedKeyGivesEveryRowOnce) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists dup");
    s.exec("create table dup(k integer, s integer, a integer, t text collate \"C\", u integer)");
    s.exec("insert into dup with n(i) as (select generate_series(1, " + std::to_string(kRows) +
           ")) " + rowsSelect());
    s.commit();
    checkTies(pg);
    s.exec("drop table dup");
    s.commit();
}

TEST(ServerTies, MariadbRepeatedKeyGivesEveryRowOnce) {
    const std::string mariadb = rgtest::mariadbConnectionString();
    ASSERT_FALSE(mariadb.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(mariadb);
    s.exec("set max_recursive_iterations = 100000");
    s.exec("drop table if exists dup");
    s.exec("create table dup(k integer, s integer, a integer, t varchar(8), u integer) "
           "character set utf8mb4 collate utf8mb4_bin");
    s.exec("insert into dup with recursive n(i) as (select 1 union all select i + 1 from n "
           "where i < " +
           std::to_string(kRows) +
           ") select i % 40, i % 5, i % 3, "
           "concat('x', i % 4), case when i % 10 = 0 then i else 0 end from n");
    s.commit();
    checkTies(mariadb);
    s.exec("drop table dup");
    s.commit();
}

TEST(ServerTies, RowsChangedWhileReadAreNamed) {
    const std::string path = rgtest::makeSqliteFile(
        "serverchange",
        "create table dup(k integer, s integer, a integer, t text, u integer);\n"
        "insert into dup with recursive n(i) as (select 1 union all select i + 1 from n where i "
        "< " +
            std::to_string(kRows) + ") " + rowsSelect() + ";\n");
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(path));
    DataSet ds(&conn);
    TdxDBGrid grid;
    grid.SetDataSet(&ds);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("dup");
    ds.SetRowPlacement(RowPlacement::Server);
    ds.Open();
    grid.CreateColumnsForFields(ds);
    grid.SetKeyField("k");
    grid.GroupColumn(*grid.ColumnByFieldName("a"), 0);
    grid.ExpandAll();
    ASSERT_TRUE(grid.ServerMode());
    const TdxDBGridColumn& u = *grid.ColumnByFieldName("u");
    // Rows gone after the groups were counted: reading on, and jumping to a place.
    execOn(path, "delete from dup where rowid % 2 = 0");
    std::string e = rgtest::errorOf([&] { gridAsCsv(grid); });
    EXPECT_NE(e.find("服务器上的数据在读取时变了：分组“0”的行比汇总时少，接着读时已没有行"),
              std::string::npos)
        << e;
    e = rgtest::errorOf([&] { grid.CellText(RowHandle::data(kRows - 10), u); });
    EXPECT_NE(e.find("比汇总时少，跳到的位置已没有行"), std::string::npos) << e;
    // Rows added: a group's page holds more than it counted.
    execOn(path, "insert into dup select * from dup; insert into dup select * from dup");
    e = rgtest::errorOf([&] { grid.CellText(RowHandle::data(2 * kRows / 3 - 3), u); });
    EXPECT_NE(e.find("服务器上的数据在读取时变了：分组“1”的行比汇总时多"), std::string::npos) << e;
    grid.SetDataSet(nullptr);
}
