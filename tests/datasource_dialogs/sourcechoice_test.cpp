// What the data source dialog takes from its boxes as typed, what "确认" opens and what
// "取消" leaves: a typed SQL text or table name is the command "确认" opens, a typed
// connection string is taken on Tab and Enter, a command that does not open keeps the dialog
// open, and 取消 hands the connection and the data set back as they came.

#include "dialogtest.h"

#include "datasource/dataset.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/dropdownbox.h"
#include "datasource/ui/previewmodel.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

using rgtest::app;
using rgtest::makeDatabase;
using rgtest::onNextModal;
using rgtest::ShownMessages;

namespace {

// Counts what a data set tells its observers.
struct EventCount : DataSetObserver {
    explicit EventCount(DataSet& ds) : ds_(ds) { ds_.addObserver(this); }
    ~EventCount() override { ds_.removeObserver(this); }
    void dataSetEvent(DataEvent) override { ++events; }
    int events = 0;

private:
    DataSet& ds_;
};

TFRMDBSETUP& dialogOf(QWidget* w) {
    return *static_cast<TFRMDBSETUP*>(w);
}

// Types into the SQL box as a user would, after what it holds.
void typeSql(TFRMDBSETUP& d, const QString& sql) {
    d.MasterSQL->setFocus();
    d.MasterSQL->selectAll();
    QTest::keyClicks(d.MasterSQL, sql);
}

// Replaces the text of a drop-down box by typing.
void typeInto(TDropDownBox* box, const QString& text) {
    box->setFocus();
    box->lineEdit()->selectAll();
    QTest::keyClicks(box, text);
}

struct Shop {
    QTemporaryDir dir;
    std::string connection = "Provider=SQLite;Data Source=" + makeDatabase(dir).toStdString();
    // A folder that is not there: SQLite cannot create the file.
    std::string missingFile = dir.path().toStdString() + "/none/x.db";
    std::string refused = "Provider=SQLite;Data Source=" + missingFile;
    Connection conn;
    DataSet dataset{&conn};
    // The shop's orders, open.
    Shop() {
        conn.SetConnectionString(connection);
        dataset.SetCommandType(CommandType::cmdTable);
        dataset.SetCommandText("orders");
        dataset.Open();
    }
};

} // namespace

// Text typed into the SQL box or the table box, without the "..." builder or a pick from the
// list, is what "确认" opens; the last box typed into or chosen from wins.
TEST(DataSourceChoice, TypedCommandsAreWhatConfirmOpens) {
    app();
    ShownMessages shown;
    Shop shop;
    DataSet& dataset = shop.dataset;

    onNextModal([](QWidget* w) {
        typeSql(dialogOf(w), "select name from Customers");
        QTest::mouseClick(dialogOf(w).btnok, Qt::LeftButton);
    });
    EXPECT_TRUE(RunDataSourceDialog(nullptr, dataset, shop.conn));
    EXPECT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdText);
    EXPECT_EQ(dataset.CommandText(), "select name from Customers");
    EXPECT_EQ(dataset.RecordCount(), 3);

    // Enter in the table box presses "确认", which opens the typed table.
    onNextModal([](QWidget* w) {
        TFRMDBSETUP& d = dialogOf(w);
        EXPECT_EQ(d.MasterSQL->toPlainText(), "select name from Customers");
        typeInto(d.MasterTableName, "bins");
        QTest::keyClick(d.MasterTableName, Qt::Key_Return);
    });
    EXPECT_TRUE(RunDataSourceDialog(nullptr, dataset, shop.conn));
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdTable);
    EXPECT_EQ(dataset.CommandText(), "bins");
    EXPECT_TRUE(dataset.Active());

    // SQL typed after a table was picked wins, and a table picked after typed SQL wins.
    onNextModal([](QWidget* w) {
        TFRMDBSETUP& d = dialogOf(w);
        d.MasterTableName->setEditText("Customers");
        d.MasterTableNameClick();
        typeSql(d, "select item from orders");
        QTest::mouseClick(d.btnok, Qt::LeftButton);
    });
    EXPECT_TRUE(RunDataSourceDialog(nullptr, dataset, shop.conn));
    EXPECT_EQ(dataset.CommandText(), "select item from orders");
    EXPECT_EQ(dataset.RecordCount(), 2);
    onNextModal([](QWidget* w) {
        TFRMDBSETUP& d = dialogOf(w);
        typeSql(d, "select id from bins");
        d.MasterTableName->setEditText("Customers");
        d.MasterTableNameClick();
        QTest::mouseClick(d.btnok, Qt::LeftButton);
    });
    EXPECT_TRUE(RunDataSourceDialog(nullptr, dataset, shop.conn));
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdTable);
    EXPECT_EQ(dataset.CommandText(), "Customers");
    EXPECT_TRUE(shown.errors.isEmpty()) << shown.errors.join('\n').toStdString();
}

