#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/readonlysql.h"
#include "odbcsession.h"
#include "servertest.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace rg;
using rgtest::errorOf;

namespace {

const char* const kRefused = "报表命令试图修改数据库，已拒绝";
const char* const kOneStatement = "报表命令只能是一条查询语句";

bool says(const std::string& message, const char* what) {
    return message.find(what) != std::string::npos;
}

// The error of opening `sql` as the report's command, or "(no error)".
std::string openError(DataSet& ds, const std::string& sql,
                      CommandType type = CommandType::cmdText) {
    return errorOf([&] {
        ds.Close();
        ds.SetCommandType(type);
        ds.SetCommandText(sql);
        ds.Open();
    });
}

long long rowCount(DataSet& ds, const std::string& table) {
    ds.Close();
    ds.SetCommandType(CommandType::cmdText);
    ds.SetCommandText("SELECT count(*) AS n FROM " + table);
    ds.Open();
    return ds.Fields(0).AsValue().asInt();
}

// The user's own change still reaches the database through its own path.
void editStillWorks(DataSet& ds, const std::string& table) {
    ds.Close();
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText(table);
    ds.Open();
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(1)));
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("edited"));
    ds.Post();
    ds.Close();
    ds.Open();
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(1)));
    EXPECT_EQ(ds.Fields(1).DisplayText(), "edited");
}

const char* const kSchema = "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT);"
                            "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c');";

// What a setup's SQL text tries on a SQLite database, through either provider: nothing
// changes, no file appears, and the message says why.
void sqliteStaysAsItWas(const std::string& connectionString, const std::string& path) {
    Connection conn;
    conn.SetConnectionString(connectionString);
    DataSet ds(&conn);
    const std::string folder = std::filesystem::path(path).parent_path();
    const std::string made = folder + "/made_by_setup_" + std::to_string(::getpid()) + ".db";
    std::filesystem::remove(made);
    for (const std::string& sql : std::vector<std::string>{
             "DROP TABLE t",
             "DELETE FROM t RETURNING *",
             "UPDATE t SET name = 'x' RETURNING *",
             "INSERT INTO t VALUES (9, 'z') RETURNING *",
             "VACUUM INTO '" + made + "'",
             "ATTACH DATABASE '" + made + "' AS other",
             "PRAGMA journal_mode=WAL",
             "PRAGMA user_version=7",
             "CREATE TABLE u AS SELECT * FROM t",
             "WITH x AS (SELECT 1) INSERT INTO t SELECT 10, 'y' FROM x RETURNING *",
         }) {
        const std::string error = openError(ds, sql);
        EXPECT_TRUE(says(error, kRefused)) << sql << "\n" << error;
        // One Chinese message, not SQLite's "not authorized" inside it.
        EXPECT_FALSE(says(error, "not authorized")) << sql << "\n" << error;
    }
    EXPECT_TRUE(says(openError(ds, "SELECT * FROM t; DROP TABLE t"), kOneStatement));
    EXPECT_FALSE(std::filesystem::exists(made));
    EXPECT_EQ(rowCount(ds, "t"), 3);
    ds.Close();
    ds.SetCommandText("PRAGMA journal_mode");
    ds.Open();
    EXPECT_EQ(ds.Fields(0).DisplayText(), "delete");
    ds.Close();
    ds.SetCommandText("PRAGMA user_version");
    ds.Open();
    EXPECT_EQ(ds.Fields(0).DisplayText(), "0");
    // Reading keeps working, pragmas that describe included.
    EXPECT_EQ(openError(ds, "PRAGMA table_info(t)"), "(no error)");
    EXPECT_EQ(openError(ds, "SELECT name FROM t WHERE name <> ';' ORDER BY id"), "(no error)");
    editStillWorks(ds, "t");
}

} // namespace

