// The dialog 汇总公式 over the demo sales, offscreen: the check as the user types, the column
// it is shown in, and the formulas applied as one undoable step.

#include "app/ui/summaryformuladialog.h"
#include "document/reportdocument.h"
#include "qtapplication.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

TEST(FormulaDialog, ChecksAsTypedAndAppliesAsOneStep) {
    rgtest::qtApp();
    ReportDocument doc;
    doc.loadFile(std::string(RG_BINARY_DIR) + "/setup/地区产品汇总.ini");
    TfrmSummaryFormulas dialog(nullptr, doc.grid());
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        if (!qobject_cast<QWidget*>(w->parent()) || w->parent() == &dialog) {
            EXPECT_FALSE(w->objectName().isEmpty()) << w->metaObject()->className();
        }
    }
    dialog.NameEdit->setText("均价");
    dialog.ExprEdit->setPlainText("SUM(amount) / quantity");
    EXPECT_EQ(dialog.CheckLabel->text().toStdString(),
              "第 15 个字符：字段“quantity”应写在 SUM、COUNT、AVG、MIN 或 MAX 之中");
    EXPECT_FALSE(dialog.AddButton->isEnabled());
    dialog.ExprEdit->setPlainText("SUM(amount) / ");
    // A double click on a field inserts its sum.
    const QList<QListWidgetItem*> quantity =
        dialog.InputList->findItems("数量（quantity）", Qt::MatchExactly);
    ASSERT_EQ(quantity.size(), 1);
    QTextCursor end = dialog.ExprEdit->textCursor();
    end.movePosition(QTextCursor::End);
    dialog.ExprEdit->setTextCursor(end);
    emit dialog.InputList->itemDoubleClicked(quantity[0]);
    EXPECT_EQ(dialog.ExprEdit->toPlainText().toStdString(), "SUM(amount) / SUM(quantity)");
    EXPECT_EQ(dialog.CheckLabel->text().toStdString(), "公式正确");
    const std::string price = doc.grid().ColumnByFieldName("unit_price")->Name();
    dialog.ColumnCombo->setCurrentIndex(
        dialog.ColumnCombo->findData(QString::fromStdString(price)));
    QTest::mouseClick(dialog.AddButton, Qt::LeftButton);
    ASSERT_EQ(dialog.formulas().size(), 1u);
    EXPECT_EQ(dialog.formulas()[0], (SummaryFormula{"均价", "SUM(amount) / SUM(quantity)", price}));
    {
        const ReportStep step(doc);
        doc.setSummaryFormulas(dialog.formulas());
    }
    EXPECT_EQ(doc.grid().ColumnFormula(*doc.grid().ColumnByFieldName("unit_price")), 0);
    EXPECT_EQ(doc.report().formulas[0].column, "unit_price");
    EXPECT_EQ(doc.history().undoText().toStdString(), "设置汇总公式");
    doc.undo();
    EXPECT_TRUE(doc.grid().SummaryFormulas().empty());
}
