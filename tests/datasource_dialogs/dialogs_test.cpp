#include "dialogtest.h"

#include "common/progress.h"
#include "common/ui/commandguard.h"
#include "datasource/dataset.h"
#include "datasource/ui/adoconed.h"
#include "datasource/ui/connproperties.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/dropdownbox.h"
#include "datasource/ui/previewmodel.h"
#include "datasource/ui/setupparameters.h"
#include "datasource/ui/sqledit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace rg;

using rgtest::app;
using rgtest::makeDatabase;
using rgtest::onNextModal;
using rgtest::ShownMessages;

TEST(DataSourceDialog, TablesPreviewEnterAndCancel) {
    app();
    ShownMessages shown;
    QTemporaryDir dir;
    QString path = makeDatabase(dir);
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=" + path.toStdString());
    DataSet dataset(&conn);
    dataset.SetCommandType(CommandType::cmdTable);
    dataset.SetCommandText("orders");

    TFRMDBSETUP dialog;
    dialog.AssignDataSet(dataset);
    dialog.AssignConnection(conn);
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("数据源设置"));
    EXPECT_EQ(dialog.ConnectionString->currentText().toStdString(), conn.ConnectionString());
    // A table command shows its name while the list waits for the first drop-down.
    EXPECT_EQ(dialog.MasterTableName->currentText(), "orders");
    EXPECT_EQ(dialog.MasterTableName->count(), 0);
    EXPECT_EQ(dialog.MasterSQL->toPlainText(), "\n");
    EXPECT_EQ(dialog.ds->rowCount(), 0);

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.MasterTableName->showPopup();
    ASSERT_EQ(dialog.MasterTableName->count(), 3);
    EXPECT_EQ(dialog.MasterTableName->itemText(0), "bins");
    EXPECT_EQ(dialog.MasterTableName->itemText(1), "Customers");
    EXPECT_EQ(dialog.MasterTableName->currentText(), "orders");
    dialog.MasterTableName->hidePopup();

    // Picking a table reruns the data set and the preview follows it.
    dialog.MasterTableName->setCurrentIndex(1);
    emit dialog.MasterTableName->activated(1);
    EXPECT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.CommandText(), "Customers");
    EXPECT_EQ(dialog.ds->rowCount(), 3);
    EXPECT_EQ(dialog.ds->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "name");
    dataset.Fields(1).SetDisplayLabel("姓名");
    EXPECT_EQ(dialog.ds->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QString::fromUtf8("姓名"));

    // An edit in the preview is posted to the database.
    EXPECT_TRUE(dialog.ds->setData(dialog.ds->index(2, 1), "Zhou", Qt::EditRole));
    {
        Connection check;
        check.SetConnectionString(conn.ConnectionString());
        DataSet rows(&check);
        rows.SetCommandText("SELECT name FROM Customers WHERE id = 3");
        rows.Open();
        EXPECT_EQ(rows.displayText(0, 0), "Zhou");
    }

    // A command that fails leaves the data set closed, and the user hears at once what
    // failed and why: the table, or the SQL box.
    QStringList errors;
    MessageSink previous = setErrorSink([&](const QString& m) { errors << m; });
    dialog.OpenCommand("no_such_table", CommandType::cmdTable);
    EXPECT_FALSE(dataset.Active());
    EXPECT_EQ(dialog.ds->rowCount(), 0);
    dialog.OpenCommand("SELEC id FROM orders", CommandType::cmdText);
    EXPECT_FALSE(dataset.Active());
    setErrorSink(previous);
    EXPECT_EQ(errors,
              QStringList({"打开表“no_such_table”失败：no such table: no_such_table（错误代码 1）",
                           "执行 SQL 失败：near \"SELEC\": syntax error（错误代码 1）"}));

    // The reset clears the choice boxes but leaves the connection alone.
    dialog.ConnectionString->setEditText("Provider=SQLite;Data Source=/nowhere.db");
    dialog.ConnectionStringClick();
    EXPECT_EQ(dialog.MasterTableName->count(), 0);
    EXPECT_EQ(dialog.MasterTableName->currentText(), "");
    EXPECT_EQ(dialog.MasterSQL->toPlainText(), "");
    EXPECT_EQ(conn.ConnectionString(), "Provider=SQLite;Data Source=" + path.toStdString());

    // Escape does not close the dialog; Enter in the connection string box closes its open
    // list, and with the list closed it does not press "确认" either.
    dialog.ConnectionString->setEditText(QString::fromStdString(conn.ConnectionString()));
    dialog.OpenCommand("orders", CommandType::cmdTable);
    dialog.ConnectionString->setFocus();
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    dialog.ConnectionString->showPopup();
    EXPECT_TRUE(dialog.ConnectionString->DroppedDown());
    dialog.ConnectionStringKeyPress(Qt::Key_Return);
    EXPECT_FALSE(dialog.ConnectionString->DroppedDown());
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(dialog.btnok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dataset.CommandText(), "orders");
    EXPECT_TRUE(shown.errors.isEmpty()) << shown.errors.join('\n').toStdString();
}