TEST(ReadOnlyReports, TheStatementCheckSeesEveryServersBoundaries) {
    for (const char* sql : {
             "SELECT 1",
             "SELECT 1;",
             "SELECT 1;  -- the end\n",
             "SELECT 'a;b' AS x FROM t",
             "SELECT \"x;y\" FROM t",
             "SELECT a /* ; */ FROM t",
             "SELECT 'it''s; fine'",
             "SELECT col$1 FROM t",
             "SELECT copy, do, outfile FROM t",
         })
        EXPECT_EQ(errorOf([&] { checkReportStatement(sql); }), "(no error)") << sql;
    // Each hides a second statement from one reading of quotes or comments.
    for (const char* sql : {
             "SELECT 1; DROP TABLE t", "SELECT 1;DROP TABLE t;",
             "SELECT 'a\\'; DROP TABLE t; -- '",         // no backslash escapes (PostgreSQL)
             "SELECT $$ ; DROP TABLE t; $$",             // $$ is no quote for MariaDB
             "SELECT 1 # ; DROP TABLE t\n",              // # is no comment for PostgreSQL
             "SELECT /* /* */ ; DROP TABLE t; -- */",    // nested only for PostgreSQL
             "SELECT [a ; DROP TABLE t; -- ]",           // brackets only for SQL Server
             "SELECT `x;y` FROM t",                      // backticks only for MariaDB
             "SET TRANSACTION READ WRITE; DROP TABLE t", // the way out of a read-only session
         })
        EXPECT_TRUE(says(errorOf([&] { checkReportStatement(sql); }), kOneStatement)) << sql;
    for (const char* sql : {
             "COPY (SELECT 1) TO PROGRAM 'touch /tmp/x'",
             "  copy t TO '/tmp/x'",
             "DO $$ BEGIN PERFORM 1; END $$",
             "SELECT * FROM t INTO OUTFILE '/tmp/x'",
             "SELECT 1 INTO /* */ DUMPFILE '/tmp/x'",
             "SELECT lo_export(1, '/tmp/x')",
         })
        EXPECT_TRUE(says(errorOf([&] { checkReportStatement(sql); }), kRefused)) << sql;
    // Read by one server's rules, its own quotes hold.
    EXPECT_EQ(errorOf([] { checkReportStatement("SELECT `x;y` FROM t", SqlFamily::MySQL); }),
              "(no error)");
    EXPECT_EQ(errorOf([] { checkReportStatement("SELECT [x;y] FROM t", SqlFamily::SQLite); }),
              "(no error)");
    EXPECT_EQ(errorOf([] { checkReportStatement("SELECT $a$;$a$", SqlFamily::PostgreSQL); }),
              "(no error)");
    EXPECT_TRUE(says(errorOf([] { checkReportStatement("SELECT $a$;$a$", SqlFamily::MySQL); }),
                     kOneStatement));
    EXPECT_TRUE(says(
        errorOf([] { checkReportStatement("SELECT 'a\\'; DROP TABLE t; -- '", SqlFamily::MySQL); }),
        kOneStatement));
    EXPECT_EQ(writeRefusalMessage(std::string(100, 'x') + "\n\n  y", "原因"),
              std::string(kRefused) + "：" + std::string(60, 'x') + "…（原因）");
}

TEST(ReadOnlyReports, SqliteThroughEitherProvider) {
    const std::string builtinPath = rgtest::makeSqliteFile("readonly_builtin", kSchema);
    sqliteStaysAsItWas(rgtest::builtin(builtinPath), builtinPath);
    const std::string odbcPath = rgtest::makeSqliteFile("readonly_odbc", kSchema);
    sqliteStaysAsItWas("Driver={SQLite3};Database=" + odbcPath, odbcPath);
}

namespace {

// What a setup's SQL text tries on a server through the user's own data source.
class ServerReadOnly : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        if (HasFatalFailure())
            return;
        // The tables come with the servers' schema scripts, so that listings made beside
        // this test never see one come or go.
        rgtest::OdbcSession admin(connectionString());
        admin.exec("DELETE FROM ro_rows");
        admin.exec("INSERT INTO ro_rows VALUES (1, 'a'), (2, 'b'), (3, 'c')");
        admin.commit();
    }
    void refused(const std::vector<std::string>& statements) {
        for (const std::string& sql : statements) {
            const std::string error = openError(ds, sql);
            EXPECT_TRUE(says(error, kRefused) || says(error, kOneStatement)) << sql << "\n"
                                                                             << error;
            EXPECT_EQ(rowCount(ds, "ro_rows"), 3) << sql;
        }
    }
};

class PostgresReadOnly : public ServerReadOnly {
protected:
    std::string connectionString() const override { return rgtest::pgConnectionString(); }
    const char* variable() const override { return "RG_TEST_PG"; }
};

class MariaDbReadOnly : public ServerReadOnly {
protected:
    std::string connectionString() const override { return rgtest::mariadbConnectionString(); }
    const char* variable() const override { return "RG_TEST_MARIADB"; }
};

} // namespace

