// Statements that do not end by themselves (an endless query, a table another session has
// locked) are stopped by a cancel from the progress sink and by the query timeout, and the
// connection is usable afterwards. A cancel that did not reach the driver would leave the
// test waiting for CTest's time limit.

#include "common/progress.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/statementrun.h"
#include "grid/grid.h"
#include "odbcsession.h"
#include "silentserver.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

using namespace rg;
using rgtest::errorOf;
using rgtest::threadCount;

namespace {

// Cancels the work once `due` says so, as a user who clicks 取消 while it waits. Only the
// reports of that work count (the running statement unless told otherwise), so a connect
// that is slow on a busy machine changes nothing.
class CancelWhen : public ProgressSink {
public:
    explicit CancelWhen(std::function<bool()> due, std::string counted = "正在读取数据")
        : due_(std::move(due)), counted_(std::move(counted)) {}
    bool progress(const char* what, int64_t, int64_t) override {
        lastWhat = what;
        return lastWhat != counted_ || !due_();
    }
    std::string lastWhat;

private:
    std::function<bool()> due_;
    std::string counted_;
};

const char* kEndless =
    "WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s) SELECT count(*) FROM s";

// Opens `command` on `conn` under a sink that cancels the running statement once `due`.
std::string cancelledOpen(Connection& conn, CommandType type, const std::string& command,
                          const std::function<bool()>& due) {
    DataSet ds(&conn);
    ds.SetCommandType(type);
    ds.SetCommandText(command);
    CancelWhen sink(due);
    ProgressScope scope(&sink);
    std::string error;
    try {
        ds.Open();
        error = "(no error)";
    } catch (const Cancelled& e) {
        error = std::string("Cancelled: ") + e.what();
    } catch (const std::exception& e) {
        error = e.what();
    }
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(sink.lastWhat, "正在读取数据");
    return error;
}

// Table rg_locked with two rows, committed by `other`, which then runs `lock` and holds what
// it took until it rolls back.
void lockTwoRows(rgtest::OdbcSession& other, const std::string& lock) {
    other.exec("CREATE TABLE IF NOT EXISTS rg_locked(id integer primary key, name text)");
    other.exec("DELETE FROM rg_locked");
    other.exec("INSERT INTO rg_locked VALUES (1, 'a'), (2, 'b')");
    other.commit();
    other.exec(lock);
}

int rowsOf(Connection& conn, const std::string& sql) {
    DataSet ds(&conn);
    ds.SetCommandText(sql);
    ds.Open();
    return ds.RecordCount();
}

} // namespace

TEST(StatementCancel, EndlessSqliteQueriesStopOnCancelAndTimeout) {
    const std::string path = rgtest::makeSqliteFile(
        "cancel", "create table t(n integer); insert into t values (1), (2);");
    for (const std::string& cs : {rgtest::builtin(path), "Driver={SQLite3};Database=" + path}) {
        Connection conn;
        conn.SetConnectionString(cs);
        // The query never ends: the sink is asked again and again while it runs.
        int reports = 0;
        const auto fourth = [&reports] { return ++reports == 4; };
        EXPECT_EQ(cancelledOpen(conn, CommandType::cmdText, kEndless, fourth),
                  "Cancelled: 操作已取消。")
            << cs;
        EXPECT_EQ(rowsOf(conn, "SELECT * FROM t"), 2) << cs;

        Connection limited;
        limited.SetConnectionString(cs + ";Query Timeout=1");
        DataSet ds(&limited);
        ds.SetCommandText(kEndless);
        EXPECT_EQ(errorOf([&] { ds.Open(); }), queryTimeoutMessage(1)) << cs;
        EXPECT_FALSE(ds.Active());
        EXPECT_EQ(rowsOf(limited, "SELECT * FROM t"), 2)
            << "a short statement is not hurt by the limit";
    }
    // The program's own attribute never reaches a driver; every other pair goes as written.
    EXPECT_EQ(
        withoutConnKey("Driver={A;b};Query Timeout=5;Pwd={x}};Query Timeout=1}", "query timeout"),
        "Driver={A;b};Pwd={x}};Query Timeout=1}");
    EXPECT_EQ(withoutConnKey(" query timeout = 5 ;DSN=x;", kQueryTimeoutKey), "DSN=x");
    EXPECT_EQ(withoutConnKey("DSN=x;", kQueryTimeoutKey), "DSN=x;");

    Connection wrong;
    wrong.SetConnectionString(rgtest::builtin(path) + ";Query Timeout=soon");
    EXPECT_EQ(errorOf([&] { wrong.Open(); }),
              "连接字符串中“Query Timeout”的值“soon”不是秒数（0 表示不限时）。");
}