namespace {

// Answers every report with "go on" until its budget is spent: a user who clicks 取消 after
// a while.
struct CancelAfter : ProgressSink {
    explicit CancelAfter(int reports) : left(reports) {}
    bool progress(const char*, int64_t, int64_t) override { return --left > 0; }
    int left;
};

} // namespace

// A table whose query never ends (a view over an endless recursion) is picked; 取消 in the
// progress window stops it in SQLite, the data set stays closed and the preview empty, and
// the next pick opens.
TEST(DataSourceDialog, ACancelledPickLeavesTheDataSetClosed) {
    app();
    ShownMessages shown;
    const std::string path = rgtest::makeSqliteFile("endlessview", R"(
        create table t(id integer primary key);
        insert into t values (1), (2);
        create view endless as with recursive s(n) as (select 1 union all select n + 1 from s)
            select count(*) as n from s;)");
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(path));
    DataSet dataset(&conn);
    TFRMDBSETUP dialog;
    dialog.AssignDataSet(dataset);
    dialog.AssignConnection(conn);
    dialog.OpenCommand("t", CommandType::cmdTable);
    ASSERT_EQ(dialog.ds->rowCount(), 2);
    QStringList notices;
    MessageSink previous = setNoticeSink([&](const QString& m) { notices << m; });
    {
        CancelAfter sink(3);
        ProgressScope scope(&sink);
        dialog.OpenCommand("endless", CommandType::cmdTable);
    }
    setNoticeSink(previous);
    EXPECT_EQ(notices, QStringList{"操作已取消。"});
    EXPECT_FALSE(dataset.Active());
    EXPECT_EQ(dialog.ds->rowCount(), 0);
    EXPECT_TRUE(shown.errors.isEmpty());
    dialog.OpenCommand("t", CommandType::cmdTable);
    EXPECT_EQ(dialog.ds->rowCount(), 2);
}

