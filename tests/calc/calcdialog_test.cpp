// The dialog 计算字段 over the demo sales, offscreen: the check as the user types, the fields
// it gives back, and the window's menu entry that applies them as one undoable step.

#include "app/ui/calcfielddialog.h"
#include "datasource/dataset.h"
#include "document/reportdocument.h"
#include "qtapplication.h"
#include "setup/reportdefinition.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

TEST(CalcDialog, ChecksAsTypedAndGivesTheFields) {
    rgtest::qtApp();
    ReportDocument doc;
    doc.loadFile(std::string(RG_BINARY_DIR) + "/setup/销售明细.ini");
    TfrmCalcFields dialog(nullptr, doc.dataSet());
    for (QWidget* w : dialog.findChildren<QWidget*>())
        if (!qobject_cast<QWidget*>(w->parent()) || w->parent() == &dialog)
            EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
    // The fields by caption, each inserting its name.
    const QList<QListWidgetItem*> amount =
        dialog.InputList->findItems("金额（amount）", Qt::MatchExactly);
    ASSERT_EQ(amount.size(), 1);
    EXPECT_EQ(amount[0]->data(Qt::UserRole).toString(), "amount");

    dialog.NameEdit->setText("毛利率");
    dialog.ExprEdit->insertPlainText("(amount - 数量 * ");
    QTest::keyClicks(dialog.ExprEdit, ") / amount");
    EXPECT_EQ(dialog.CheckLabel->text().toStdString(),
              "第 16 个字符：这里应为字段、数值或函数，而不是“)”");
    EXPECT_FALSE(dialog.AddButton->isEnabled());
    dialog.ExprEdit->setPlainText("(amount - 数量 * unit_price) ÷ amount");
    EXPECT_EQ(dialog.CheckLabel->text().toStdString(), "表达式正确，结果为小数");
    QTest::mouseClick(dialog.AddButton, Qt::LeftButton);
    EXPECT_TRUE(dialog.NameEdit->text().isEmpty()); // ready for the next one
    dialog.NameEdit->setText("高毛利");
    dialog.ExprEdit->setPlainText("毛利率 > 0.1");
    EXPECT_EQ(dialog.CheckLabel->text().toStdString(), "表达式正确，结果为逻辑值");
    QTest::mouseClick(dialog.AddButton, Qt::LeftButton);
    const std::vector<CalculatedField> fields = dialog.fields();
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0], (CalculatedField{"毛利率", "(amount - 数量 * unit_price) ÷ amount"}));

    // Applied, they are the report's columns; undo takes them away again.
    {
        const ReportStep step(doc);
        doc.setCalculatedFields(fields);
    }
    ASSERT_NE(doc.grid().ColumnByFieldName("高毛利"), nullptr);
    EXPECT_EQ(doc.report().calculated, fields);
    EXPECT_EQ(doc.history().undoText().toStdString(), "设置计算字段");
    doc.undo();
    EXPECT_EQ(doc.grid().ColumnByFieldName("高毛利"), nullptr);
    EXPECT_TRUE(doc.dataSet().CalculatedFields().empty());
}

// The data source dialog's new data set keeps the calculated fields its fields still compute.
TEST(CalcDialog, AnotherSourceKeepsTheFieldsItCanCompute) {
    rgtest::qtApp();
    ReportDocument doc;
    doc.loadFile(std::string(RG_BINARY_DIR) + "/setup/销售明细.ini");
    doc.setCalculatedFields(
        {{"两倍", "quantity * 2"}, {"备注长", "LENGTH(remark)"}, {"四倍", "两倍 * 2"}});
    ReportDocument::Source source = doc.copySource();
    source.dataset->Close();
    source.dataset->SetCommandType(CommandType::cmdText);
    source.dataset->SetCommandText("select order_id, quantity from sales");
    source.dataset->Open();
    doc.adoptSource(std::move(source));
    EXPECT_EQ(doc.dataSet().CalculatedFields(),
              (std::vector<CalculatedField>{{"两倍", "quantity * 2"}, {"四倍", "两倍 * 2"}}));
    ASSERT_NE(doc.grid().ColumnByFieldName("四倍"), nullptr);
    EXPECT_EQ(doc.dataSet().value(0, doc.dataSet().FieldByName("四倍").Index()).asInt(),
              4 * doc.dataSet().value(0, doc.dataSet().FieldByName("quantity").Index()).asInt());
}
