// The stored-procedure parameter dialog against the PostgreSQL test server.

#include "dialogtest.h"

#include "common/ui/commandguard.h"
#include "datasource/dataset.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/dropdownbox.h"
#include "datasource/ui/previewmodel.h"
#include "datasource/ui/setupparameters.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
using rgtest::entries;

namespace {

// Picks a procedure with a mouse click in the box's open list.
void chooseProcedure(TfrmParameterSetup& d, const QString& name) {
    d.MasterTableName->showPopup();
    const int row = d.MasterTableName->findText(name);
    ASSERT_GE(row, 0) << name.toStdString();
    QAbstractItemView* view = d.MasterTableName->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
    ASSERT_FALSE(d.MasterTableName->DroppedDown());
}

// Clicks a parameter as a user would: the press moves the focus first.
void clickRow(QListWidget* list, int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

// Clicks into the value box and replaces its text as typed.
void typeValue(TfrmParameterSetup& d, const QString& text) {
    QTest::mouseClick(d.txtparametervalue, Qt::LeftButton);
    d.txtparametervalue->selectAll();
    d.txtparametervalue->insert(text); // QTest cannot type Chinese keys
}

class ParameterDialog : public ::testing::Test {
protected:
    void SetUp() override {
        rgtest::app();
        ASSERT_FALSE(rgtest::pgConnectionString().empty())
            << "RG_TEST_PG is not set: run scripts/test.sh";
        conn.SetConnectionString(rgtest::pgConnectionString());
        dataset.SetCommandType(CommandType::cmdTable);
        dataset.SetCommandText("sales");
    }
    void showDialog(TfrmParameterSetup& d) {
        d.DataSet = &dataset;
        d.show();
        QApplication::setActiveWindow(&d);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    }
    Connection conn;
    DataSet dataset{&conn};
};

} // namespace

TEST_F(ParameterDialog, ListsProceduresAndEveryParameter) {
    TfrmParameterSetup d;
    showDialog(d);
    // Every box starts empty, whatever command the data set holds.
    EXPECT_EQ(d.MasterTableName->currentText(), "");
    EXPECT_EQ(d.lstparamterlist->count(), 0);
    EXPECT_EQ(d.txtparametervalue->text(), "");
    EXPECT_EQ(dataset.CommandText(), "sales");

    // Tab order: procedure box, parameter list, value box, 确定, 取消.
    EXPECT_EQ(QApplication::focusWidget(), d.MasterTableName);
    for (QWidget* next : std::initializer_list<QWidget*>{d.lstparamterlist, d.txtparametervalue,
                                                         d.cmdok, d.cmdcancel}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }

    // The list is fetched once, sorted.
    d.MasterTableName->setFocus();
    d.MasterTableName->showPopup();
    QStringList procs;
    for (int i = 0; i < d.MasterTableName->count(); ++i)
        procs << d.MasterTableName->itemText(i);
    // Overloads once each with their argument types; other schemas' functions qualified.
    EXPECT_EQ(procs, QStringList({"add_tax", "bump_qty", "f_date", "f_over(int4)", "f_over(text)",
                                  "f_sum", "join_codes", "reset_edit_tables", "reset_grid_orders",
                                  "ro_remove_last", "sales_between", "sales_in_region",
                                  "sales_regions", "财务.rate_of", "财务.税 \"率\""}));
    d.MasterTableName->hidePopup();
    d.MasterTableName->showPopup();
    EXPECT_EQ(d.MasterTableName->count(), procs.size());

    // The arrow keys in the open list pick each procedure passed over.
    QAbstractItemView* view = d.MasterTableName->view();
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(d.MasterTableName->currentText(), "add_tax");
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdStoredProc);
    EXPECT_EQ(dataset.CommandText(), "add_tax");
    // Every direction: IN, INOUT, OUT.
    EXPECT_EQ(entries(d.lstparamterlist), QStringList({"p_amount", "p_rate", "p_total"}));
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(dataset.CommandText(), "bump_qty");
    EXPECT_EQ(entries(d.lstparamterlist), QStringList({"p_id", "p_by"}));
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_FALSE(d.MasterTableName->DroppedDown());
    EXPECT_TRUE(d.isVisible());
    // ... and so do they in the closed box. The unnamed return value is listed too.
    QTest::keyClick(d.MasterTableName, Qt::Key_Down);
    EXPECT_EQ(dataset.CommandText(), "f_date");
    EXPECT_EQ(entries(d.lstparamterlist), QStringList({"", "d"}));