// What the user chose in the SQL builder, the table box or the table list does not run:
// the dialog says why at once, rather than leaving an empty preview and an empty grid.
TEST(DataSourceDialog, ErrorsOfTheChoicesShowAtOnce) {
    app();
    ShownMessages shown;
    QTemporaryDir dir;
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=" + makeDatabase(dir).toStdString());
    DataSet dataset(&conn);
    dataset.SetCommandType(CommandType::cmdTable);
    dataset.SetCommandText("orders");
    dataset.Open();
    TFRMDBSETUP dialog;
    dialog.AssignDataSet(dataset);
    dialog.AssignConnection(conn);
    dialog.show();
    ASSERT_EQ(dialog.ds->rowCount(), 2);

    onNextModal(
        [](QWidget* w) {
            auto* e = static_cast<TSQLEditForm*>(w);
            e->SQLMemo->setPlainText("selec * from orders");
            QTest::mouseClick(e->OkButton, Qt::LeftButton);
        },
        &dialog);
    QTest::mouseClick(dialog.EditCommandText, Qt::LeftButton);
    ASSERT_EQ(shown.errors.size(), 1);
    EXPECT_TRUE(shown.errors[0].contains("selec")) << shown.errors[0].toStdString();
    EXPECT_FALSE(dataset.Active());
    EXPECT_EQ(dataset.CommandText(), "selec * from orders");
    EXPECT_EQ(dialog.ds->rowCount(), 0);

    dialog.MasterTableName->setEditText("gone");
    dialog.MasterTableNameClick();
    ASSERT_EQ(shown.errors.size(), 2);
    EXPECT_TRUE(shown.errors[1].contains("gone")) << shown.errors[1].toStdString();

    // A table list from a database that cannot be opened.
    conn.Close();
    conn.SetConnectionString("Provider=SQLite;Data Source=" + dir.path().toStdString() +
                             "/none/x.db");
    dialog.MasterTableName->clear();
    dialog.MasterTableNameDropDown();
    EXPECT_EQ(shown.errors.size(), 3);
    EXPECT_EQ(dialog.MasterTableName->count(), 0);
    EXPECT_TRUE(shown.notices.isEmpty());
}

// The procedure dialog on a database that cannot be opened: its list and the description of
// a typed procedure say why at once instead of staying empty.
TEST(DataSourceDialog, ProcedureErrorsShowAtOnce) {
    app();
    ShownMessages shown;
    QTemporaryDir dir;
    const std::string missing = dir.path().toStdString() + "/none/x.db";
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=" + missing);
    DataSet dataset(&conn);
    TfrmParameterSetup dialog;
    dialog.DataSet = &dataset;
    dialog.MasterTableNameDropDown();
    ASSERT_EQ(shown.errors.size(), 1);
    EXPECT_TRUE(shown.errors[0].contains(QString::fromStdString(missing)))
        << shown.errors[0].toStdString();
    EXPECT_EQ(dialog.MasterTableName->count(), 0);
    dialog.MasterTableName->setEditText("monthly");
    dialog.MasterTableNameClick();
    EXPECT_EQ(shown.errors.size(), 2);
    EXPECT_EQ(dialog.lstparamterlist->count(), 0);
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdStoredProc);
}

// The box that lets a stored procedure write shows and sets the data set's permission, only
// for procedures; the connection string shows its password masked, and a string left as
// shown keeps it.
TEST(DataSourceDialog, ProcedureWritesBoxAndMaskedPassword) {
    app();
    QTemporaryDir dir;
    const QString path = makeDatabase(dir);
    const std::string cs = "Provider=SQLite;Data Source=" + path.toStdString() + ";PWD=secret";
    Connection conn;
    conn.SetConnectionString(cs);
    DataSet dataset(&conn);
    dataset.SetCommandType(CommandType::cmdStoredProc);
    dataset.SetCommandText("monthly");
    dataset.SetProcedureMayWrite(true);
    onNextModal([&](QWidget* w) {
        auto* d = static_cast<TFRMDBSETUP*>(w);
        EXPECT_TRUE(d->chkprocedurewrites->isEnabled());
        EXPECT_TRUE(d->chkprocedurewrites->isChecked());
        EXPECT_FALSE(d->ConnectionString->currentText().contains("secret"));
        rgtest::savePicture(*d, "dbsetup-procedure-writes");
        QTest::mouseClick(d->chkprocedurewrites, Qt::LeftButton);
        EXPECT_FALSE(dataset.ProcedureMayWrite());
        d->MasterTableName->setEditText("orders");
        d->MasterTableNameClick();
        EXPECT_FALSE(d->chkprocedurewrites->isEnabled());
        QTest::mouseClick(d->btncancel, Qt::LeftButton);
    });
    RunDataSourceDialog(nullptr, dataset, conn);
    EXPECT_EQ(conn.ConnectionString(), cs);
}

