// The data source dialog's SQL box through the main window: "运行" opens the typed text and
// tells what the database refused under the box with its place marked, on SQLite,
// PostgreSQL and MariaDB; the box completes the connection's table and field names.
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/previewmodel.h"
#include "datasource/ui/sqleditor.h"
#include "odbcsession.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
using rgtest::whenModal;
namespace fs = std::filesystem;

namespace {

// The main window over one saved report, opened from the list.
struct Window {
    test::TempFolder folder;
    QStringList errors;
    MessageSink previousError;
    std::unique_ptr<Tfrmquorvel> w;
    explicit Window(const std::function<void(const fs::path& folder)>& saveReport) {
        saveReport(folder.path());
        w = std::make_unique<Tfrmquorvel>(nullptr,
                                          QString::fromStdString(folder.path().string()) + "/");
        w->show();
        previousError = setErrorSink([this](const QString& m) { errors << m; });
        QTest::mouseClick(w->nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    }
    ~Window() { setErrorSink(previousError); }

    // Runs `act` in the data source dialog, which is then closed with "取消".
    void inDialog(const std::function<void(TFRMDBSETUP&)>& act) {
        whenModal<TFRMDBSETUP>([act](TFRMDBSETUP& d) {
            act(d);
            QTest::mouseClick(d.btncancel, Qt::LeftButton);
        });
        QTest::mouseClick(w->ToolButton1, Qt::LeftButton);
    }
};

void demoReport(const fs::path& folder) {
    fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / "销售明细.ini", folder / "销售明细.ini");
}

// What a run of `sql` showed: the text under the box and the marked characters.
struct Ran {
    QString told, marked;
};

Ran run(TFRMDBSETUP& d, const QString& sql, bool byKey = false) {
    d.MasterSQL->setPlainText(sql);
    if (byKey)
        QTest::keyClick(d.MasterSQL, Qt::Key_Return, Qt::ControlModifier);
    else
        QTest::mouseClick(d.btnrun, Qt::LeftButton);
    return {d.lblrunresult->text(), d.MasterSQL->markedText()};
}

QStringList offered(SqlEditor* box) {
    QStringList out;
    QAbstractItemModel* m = box->completer()->completionModel();
    for (int i = 0; i < m->rowCount(); ++i)
        out << m->index(i, 0).data().toString();
    return out;
}

} // namespace

TEST(SqlEditor, RunTellsWhatSqliteRefusedAndMarksItsPlace) {
    qtApp();
    Window win(demoReport);
    Ran missing, syntax, good, byKey, byF5;
    int previewRows = -1;
    QString textAfterRun;
    win.inDialog([&](TFRMDBSETUP& d) {
        missing = run(d, "select order_id,\n       regoin\nfrom sales");
        syntax = run(d, "select order_id form sales");
        rgtest::savePicture(d, "dbsetup-sql-error");
        good = run(d, "select order_id, region\nfrom sales where quantity > 0");
        previewRows = d.ds->rowCount();
        textAfterRun = d.MasterSQL->toPlainText();
        byKey = run(d, "select region from sales group by region", true);
        d.MasterSQL->setPlainText("select * from sales where");
        QTest::keyClick(d.MasterSQL, Qt::Key_F5);
        byF5 = {d.lblrunresult->text(), d.MasterSQL->markedText()};
    });
    EXPECT_EQ(missing.told, "执行 SQL 失败：no such column: regoin（错误代码 1）");
    EXPECT_EQ(missing.marked, "regoin");
    EXPECT_EQ(syntax.told, "执行 SQL 失败：near \"sales\": syntax error（错误代码 1）");
    EXPECT_EQ(syntax.marked, "sales");
    EXPECT_EQ(good.told, "6000 行，2 列");
    EXPECT_EQ(good.marked, "");
    EXPECT_EQ(previewRows, 6000);
    EXPECT_EQ(textAfterRun, "select order_id, region\nfrom sales where quantity > 0");
    EXPECT_EQ(byKey.told, "7 行，1 列");
    EXPECT_EQ(byF5.told, "执行 SQL 失败：incomplete input（错误代码 1）");
    // No message box: the run tells everything in place.
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
    // "取消" hands the report back as it was.
    EXPECT_EQ(win.w->dxDBGrid->DataRowCount(), 6000);
}