    // A typed name is not applied, not even when the box is left.
    d.MasterTableName->lineEdit()->selectAll();
    QTest::keyClicks(d.MasterTableName->lineEdit(), "sales_in_region");
    QTest::keyClick(d.MasterTableName, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), d.lstparamterlist);
    EXPECT_EQ(dataset.CommandText(), "f_date");
    EXPECT_EQ(d.lstparamterlist->count(), 2);
    d.MasterTableName->setFocus();

    // A procedure without parameters leaves the list empty.
    chooseProcedure(d, "sales_regions");
    EXPECT_EQ(dataset.CommandText(), "sales_regions");
    EXPECT_EQ(d.lstparamterlist->count(), 0);
    EXPECT_EQ(dataset.ParameterCount(), 0);

    // Enter in the box presses 确定 and still applies no typed name.
    d.MasterTableName->lineEdit()->selectAll();
    QTest::keyClicks(d.MasterTableName->lineEdit(), "add_tax");
    QTest::keyClick(d.MasterTableName, Qt::Key_Return);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(dataset.CommandText(), "sales_regions");
}

TEST_F(ParameterDialog, ValuesAreWrittenWhenFocusMovesOn) {
    TfrmParameterSetup d;
    showDialog(d);
    chooseProcedure(d, "join_codes");
    ASSERT_EQ(dataset.ParameterCount(), 3);

    // Each value reaches its own parameter, although the names differ only in case.
    clickRow(d.lstparamterlist, 1);
    EXPECT_EQ(d.txtparametervalue->text(), "");
    typeValue(d, "A");
    clickRow(d.lstparamterlist, 2);
    EXPECT_EQ(d.txtparametervalue->text(), "");
    typeValue(d, QString::fromUtf8("北"));
    QTest::keyClick(d.txtparametervalue, Qt::Key_Tab);
    EXPECT_EQ(dataset.Parameters(1).Value(), Value::fromText("A"));
    EXPECT_EQ(dataset.Parameters(2).Value(), Value::fromText("北"));
    EXPECT_TRUE(dataset.Parameters(0).Value().isNull());
    clickRow(d.lstparamterlist, 1);
    EXPECT_EQ(d.txtparametervalue->text(), "A");

    // The same text as the value writes nothing: the number stays a number.
    dataset.Parameters(1).SetValue(Value::fromInt(7));
    clickRow(d.lstparamterlist, 1);
    EXPECT_EQ(d.txtparametervalue->text(), "7");
    QTest::mouseClick(d.txtparametervalue, Qt::LeftButton);
    QTest::keyClick(d.txtparametervalue, Qt::Key_Tab);
    EXPECT_EQ(dataset.Parameters(1).Value().type(), Value::Type::Int);
    typeValue(d, "A");
    QTest::mouseClick(d.cmdok, Qt::LeftButton); // the press leaves the box first
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(dataset.Parameters(1).Value(), Value::fromText("A"));

    dataset.Open();
    EXPECT_EQ(dataset.Parameters(0).Value().displayText(), "A-北");
    dataset.Close();

    // A new procedure keeps the old text in the value box, with no parameter selected.
    d.show();
    chooseProcedure(d, "add_tax");
    EXPECT_EQ(d.txtparametervalue->text(), "A");
    EXPECT_TRUE(d.lstparamterlist->selectedItems().isEmpty());
}

TEST_F(ParameterDialog, EnterAndEscapeLeaveTheTypedTextUnwritten) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        TfrmParameterSetup d;
        showDialog(d);
        chooseProcedure(d, "sales_in_region");
        clickRow(d.lstparamterlist, 0);
        typeValue(d, QString::fromUtf8("华东"));
        QTest::keyClick(d.txtparametervalue, key);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_TRUE(dataset.Parameters(0).Value().isNull());
        EXPECT_EQ(dataset.CommandText(), "sales_in_region"); // the choice itself stays
    }
}