// A new string given through "..." closes the connection and its data set even when the
// editor is cancelled: neither the preview nor the table list keeps the old database's rows
// and tables. 取消 then brings back the connection string and the data set as they were.
TEST(DataSourceDialog, ANewConnectionStringClosesTheDataSet) {
    app();
    QTemporaryDir dir;
    const std::string first = "Provider=SQLite;Data Source=" + makeDatabase(dir).toStdString();
    const QString second = "Provider=SQLite;Data Source=" + dir.path() + "/other.db";
    Connection conn;
    conn.SetConnectionString(first);
    DataSet dataset(&conn);
    dataset.SetCommandText("SELECT * FROM orders");
    dataset.Open();
    onNextModal([&](QWidget* w) {
        auto* d = static_cast<TFRMDBSETUP*>(w);
        EXPECT_EQ(d->ds->rowCount(), 2);
        d->MasterTableNameDropDown();
        EXPECT_EQ(d->MasterTableName->count(), 3);
        d->ConnectionString->setEditText(second);
        onNextModal(
            [](QWidget* e) {
                QTest::mouseClick(static_cast<TConnEditForm*>(e)->CancelButton, Qt::LeftButton);
            },
            d);
        QTest::mouseClick(d->EditConnStr, Qt::LeftButton);
        EXPECT_EQ(conn.ConnectionString(), second.toStdString());
        EXPECT_FALSE(dataset.Active());
        EXPECT_EQ(d->ds->rowCount(), 0);
        EXPECT_EQ(d->MasterTableName->count(), 0);
        QTest::mouseClick(d->btncancel, Qt::LeftButton);
    });
    EXPECT_FALSE(RunDataSourceDialog(nullptr, dataset, conn));
    EXPECT_EQ(conn.ConnectionString(), first);
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.RecordCount(), 2);
}

class ConnEditor : public ::testing::Test {
protected:
    void SetUp() override {
        app();
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        folder = home.path() + "/reportgen/Data Links";
        QDir().mkpath(folder);
        for (const char* name : {"b.udl", "a.UDL", "notes.txt"}) {
            QFile f(folder + "/" + name);
            f.open(QIODevice::WriteOnly);
        }
        QDir().mkpath(folder + "/dir.udl");
    }
    // The editor's answer when `edit` has changed its boxes and OK was pressed.
    QString choose(const QString& initial, std::function<void(TConnEditForm&)> edit,
                   bool ok = true) {
        TConnEditForm editor;
        onNextModal([&](QWidget*) {
            edit(editor);
            QTest::mouseClick(ok ? editor.OkButton : editor.CancelButton, Qt::LeftButton);
        });
        return editor.ChooseConnectionString(initial);
    }
    QTemporaryDir home;
    QString folder;
};

