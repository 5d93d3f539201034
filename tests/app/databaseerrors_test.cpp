// A database error reaches the user as one Chinese sentence saying what was being done,
// followed by the database's own message and its codes: in the main window's error box and
// on the runner's standard error alike. Real SQLite files, and the PostgreSQL and MariaDB
// servers that scripts/test.sh starts.
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/codepage.h"
#include "common/databaseerror.h"
#include "common/ui/commandguard.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

using namespace rg;

namespace {

// One saved report that cannot open: its name, connection and SQL.
struct Broken {
    std::string name;
    std::string connection;
    std::string sql;
};

// What the user is told about each report: the main window's error box after a click on it
// in the list, and the runner's standard error.
struct Told {
    std::string window, runner;
};

std::string runnerError(const std::string& ini, const std::string& folder) {
    const std::string errFile = folder + "/stderr.txt";
    const std::string cmd = std::string(RG_BINARY_DIR) + "/reportgen --run '" + ini +
                            "' --format csv >/dev/null 2>" + errFile;
    const int status = std::system(cmd.c_str());
    EXPECT_NE(status, 0) << ini;
    std::ifstream in(errFile);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<Told> tell(const std::vector<Broken>& reports) {
    qtApp();
    const test::TempFolder folder;
    for (const Broken& b : reports) {
        TSetup s((folder / (b.name + ".ini")).string());
        s.WriteConnString(b.connection);
        s.WriteCommandType("cmdText");
        s.WriteCommandText(b.sql);
        s.WriteKeyField("id");
    }
    Tfrmquorvel w(nullptr, QString::fromStdString(folder.path().string()) + "/");
    w.show();
    std::vector<Told> told;
    for (const Broken& b : reports) {
        QStringList errors;
        MessageSink previous = setErrorSink([&](const QString& m) { errors << m; });
        for (int i = 0; i < w.nvbar->ItemCount(); ++i)
            if (w.nvbar->Item(i)->Caption() == QString::fromStdString(b.name))
                QTest::mouseClick(w.nvbar->Item(i)->linkWidget(), Qt::LeftButton);
        setErrorSink(previous);
        EXPECT_EQ(errors.size(), 1) << b.name << ": " << errors.join("|").toStdString();
        told.push_back(
            {errors.value(0).toStdString(),
             runnerError((folder / (b.name + ".ini")).string(), folder.path().string())});
    }
    return told;
}

// The connection string with `key` set to `value` in place of its own.
std::string with(const std::string& connection, const std::string& key, const std::string& value) {
    return std::regex_replace(connection, std::regex(key + "=[^;]*"), key + "=" + value);
}

// The window and the runner say the same, and it matches `pattern` (ECMAScript, across lines).
void expectTold(const Told& t, const std::string& pattern) {
    EXPECT_TRUE(std::regex_match(t.window, std::regex(pattern)))
        << t.window << "\n  expected: " << pattern;
    EXPECT_EQ(t.runner, t.window + "\n");
}

} // namespace

TEST(DatabaseErrors, SqliteMessagesComeWithWhatWasBeingDoneAndTheirCode) {
    const std::string db =
        rgtest::makeSqliteFile("dberrors", "create table t(id integer primary key);");
    const std::string missing = "/nonexistent/rg_none.db";
    const std::vector<Told> told = tell({
        {"缺表", rgtest::builtin(db), "SELECT * FROM tmp1"},
        {"语法", rgtest::builtin(db), "SELEC id FROM t"},
        {"连不上", rgtest::builtin(missing), "SELECT 1"},
        {"驱动缺表", "Driver={SQLite3};Database=" + db, "SELECT * FROM tmp1"},
    });
    ASSERT_EQ(told.size(), 4u);
    EXPECT_EQ(told[0].window, "打开报表“缺表”失败：no such table: tmp1（错误代码 1）");
    EXPECT_EQ(told[1].window, "打开报表“语法”失败：near \"SELEC\": syntax error（错误代码 1）");
    EXPECT_EQ(told[2].window, "打开报表“连不上”失败：找不到数据库文件：" + missing);
    expectTold(told[3], "打开报表“驱动缺表”失败：[\\s\\S]*no such table: tmp1[\\s\\S]*（SQLSTATE "
                        "HY000，错误代码 \\d+）");
    for (const Told& t : told)
        EXPECT_EQ(t.runner, t.window + "\n");

    // A report whose file name came from Windows (GBK bytes) is named as the list shows it.
    const test::TempFolder folder;
    const std::string gbk = (folder / (toAnsi("销售明细") + ".INI")).string();
    {
        TSetup s(gbk);
        s.WriteConnString(rgtest::builtin(db));
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("tmp1");
    }
    EXPECT_EQ(runnerError(gbk, folder.path().string()),
              "打开报表“销售明细”失败：no such table: tmp1（错误代码 1）\n");
}

TEST(DatabaseErrors, PostgresMessagesComeWithSqlstateAndNativeCode) {
    const std::string cs = rgtest::pgConnectionString();
    ASSERT_FALSE(cs.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    const std::vector<Told> told = tell({
        {"缺表", cs, "SELECT * FROM tmp1"},
        {"语法", cs, "SELEC 1 AS id"},
        {"连不上", with(cs, "Database", "rg_no_such_db"), "SELECT 1 AS id"},
    });
    ASSERT_EQ(told.size(), 3u);
    expectTold(told[0], "打开报表“缺表”失败：[\\s\\S]*relation \"tmp1\" does not "
                        "exist[\\s\\S]*（SQLSTATE 42P01，错误代码 -?\\d+）");
    expectTold(told[1], "打开报表“语法”失败：[\\s\\S]*syntax "
                        "error[\\s\\S]*\"SELEC\"[\\s\\S]*（SQLSTATE 42601，错误代码 -?\\d+）");
    expectTold(told[2], "打开报表“连不上”失败：[\\s\\S]*\"rg_no_such_db\" does not "
                        "exist[\\s\\S]*（SQLSTATE 08001，错误代码 -?\\d+）");
}

TEST(DatabaseErrors, MariaDbMessagesComeWithSqlstateAndNativeCode) {
    const std::string cs = rgtest::mariadbConnectionString();
    ASSERT_FALSE(cs.empty()) << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    const std::vector<Told> told = tell({
        {"缺表", cs, "SELECT * FROM tmp1"},
        {"语法", cs, "SELEC 1 AS id"},
        {"连不上", with(cs, "Pwd", "wrong-password"), "SELECT 1 AS id"},
    });
    ASSERT_EQ(told.size(), 3u);
    expectTold(told[0],
               "打开报表“缺表”失败：[\\s\\S]*tmp1' doesn't exist（SQLSTATE 42S02，错误代码 1146）");
    expectTold(told[1], "打开报表“语法”失败：[\\s\\S]*error in your SQL syntax[\\s\\S]*（SQLSTATE "
                        "42000，错误代码 1064）");
    expectTold(told[2], "打开报表“连不上”失败：[\\s\\S]*Access denied for user "
                        "'rgtest'[\\s\\S]*（SQLSTATE 28000，错误代码 1045）");
}

// A database error that no command led with a sentence still does not stand alone; other
// errors and cancels stay as they are.
TEST(DatabaseErrors, TheGuardLeadsABareDatabaseErrorWithAGeneralSentence) {
    QStringList shown;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    guardCommand([] { throw DatabaseError("Command text was not set for the command object."); });
    guardCommand([] { throw DatabaseError("deadlock detected", "40P01", 7); });
    guardCommand([] {
        withDatabaseContext("执行 SQL 失败",
                            [] { throw DatabaseError("no such table: tmp1", {}, 1); });
    });
    guardCommand([] { throw Error("List index out of bounds (3)"); });
    setErrorSink(previous);
    EXPECT_EQ(shown,
              QStringList({"数据库操作失败：Command text was not set for the command object.",
                           "数据库操作失败：deadlock detected（SQLSTATE 40P01，错误代码 7）",
                           "执行 SQL 失败：no such table: tmp1（错误代码 1）",
                           "List index out of bounds (3)"}));
}