// A connection string typed into its box becomes the connection's when the box is left with
// Tab or Enter: the data set closes with the old database, and the table list is the new
// database's. One that cannot connect says why at once. Enter never closes the dialog.
TEST(DataSourceChoice, TheTypedConnectionStringIsTakenOnTabAndEnter) {
    app();
    ShownMessages shown;
    Shop shop;
    const QString regions = QString::fromStdString(rgtest::builtin(
        rgtest::makeSqliteFile("regions", "create table regions(id integer primary key, name text);"
                                          "insert into regions values (1, 'east');")));
    TFRMDBSETUP dialog;
    dialog.AssignDataSet(shop.dataset);
    dialog.AssignConnection(shop.conn);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_EQ(dialog.ds->rowCount(), 2);
    dialog.MasterTableName->showPopup();
    ASSERT_EQ(dialog.MasterTableName->count(), 3);
    dialog.MasterTableName->hidePopup();

    typeInto(dialog.ConnectionString, regions);
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.MasterTableName);
    EXPECT_EQ(shop.conn.ConnectionString(), regions.toStdString());
    EXPECT_FALSE(shop.dataset.Active());
    EXPECT_EQ(dialog.ds->rowCount(), 0);
    ASSERT_EQ(dialog.MasterTableName->count(), 1);
    EXPECT_EQ(dialog.MasterTableName->itemText(0), "regions");
    EXPECT_EQ(dialog.MasterTableName->currentText(), "");
    EXPECT_TRUE(shown.errors.isEmpty()) << shown.errors.join('\n').toStdString();
    dialog.MasterTableName->setCurrentIndex(0);
    dialog.MasterTableNameClick();
    EXPECT_EQ(dialog.ds->rowCount(), 1);

    typeInto(dialog.ConnectionString, QString::fromStdString(shop.refused));
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Tab);
    ASSERT_EQ(shown.errors.size(), 1);
    EXPECT_TRUE(shown.errors[0].startsWith("连接数据库失败：")) << shown.errors[0].toStdString();
    EXPECT_TRUE(shown.errors[0].contains(QString::fromStdString(shop.missingFile)))
        << shown.errors[0].toStdString();
    EXPECT_EQ(dialog.MasterTableName->count(), 0);
    EXPECT_EQ(dialog.ds->rowCount(), 0);
    // Leaving the box again with the same string does not ask again.
    dialog.ConnectionString->setFocus();
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Tab);
    EXPECT_EQ(shown.errors.size(), 1);

    typeInto(dialog.ConnectionString, QString::fromStdString(shop.connection));
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(shop.conn.ConnectionString(), shop.connection);
    EXPECT_EQ(dialog.MasterTableName->count(), 3);
    QTest::keyClick(dialog.ConnectionString, Qt::Key_Enter);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(shown.errors.size(), 1);

    // A click on "取消" is no leaving the box that asks the database.
    typeInto(dialog.ConnectionString, QString::fromStdString(shop.refused));
    QTest::mouseClick(dialog.btncancel, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(shown.errors.size(), 1) << shown.errors.join('\n').toStdString();
    EXPECT_EQ(shop.conn.ConnectionString(), shop.connection);
    EXPECT_TRUE(shop.dataset.Active());
    EXPECT_EQ(shop.dataset.CommandText(), "orders");
}