TEST_F(ConnEditor, FileNameRules) {
    EXPECT_EQ(DataLinkFolder(), folder);
    QStringList files;
    EXPECT_EQ(ListDataLinkFiles(files), 2);
    EXPECT_TRUE(files.contains("b.udl") && files.contains("a.UDL"));

    // Another letter case is no file reference: the whole string is edited as text.
    QString shown;
    EXPECT_EQ(choose("file name=x.udl",
                     [&](TConnEditForm& e) {
                         EXPECT_TRUE(e.UseConnectionString->isChecked());
                         EXPECT_FALSE(e.DataLinkFile->isEnabled());
                         shown = e.ConnectionString->text();
                     }),
              "file name=x.udl");
    EXPECT_EQ(shown, "file name=x.udl");

    // A file in the data link folder shows by its bare name and comes back whole.
    QString inFolder = "FILE NAME=" + folder + "/b.udl";
    EXPECT_EQ(choose(inFolder,
                     [&](TConnEditForm& e) {
                         EXPECT_TRUE(e.UseDataLinkFile->isChecked());
                         shown = e.DataLinkFile->currentText();
                     }),
              inFolder);
    EXPECT_EQ(shown, "b.udl");
    EXPECT_EQ(choose("",
                     [](TConnEditForm& e) {
                         e.UseDataLinkFile->click();
                         e.DataLinkFile->setEditText("new.udl");
                     }),
              "FILE NAME=" + folder + "/new.udl");
    EXPECT_EQ(choose("",
                     [](TConnEditForm& e) {
                         e.UseDataLinkFile->click();
                         e.DataLinkFile->setEditText("/srv/links/x.udl");
                     }),
              "FILE NAME=/srv/links/x.udl");
    // An empty file box is the empty string; Cancel returns what came in.
    EXPECT_EQ(choose("DSN=x", [](TConnEditForm& e) { e.UseDataLinkFile->click(); }), "");
    EXPECT_EQ(choose(
                  "DSN=x", [](TConnEditForm& e) { e.ConnectionString->setText("DSN=y"); }, false),
              "DSN=x");

    Connection conn;
    conn.SetConnectionString("DSN=x");
    QString caption;
    onNextModal([&](QWidget* w) {
        caption = w->windowTitle();
        QTest::mouseClick(w->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    EXPECT_FALSE(RunConnectionEditor(conn));
    EXPECT_EQ(caption, "frmquorvel.conn ConnectionString");
    onNextModal([&](QWidget* w) {
        w->findChild<QRadioButton*>("UseDataLinkFile")->click();
        QTest::mouseClick(w->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    EXPECT_TRUE(RunConnectionEditor(conn));
    EXPECT_EQ(conn.ConnectionString(), "");
}

// An OLE DB string of the original program shows as the ODBC string it runs as, with a note;
// confirmed as shown it stays as given, edited it becomes the edited text.
TEST_F(ConnEditor, OleDbStringsShowTheirTranslation) {
    const QString oledb =
        "Provider=SQLOLEDB.1;Password=pw;User ID=sa;Initial Catalog=erp;Data Source=srv";
    QString shown, note;
    bool noteVisible = false;
    EXPECT_EQ(choose(oledb,
                     [&](TConnEditForm& e) {
                         shown = e.ConnectionString->text();
                         note = e.TranslatedNote->text();
                         noteVisible = e.TranslatedNote->isVisible();
                     }),
              oledb);
    // The password shows masked.
    EXPECT_EQ(shown, "Driver={FreeTDS};Server=srv;Database=erp;UID=sa;PWD=******");
    EXPECT_TRUE(noteVisible);
    EXPECT_TRUE(note.contains("SQLOLEDB.1")) << note.toStdString();
    EXPECT_EQ(choose(oledb,
                     [](TConnEditForm& e) {
                         e.ConnectionString->setText(e.ConnectionString->text() + ";Port=1433");
                     }),
              "Driver={FreeTDS};Server=srv;Database=erp;UID=sa;PWD=pw;Port=1433");
    // Neither an ODBC string nor a refused provider gets a translation.
    EXPECT_EQ(choose("Provider=MSDAORA;Data Source=x",
                     [&](TConnEditForm& e) {
                         shown = e.ConnectionString->text();
                         noteVisible = e.TranslatedNote->isVisible();
                     }),
              "Provider=MSDAORA;Data Source=x");
    EXPECT_EQ(shown, "Provider=MSDAORA;Data Source=x");
    EXPECT_FALSE(noteVisible);

    Connection conn;
    conn.SetConnectionString(oledb.toStdString());
    onNextModal([](QWidget* w) {
        QTest::mouseClick(w->findChild<QPushButton*>("OkButton"), Qt::LeftButton);
    });
    EXPECT_FALSE(RunConnectionEditor(conn));
    EXPECT_EQ(conn.ConnectionString(), oledb.toStdString());
}

namespace {
// Presses Test Connection and returns the text of the box that reports it.
QString testConnection(TConnPropertiesDialog& dialog) {
    QString text;
    onNextModal(
        [&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            text = box->text();
            box->accept();
        },
        &dialog);
    dialog.TestConnectionClick();
    return text;
}
} // namespace

TEST(ConnProperties, BuildsAndTestsStrings) {
    app();
    QTemporaryDir dir;
    QString path = makeDatabase(dir);
    TConnPropertiesDialog dialog;
    dialog.show();
    dialog.setConnectionString("");
    EXPECT_EQ(dialog.ProviderList->currentIndex(), 0);
    EXPECT_GE(dialog.ProviderList->findText("ODBC driver: SQLite3"), 0);
    dialog.DatabaseFile->setText(path);
    QString builtin = dialog.connectionString();
    EXPECT_EQ(builtin, "Provider=SQLite;Data Source=" + path);
    EXPECT_EQ(testConnection(dialog), "Test connection succeeded.");

    dialog.ProviderList->setCurrentIndex(dialog.ProviderList->findText("ODBC driver: SQLite3"));
    EXPECT_TRUE(dialog.DatabaseFile->isVisible());
    EXPECT_FALSE(dialog.Server->isVisible());
    QString odbc = dialog.connectionString();
    EXPECT_EQ(odbc, "Driver={SQLite3};Database=" + path);
    for (const QString& s : {builtin, odbc}) {
        Connection c;
        c.SetConnectionString(s.toStdString());
        DataSet d(&c);
        d.SetCommandText("SELECT count(*) FROM orders");
        d.Open();
        EXPECT_EQ(d.displayText(0, 0), "2") << s.toStdString();
    }
    // The dialog starts from the string it is given, unknown keys kept.
    dialog.setConnectionString("Driver={SQLite3};Database=" + path + ";Timeout=5");
    EXPECT_EQ(dialog.DatabaseFile->text(), path);
    EXPECT_EQ(dialog.OtherAttributes->text(), "Timeout=5");
    EXPECT_EQ(dialog.connectionString(), "Driver={SQLite3};Database=" + path + ";Timeout=5");

    // The query timeout has a box of its own; none is the default and writes nothing.
    dialog.setConnectionString("Provider=SQLite;Data Source=" + path + ";query timeout=30");
    EXPECT_EQ(dialog.QueryTimeout->value(), 30);
    EXPECT_EQ(dialog.OtherAttributes->text(), "");
    EXPECT_EQ(dialog.connectionString(),
              "Provider=SQLite;Data Source=" + path + ";Query Timeout=30");
    EXPECT_EQ(testConnection(dialog), "Test connection succeeded.");
    dialog.QueryTimeout->setValue(0);
    EXPECT_EQ(dialog.connectionString(), "Provider=SQLite;Data Source=" + path);
    dialog.setConnectionString("Provider=SQLite;Data Source=" + path + ";Query Timeout=soon");
    EXPECT_EQ(dialog.QueryTimeout->value(), 0);
    EXPECT_EQ(dialog.OtherAttributes->text(), "Query Timeout=soon");
    EXPECT_TRUE(
        testConnection(dialog).startsWith("连接数据库失败：连接字符串中“Query Timeout”的值“soon”"));

    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG names the test PostgreSQL server";
    dialog.setConnectionString(QString::fromStdString(pg));
    EXPECT_TRUE(dialog.Server->isVisible());
    EXPECT_FALSE(dialog.Password->text().isEmpty());
    QString built = dialog.connectionString();
    EXPECT_EQ(testConnection(dialog), "Test connection succeeded.");
    {
        Connection c;
        c.SetConnectionString(built.toStdString());
        c.Open();
        EXPECT_TRUE(c.Connected());
    }
    dialog.Password->setText("wrong-password");
    QString message = testConnection(dialog);
    EXPECT_TRUE(message.contains("password", Qt::CaseInsensitive)) << message.toStdString();
    EXPECT_TRUE(message.startsWith("连接数据库失败：")) << message.toStdString();
    EXPECT_TRUE(message.contains("（SQLSTATE 08001，错误代码 ")) << message.toStdString();
    EXPECT_TRUE(dialog.isVisible());
}