TEST(StatementCancel, ALockedPostgresTableIsAbandoned) {
    const std::string cs = rgtest::pgConnectionString();
    ASSERT_FALSE(cs.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession other(cs);
    lockTwoRows(other, "LOCK TABLE rg_locked IN ACCESS EXCLUSIVE MODE");

    Connection conn;
    conn.SetConnectionString(cs);
    // Cancelled once the server shows the statement waiting for the lock.
    const auto waiting = [&other] {
        return other.number("SELECT count(*) FROM pg_locks WHERE NOT granted AND relation = "
                            "'rg_locked'::regclass") > 0;
    };
    EXPECT_EQ(cancelledOpen(conn, CommandType::cmdTable, "rg_locked", waiting),
              "Cancelled: 操作已取消。");
    Connection limited;
    limited.SetConnectionString(cs + ";Query Timeout=1");
    DataSet ds(&limited);
    ds.SetCommandText("SELECT * FROM rg_locked");
    EXPECT_EQ(errorOf([&] { ds.Open(); }), queryTimeoutMessage(1));

    // Once the other session lets go, the same connections read the table.
    other.rollback();
    EXPECT_EQ(rowsOf(conn, "SELECT * FROM rg_locked"), 2);
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 2);
}

TEST(StatementCancel, ALockedMariaDbTableIsAbandoned) {
    const std::string cs = rgtest::mariadbConnectionString();
    ASSERT_FALSE(cs.empty()) << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession other(cs);
    lockTwoRows(other, "LOCK TABLES rg_locked WRITE");

    // A table lock stops a read (a locking read would be refused: a report's session is
    // read-only); the wait is the server's, the cancel the program's.
    Connection conn;
    conn.SetConnectionString(cs);
    // Cancelled once the statement is at the server, where the lock holds it.
    const auto waiting = [&other] {
        return other.number("SELECT count(*) FROM information_schema.processlist"
                            " WHERE id <> connection_id() AND info LIKE '%FROM rg_locked%'") > 0;
    };
    EXPECT_EQ(cancelledOpen(conn, CommandType::cmdText, "SELECT * FROM rg_locked", waiting),
              "Cancelled: 操作已取消。");
    other.exec("UNLOCK TABLES");
    EXPECT_EQ(rowsOf(conn, "SELECT * FROM rg_locked"), 2);
}

namespace {

// Cancels the first report of one kind of work.
class CancelWork : public ProgressSink {
public:
    explicit CancelWork(std::string what) : what_(std::move(what)) {}
    bool progress(const char* what, int64_t, int64_t) override { return what != what_; }

private:
    std::string what_;
};

} // namespace

// A cancel while the grid takes in the rows of an open cancels the open as a whole: the
// data set is closed again and the grid empty, not a data set with no rows shown.
TEST(StatementCancel, ACancelWhileTheGridLoadsClosesTheDataSet) {
    const std::string path = rgtest::makeSqliteFile("cancelload", R"(
        create table t(id integer primary key, region text);
        with recursive s(n) as (select 1 union all select n + 1 from s where n < 1000)
        insert into t select n, 'r' || (n % 7) from s;)");
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(path));
    DataSet ds(&conn);
    ds.SetCommandText("SELECT * FROM t");
    ds.Open();
    TdxDBGrid grid;
    grid.SetDataSet(&ds);
    grid.CreateColumnsForFields(ds);
    grid.SetKeyField("id");
    ASSERT_TRUE(grid.GroupColumn(*grid.ColumnByFieldName("region"), 0));
    ASSERT_EQ(grid.DataRowCount(), 1000);
    ds.Close();
    EXPECT_EQ(grid.DataRowCount(), 0);

    CancelWork sink("正在分组");
    {
        ProgressScope scope(&sink);
        EXPECT_EQ(errorOf([&] { ds.Open(); }), "操作已取消。");
    }
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(grid.DataRowCount(), 0);
    EXPECT_EQ(grid.GroupColumnCount(), 1);
    ds.Open();
    EXPECT_EQ(grid.DataRowCount(), 1000);
    EXPECT_EQ(grid.GroupRowCount(), 7);
}

// A connect to a server that never answers would wait for good in both drivers; 取消 gives
// the window back at once.
TEST(StatementCancel, AConnectToAServerThatNeverAnswersIsAbandoned) {
    const size_t threadsBefore = threadCount();
    rgtest::SilentServer server;
    const std::string port = std::to_string(server.port());
    for (const std::string& cs :
         {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port + ";Database=x;Uid=a;Pwd=b",
          "Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + port + ";Database=x;Uid=a;Pwd=b"}) {
        Connection conn;
        conn.SetConnectionString(cs);
        // Cancelled once the driver is connected and waits for the server's greeting.
        CancelWhen sink([&server] { return server.takeWaitingConnection(); }, "正在连接数据库");
        {
            ProgressScope scope(&sink);
            EXPECT_EQ(errorOf([&] { conn.Open(); }), "操作已取消。") << cs;
        }
        EXPECT_EQ(sink.lastWhat, "正在连接数据库");
        EXPECT_FALSE(conn.Connected());
    }
    // Once the server hangs up, the abandoned connects end on their own. They must have ended
    // before the process does: a driver still winding down while the libraries are unloaded
    // would bring the test down.
    server.hangUp();
    while (threadCount() > threadsBefore)
        std::this_thread::yield();
}