TEST(SqlEditor, CompletesTablesAndTheirFields) {
    qtApp();
    Window win(demoReport);
    QStringList tables, qualified, named, aliased;
    bool listShown = false;
    QString chosen;
    win.inDialog([&](TFRMDBSETUP& d) {
        SqlEditor* box = d.MasterSQL;
        box->setFocus();
        box->clear();
        QTest::keyClicks(box, "select * from sal");
        listShown = box->completer()->popup()->isVisible();
        tables = offered(box);
        QTest::keyClicks(box, "es s where s.quantity > 0 and sales.reg");
        qualified = offered(box);
        rgtest::savePicture(d, "dbsetup-sql-completion");
        QTest::keyClick(box->completer()->popup(), Qt::Key_Return);
        chosen = box->toPlainText();
        QTest::keyClicks(box, " = 'x' and unit_p");
        named = offered(box);
        QTest::keyClick(box->completer()->popup(), Qt::Key_Escape);
        QTest::keyClicks(box, "rice > 0 and s.produ");
        aliased = offered(box);
    });
    EXPECT_TRUE(listShown);
    EXPECT_TRUE(tables.contains("sales")) << tables.join(',').toStdString();
    EXPECT_TRUE(tables.contains("salespeople"));
    EXPECT_FALSE(tables.contains("products"));
    EXPECT_EQ(qualified, QStringList{"region"});
    EXPECT_EQ(chosen, "select * from sales s where s.quantity > 0 and sales.region");
    // Without a table before it: the fields of the tables the text names.
    EXPECT_EQ(named, QStringList{"unit_price"});
    // After an alias: the fields of its table.
    EXPECT_EQ(aliased, QStringList{"product"});
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
}

namespace {

// The three runs on a table of the server's own: a name it does not know, a syntax error
// and a text that runs.
struct ServerRuns {
    Ran missing, syntax, good;
    QStringList errors;
};

ServerRuns runOnServer(const std::string& cs) {
    {
        rgtest::OdbcSession s(cs);
        s.exec("DROP TABLE IF EXISTS sqleditor_items");
        s.exec("CREATE TABLE sqleditor_items (id integer PRIMARY KEY, region varchar(10))");
        s.exec("INSERT INTO sqleditor_items VALUES (1, '华东'), (2, '华北'), (3, '华东')");
        s.commit();
    }
    qtApp();
    ServerRuns runs;
    {
        Window win([&](const fs::path& folder) {
            TSetup s((folder / "items.ini").string());
            s.WriteConnString(cs);
            s.WriteCommandType("cmdText");
            s.WriteCommandText("select id, region from sqleditor_items");
            s.WriteKeyField("id");
        });
        win.inDialog([&](TFRMDBSETUP& d) {
            runs.missing = run(d, "select id,\n  regoin from sqleditor_items");
            runs.syntax = run(d, "select id region, from sqleditor_items");
            runs.good = run(d, "select region from sqleditor_items where id < 3");
        });
        runs.errors = win.errors;
    }
    rgtest::OdbcSession s(cs);
    s.exec("DROP TABLE sqleditor_items");
    s.commit();
    return runs;
}

} // namespace

TEST(SqlEditor, RunTellsWhatPostgresRefusedAndMarksItsPlace) {
    const std::string cs = rgtest::pgConnectionString();
    ASSERT_FALSE(cs.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    const ServerRuns runs = runOnServer(cs);
    EXPECT_TRUE(runs.errors.isEmpty()) << runs.errors.join('\n').toStdString();
    EXPECT_TRUE(runs.missing.told.contains("column \"regoin\" does not exist"))
        << runs.missing.told.toStdString();
    EXPECT_TRUE(runs.missing.told.contains("SQLSTATE 42703"));
    EXPECT_EQ(runs.missing.marked, "regoin");
    EXPECT_TRUE(runs.syntax.told.contains("syntax error at or near \"from\""))
        << runs.syntax.told.toStdString();
    EXPECT_EQ(runs.syntax.marked, "from");
    EXPECT_EQ(runs.good.told, "2 行，1 列");
}

// MariaDB names the rest of the text from the place and its line.
TEST(SqlEditor, RunTellsWhatMariaDbRefusedAndMarksItsPlace) {
    const std::string cs = rgtest::mariadbConnectionString();
    ASSERT_FALSE(cs.empty()) << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    const ServerRuns runs = runOnServer(cs);
    EXPECT_TRUE(runs.errors.isEmpty()) << runs.errors.join('\n').toStdString();
    EXPECT_TRUE(runs.missing.told.contains("Unknown column 'regoin'"))
        << runs.missing.told.toStdString();
    EXPECT_EQ(runs.missing.marked, "regoin");
    EXPECT_TRUE(runs.syntax.told.contains("near 'from sqleditor_items' at line 1"))
        << runs.syntax.told.toStdString();
    EXPECT_EQ(runs.syntax.marked, "from");
    EXPECT_EQ(runs.good.told, "2 行，1 列");
}