TEST_F(PostgresReadOnly, NothingWritesButTheUsersOwnEdit) {
    refused({
        "DROP TABLE ro_rows",
        "DELETE FROM ro_rows RETURNING *",
        "SET TRANSACTION READ WRITE; DELETE FROM ro_rows RETURNING *",
        "COPY (SELECT 1) TO PROGRAM 'true'",
        "CREATE TABLE ro_u AS SELECT * FROM ro_rows",
    });
    // psqlODBC's cursor refuses this one before the server could.
    EXPECT_NE(openError(ds, "WITH d AS (DELETE FROM ro_rows RETURNING *) SELECT * FROM d"),
              "(no error)");
    EXPECT_EQ(rowCount(ds, "ro_rows"), 3);
    // A statement that switches the session's default back does not open the next one.
    EXPECT_EQ(openError(ds, "SELECT set_config('default_transaction_read_only', 'off', false)"),
              "(no error)");
    refused({"DELETE FROM ro_rows RETURNING *"});

    editStillWorks(ds, "ro_rows");
    // The report after the edit reads in a read-only session again.
    EXPECT_TRUE(says(openError(ds, "DELETE FROM ro_rows RETURNING *"), kRefused));
}

TEST_F(MariaDbReadOnly, NothingWritesButTheUsersOwnEdit) {
    refused({
        "DROP TABLE ro_rows",
        "DELETE FROM ro_rows",
        "SET SESSION TRANSACTION READ WRITE; DELETE FROM ro_rows",
        "SELECT * FROM ro_rows INTO OUTFILE '/tmp/ro_rows.txt'",
        "CREATE TABLE ro_u AS SELECT * FROM ro_rows",
    });
    // A statement that switches the session back does not open the next one.
    openError(ds, "SET SESSION TRANSACTION READ WRITE");
    refused({"DELETE FROM ro_rows"});
    editStillWorks(ds, "ro_rows");
    EXPECT_TRUE(says(openError(ds, "DELETE FROM ro_rows"), kRefused));
}

// A setup may let its procedure write only for the user who allowed it: saved by the user,
// it writes; the same file copied elsewhere (as from a colleague) runs read-only until the
// user agrees.
TEST_F(PostgresReadOnly, ASetupsProcedureWritesOnlyOnceTheUserAllowed) {
    rg::test::TempFolder folder;
    const char* oldConfig = ::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    rgtest::OdbcSession admin(connectionString());
    admin.exec("DELETE FROM ro_proc_rows");
    admin.exec("INSERT INTO ro_proc_rows VALUES (1, 'a'), (2, 'b'), (3, 'c')");
    admin.commit();
    // Without the box the procedure runs read-only, and the message says what to do.
    const std::string error = openError(ds, "ro_remove_last", CommandType::cmdStoredProc);
    EXPECT_TRUE(says(error, kRefused)) << error;
    EXPECT_TRUE(says(error, kProcedureMayWriteBox)) << error;
    EXPECT_EQ(rowCount(ds, "ro_proc_rows"), 3);

    ds.Close();
    TdxDBGrid grid;
    grid.SetDataSet(&ds);
    const ReportObjects report{conn, ds, grid};
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("ro_remove_last");
    ds.SetProcedureMayWrite(true);
    const std::string mine = (folder / "mine.ini").string();
    const std::string theirs = (folder / "theirs.ini").string();
    SaveSetup(report, mine);
    std::filesystem::copy_file(mine, theirs);
    EXPECT_FALSE(UnapprovedProcedureWrite(mine));
    const std::optional<ProcedureWrite> asked = UnapprovedProcedureWrite(theirs);
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->procedure, "ro_remove_last");

    EXPECT_TRUE(says(errorOf([&] { LoadSetup(report, theirs); }), kRefused));
    EXPECT_FALSE(ds.ProcedureMayWrite());
    EXPECT_EQ(rowCount(ds, "ro_proc_rows"), 3);
    ApproveProcedureWrites(*asked);
    EXPECT_FALSE(UnapprovedProcedureWrite(theirs));
    EXPECT_EQ(errorOf([&] { LoadSetup(report, theirs); }), "(no error)");
    EXPECT_EQ(rowCount(ds, "ro_proc_rows"), 2);
    EXPECT_EQ(errorOf([&] { LoadSetup(report, mine); }), "(no error)");
    EXPECT_EQ(rowCount(ds, "ro_proc_rows"), 1);
    // A file whose procedure was changed behind the user's back asks again.
    TSetup edited(theirs);
    edited.WriteCommandText("ro_other");
    EXPECT_TRUE(UnapprovedProcedureWrite(theirs));
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}
