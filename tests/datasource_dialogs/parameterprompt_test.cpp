// Named parameters in the windows: the data source dialog's table of them, and the prompt
// that asks for their values before a report opens.

#include "dialogtest.h"

#include "common/datepresets.h"
#include "datasource/dataset.h"
#include "datasource/ui/dbsetup.h"
#include "datasource/ui/parameterprompt.h"
#include "datasource/ui/parametertable.h"
#include "datasource/ui/previewmodel.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

using rgtest::app;
using rgtest::makeDatabase;
using rgtest::ShownMessages;

TEST(ParameterTable, TheSqlTextsParametersAreListedAndTheirDefaultsOpenIt) {
    app();
    ShownMessages shown;
    QTemporaryDir dir;
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=" + makeDatabase(dir).toStdString());
    DataSet dataset(&conn);
    TFRMDBSETUP dialog;
    dialog.AssignDataSet(dataset);
    dialog.AssignConnection(conn);
    dialog.show();
    ASSERT_FALSE(dialog.ParameterTable->isVisible());
    const int plainHeight = dialog.height();

    // Without values the open says which one is missing, and the table lists both.
    EXPECT_FALSE(dialog.OpenCommand(
        "select id, qty from orders where qty >= :最少 and item <> ':物品' and item <> :物品",
        CommandType::cmdText));
    ASSERT_EQ(shown.errors.size(), 1);
    EXPECT_TRUE(shown.errors[0].contains("参数“最少”没有值")) << shown.errors[0].toStdString();
    TParameterTable* table = dialog.ParameterTable;
    ASSERT_TRUE(table->isVisible());
    EXPECT_GT(dialog.height(), plainHeight);
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(0, 0)->text(), "最少");
    EXPECT_EQ(table->item(1, 0)->text(), "物品");

    auto* type = table->findChild<QComboBox*>("ParameterType1");
    ASSERT_NE(type, nullptr);
    type->setCurrentIndex(type->findText("数字"));
    table->item(0, 2)->setText("2");
    table->item(1, 2)->setText("nothing");
    ASSERT_EQ(dataset.SqlParameters().size(), 2u);
    EXPECT_EQ(dataset.SqlParameters()[0].type, SqlParameterType::Number);
    EXPECT_EQ(dataset.SqlParameters()[0].defaultValue, "2");
    dialog.btnokClick();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dataset.Active());
    EXPECT_EQ(shown.errors.size(), 1) << shown.errors.join('\n').toStdString();
}

TEST(ParameterPrompt, SavedDefaultsPresetsAndTheAsOfDayGiveTheValues) {
    app();
    ShownMessages shown;
    std::vector<SqlParameter> params = {
        {"开始", SqlParameterType::Date, "@上月", "结束", {}, {}},
        {"结束", SqlParameterType::Date, {}, {}, {}, {}},
        {"数量", SqlParameterType::Number, "10", {}, {}, {}},
        {"渠道", SqlParameterType::List, "线上", {}, {}, {"线上", "门店"}},
    };
    TParameterPrompt prompt(params, {{"数量", "12"}}, *parseIsoDay("2026-03-10"), {});
    prompt.show();
    ASSERT_EQ(prompt.valueBoxes.size(), 4u);
    QComboBox* start = prompt.findChild<QComboBox*>("ParameterValue1");
    QComboBox* quantity = prompt.findChild<QComboBox*>("ParameterValue3");
    ASSERT_NE(start, nullptr);
    ASSERT_NE(quantity, nullptr);
    EXPECT_EQ(start->currentText(), "上月");
    EXPECT_EQ(prompt.valueBoxes[1]->currentText(), "");
    EXPECT_EQ(quantity->currentText(), "12"); // what was given wins over the default
    EXPECT_EQ(prompt.valueBoxes[3]->count(), 2);
    // Periods are offered only where they set a range.
    EXPECT_GE(start->findText("本季度"), 0);
    EXPECT_GE(prompt.valueBoxes[1]->findText("上月末"), 0);
    EXPECT_LT(prompt.valueBoxes[1]->findText("本季度"), 0);
    EXPECT_EQ(prompt.AsOfDate->date(), QDate(2026, 3, 10));

    quantity->setCurrentText("十二");
    QTest::mouseClick(prompt.btnok, Qt::LeftButton);
    ASSERT_EQ(shown.errors.size(), 1);
    EXPECT_TRUE(shown.errors[0].contains("参数“数量”的值“十二”不是数字"))
        << shown.errors[0].toStdString();
    EXPECT_TRUE(prompt.isVisible());

    quantity->setCurrentText("12");
    prompt.valueBoxes[1]->setCurrentText("2026-03-05");
    prompt.AsOfDate->setDate(QDate(2026, 1, 5));
    QTest::mouseClick(prompt.btnok, Qt::LeftButton);
    EXPECT_EQ(prompt.result(), QDialog::Accepted);
    EXPECT_EQ(prompt.texts(),
              (ParameterTexts{
                  {"开始", "@上月"}, {"结束", "2026-03-05"}, {"数量", "12"}, {"渠道", "线上"}}));
    EXPECT_EQ(prompt.asOfDay(), parseIsoDay("2026-01-05"));
}