// "确认" closes the dialog only with the data set open. A command that does not open says
// why while the dialog stays open with what was typed; 取消 and the close box then hand the
// connection and the data set back as they came, and a 取消 with nothing changed does not
// touch them at all.
TEST(DataSourceChoice, ConfirmOpensOrSaysWhyAndCancelChangesNothing) {
    app();
    ShownMessages shown;
    Shop shop;
    DataSet& dataset = shop.dataset;
    dataset.FieldByName("item").SetDisplayLabel("品名");
    {
        EventCount count(dataset);
        onNextModal([](QWidget* w) { QTest::mouseClick(dialogOf(w).btncancel, Qt::LeftButton); });
        EXPECT_FALSE(RunDataSourceDialog(nullptr, dataset, shop.conn));
        EXPECT_EQ(count.events, 0);
    }

    onNextModal([&](QWidget* w) {
        TFRMDBSETUP& d = dialogOf(w);
        typeSql(d, "selec * from orders");
        QTest::mouseClick(d.btnok, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        ASSERT_EQ(shown.errors.size(), 1);
        EXPECT_EQ(shown.errors[0], "执行 SQL 失败：near \"selec\": syntax error（错误代码 1）");
        EXPECT_EQ(d.MasterSQL->toPlainText(), "selec * from orders");

        typeInto(d.MasterTableName, "gone");
        QTest::mouseClick(d.btnok, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        ASSERT_EQ(shown.errors.size(), 2);
        EXPECT_EQ(shown.errors[1], "打开表“gone”失败：no such table: gone（错误代码 1）");
        EXPECT_EQ(d.MasterTableName->currentText(), "gone");

        // A connection string typed and left by the click on "确认" itself.
        typeInto(d.ConnectionString, QString::fromStdString(shop.refused));
        QTest::mouseClick(d.btnok, Qt::LeftButton);
        EXPECT_TRUE(d.isVisible());
        ASSERT_GE(shown.errors.size(), 3);
        EXPECT_TRUE(shown.errors.last().startsWith("连接数据库失败："))
            << shown.errors.last().toStdString();
        EXPECT_EQ(d.ConnectionString->currentText().toStdString(), shop.refused);
        QTest::mouseClick(d.btncancel, Qt::LeftButton);
    });
    EXPECT_FALSE(RunDataSourceDialog(nullptr, dataset, shop.conn));
    EXPECT_EQ(shop.conn.ConnectionString(), shop.connection);
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdTable);
    EXPECT_EQ(dataset.CommandText(), "orders");
    EXPECT_EQ(dataset.RecordCount(), 2);
    EXPECT_EQ(dataset.FieldByName("item").DisplayLabel(), "品名");

    // The close box after a caption, a table applied at once and the placement changed.
    onNextModal([](QWidget* w) {
        TFRMDBSETUP& d = dialogOf(w);
        d.N1->trigger();
        d.MasterTableName->setEditText("Customers");
        d.MasterTableNameClick();
        EXPECT_EQ(d.ds->rowCount(), 3);
        QTest::mouseClick(d.chkserversummary, Qt::LeftButton);
        d.close();
    });
    EXPECT_FALSE(RunDataSourceDialog(nullptr, dataset, shop.conn, [](DataSet& ds) {
        ds.FieldByName("item").SetDisplayLabel("货品");
    }));
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.CommandText(), "orders");
    EXPECT_EQ(dataset.GetRowPlacement(), RowPlacement::Auto);
    EXPECT_FALSE(dataset.ServerSide());
    EXPECT_EQ(dataset.FieldByName("item").DisplayLabel(), "品名");

    // A data set with no command yet: "确认" says what is missing and stays.
    Connection conn;
    conn.SetConnectionString(shop.connection);
    DataSet empty(&conn);
    QString missing;
    onNextModal([&](QWidget* w) {
        QTest::mouseClick(dialogOf(w).btnok, Qt::LeftButton);
        EXPECT_TRUE(w->isVisible());
        missing = shown.errors.last();
        QTest::mouseClick(dialogOf(w).btncancel, Qt::LeftButton);
    });
    EXPECT_FALSE(RunDataSourceDialog(nullptr, empty, conn));
    EXPECT_EQ(missing, "没有选择数据：请在“数据表”中选择表、在“查询”中输入 SQL "
                       "或在“存储过程”中选择过程。");
    EXPECT_FALSE(empty.Active());
}