TEST_F(ParameterDialog, OpenerRunsTheProcedureOnOkAndReportsItsErrors) {
    dataset.Open();
    TFRMDBSETUP setup;
    setup.AssignDataSet(dataset);
    setup.AssignConnection(conn);
    setup.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&setup));

    // OK opens the data set with the values typed; the procedure box keeps its text.
    QWidget* parent = nullptr;
    bool closedMeanwhile = false;
    rgtest::onNextModal(
        [&](QWidget* w) {
            auto& d = *static_cast<TfrmParameterSetup*>(w);
            parent = d.parentWidget();
            closedMeanwhile = !dataset.Active();
            chooseProcedure(d, "sales_in_region");
            clickRow(d.lstparamterlist, 0);
            typeValue(d, QString::fromUtf8("华东"));
            QTest::mouseClick(d.cmdok, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.btnstoreprocedure, Qt::LeftButton);
    EXPECT_EQ(parent, &setup);
    EXPECT_TRUE(closedMeanwhile);
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.GetCommandType(), CommandType::cmdStoredProc);
    EXPECT_EQ(dataset.CommandText(), "sales_in_region");
    EXPECT_EQ(dataset.RecordCount(), 1);
    EXPECT_EQ(setup.ds->rowCount(), 1);
    EXPECT_EQ(setup.txtstorcprocedure->text(), "");

    // Cancel leaves the data set closed, with the procedure chosen meanwhile.
    rgtest::onNextModal(
        [&](QWidget* w) {
            auto& d = *static_cast<TfrmParameterSetup*>(w);
            chooseProcedure(d, "sales_regions");
            QTest::mouseClick(d.cmdcancel, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.btnstoreprocedure, Qt::LeftButton);
    EXPECT_FALSE(dataset.Active());
    EXPECT_EQ(dataset.CommandText(), "sales_regions");
    EXPECT_EQ(setup.ds->rowCount(), 0);

    // Without parameters OK runs the bare call.
    rgtest::onNextModal(
        [&](QWidget* w) {
            QTest::mouseClick(static_cast<TfrmParameterSetup*>(w)->cmdok, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.btnstoreprocedure, Qt::LeftButton);
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.RecordCount(), 3);

    // A value the database refuses: the provider's message is shown, the dialog stays.
    QStringList messages;
    setErrorSink([&](const QString& m) { messages << m; });
    rgtest::onNextModal(
        [&](QWidget* w) {
            auto& d = *static_cast<TfrmParameterSetup*>(w);
            chooseProcedure(d, "add_tax");
            clickRow(d.lstparamterlist, 0);
            typeValue(d, "abc");
            QTest::mouseClick(d.cmdok, Qt::LeftButton);
        },
        &setup);
    QTest::mouseClick(setup.btnstoreprocedure, Qt::LeftButton);
    setErrorSink({});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("执行存储过程“add_tax”失败：")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("invalid input syntax")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("（SQLSTATE 22P02，错误代码 ")) << messages[0].toStdString();
    EXPECT_TRUE(setup.isVisible());
    EXPECT_FALSE(dataset.Active());
}

// 取消 in the data source dialog after another procedure was chosen and run hands back the
// procedure it was given, with its parameters and their values, open again.
TEST_F(ParameterDialog, CancelGivesBackTheProcedureAndItsValues) {
    dataset.SetCommandType(CommandType::cmdStoredProc);
    dataset.SetCommandText("sales_in_region");
    dataset.RefreshParameters();
    ASSERT_EQ(dataset.ParameterCount(), 1);
    dataset.Parameters(0).SetValue(Value::fromText("华东"));
    dataset.Open();
    ASSERT_EQ(dataset.RecordCount(), 1);
    rgtest::onNextModal([&](QWidget* w) {
        auto& setup = *static_cast<TFRMDBSETUP*>(w);
        rgtest::onNextModal(
            [](QWidget* p) {
                auto& d = *static_cast<TfrmParameterSetup*>(p);
                chooseProcedure(d, "sales_regions");
                QTest::mouseClick(d.cmdok, Qt::LeftButton);
            },
            &setup);
        QTest::mouseClick(setup.btnstoreprocedure, Qt::LeftButton);
        EXPECT_EQ(dataset.CommandText(), "sales_regions");
        EXPECT_EQ(dataset.RecordCount(), 3);
        EXPECT_EQ(dataset.ParameterCount(), 0);
        QTest::mouseClick(setup.btncancel, Qt::LeftButton);
    });
    EXPECT_FALSE(RunDataSourceDialog(nullptr, dataset, conn));
    ASSERT_TRUE(dataset.Active());
    EXPECT_EQ(dataset.CommandText(), "sales_in_region");
    ASSERT_EQ(dataset.ParameterCount(), 1);
    EXPECT_EQ(dataset.Parameters(0).Name, "p_region");
    EXPECT_EQ(dataset.Parameters(0).Value(), Value::fromText("华东"));
    EXPECT_EQ(dataset.RecordCount(), 1);
}
