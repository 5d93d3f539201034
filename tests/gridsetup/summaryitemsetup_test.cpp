#include "gridsetup/summaryitemsetup.h"

#include "fixture.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using rg::TdxSummaryType;
using rg::Tfrusummarysetup;

namespace {

rg::TdxDBGridSummaryItems& items(rg::TdxDBGrid& g) { return g.DefaultGroup().SummaryItems; }

void clickLine(Tfrusummarysetup& d, int line) {
    QRect r = d.lstSummaryItem->visualItemRect(d.lstSummaryItem->item(line));
    QTest::mouseClick(d.lstSummaryItem->viewport(), Qt::LeftButton, {}, r.center());
}

void add(Tfrusummarysetup& d, int field, int kind) {
    d.fieldlist->setCurrentIndex(field);
    d.summarytype->setCurrentIndex(kind);
    QTest::mouseClick(d.btnadd, Qt::LeftButton);
}

} // namespace

TEST(SummaryDialog, EveryEntryMeansTheKindItNames) {
    const TdxSummaryType expected[] = {TdxSummaryType::cstNone,  TdxSummaryType::cstSum, TdxSummaryType::cstAvg,
                                       TdxSummaryType::cstCount, TdxSummaryType::cstMax, TdxSummaryType::cstMin};
    Tfrusummarysetup d;
    const char* texts[] = {"无", "求和", "求平均", "总数", "最大值", "最小值"};
    ASSERT_EQ(d.summarytype->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(d.summarytype->itemText(i), QString::fromUtf8(texts[i]));
        EXPECT_EQ(rg::summaryKindOfPosition(i), expected[i]);
        EXPECT_EQ(rg::positionOfSummaryKind(expected[i]), i);
    }
    EXPECT_EQ(rg::summaryKindOfPosition(-1), TdxSummaryType::cstNone);
    EXPECT_EQ(d.summarytype->currentIndex(), -1);
    QString text = rgtest::captureMessageBox([&] { EXPECT_FALSE(d.FillLists()); });
    EXPECT_EQ(text, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
}

TEST(SummaryDialog, AddingAndSelectingItems) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);
    EXPECT_EQ(d.lstSummaryItem->count(), 0);
    ASSERT_EQ(d.fieldlist->count(), 3);
    EXPECT_EQ(d.fieldlist->itemText(2), "amount");

    // The same field twice: two items, the footer takes the last kind.
    add(d, 2, 1);
    add(d, 2, 3);
    ASSERT_EQ(d.lstSummaryItem->count(), 2);
    EXPECT_EQ(d.lstSummaryItem->item(1)->text(), "TdxDBGridSummaryItem");
    EXPECT_EQ(d.fieldlist->count(), 3);
    ASSERT_EQ(items(g.grid).Count(), 2);
    const auto& first = items(g.grid).Items(0);
    EXPECT_EQ(first.ColumnName(), "dxDBGridColumn3");
    EXPECT_EQ(first.SummaryField(), "amount");
    EXPECT_EQ(first.SummaryType(), TdxSummaryType::cstSum);
    EXPECT_EQ(items(g.grid).Items(1).SummaryType(), TdxSummaryType::cstCount);
    auto& amount = *g.grid.ColumnByFieldName("amount");
    EXPECT_EQ(amount.SummaryFooterField(), "amount");
    EXPECT_EQ(amount.SummaryFooterType(), TdxSummaryType::cstCount);

    // An average survives: the item shows its own entry again when selected.
    add(d, 0, 2);
    EXPECT_EQ(items(g.grid).Items(2).SummaryType(), TdxSummaryType::cstAvg);
    d.fieldlist->setCurrentIndex(-1);
    d.summarytype->setCurrentIndex(-1);
    clickLine(d, 2);
    EXPECT_EQ(d.fieldlist->currentText(), "id");
    EXPECT_EQ(d.fieldlist->currentIndex(), 0);
    EXPECT_EQ(d.summarytype->currentIndex(), 2);
    clickLine(d, 0);
    EXPECT_EQ(d.fieldlist->currentText(), "amount");
    EXPECT_EQ(d.summarytype->currentIndex(), 1);

    // No kind selected means no summary.
    add(d, 1, -1);
    EXPECT_EQ(items(g.grid).Items(3).SummaryType(), TdxSummaryType::cstNone);
    EXPECT_TRUE(errors.messages.isEmpty());

    // Values come with the next load: grouping reloads and fills the footers.
    g.groupByRegion();
    EXPECT_EQ(g.grid.SummaryFooterText(amount), "6");
}

TEST(SummaryDialog, NothingSelectedReportsTheIndex) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);

    d.summarytype->setCurrentIndex(1);
    QTest::mouseClick(d.btnadd, Qt::LeftButton);
    QTest::mouseClick(d.btnDelete, Qt::LeftButton);
    ASSERT_EQ(errors.messages.size(), 2);
    EXPECT_EQ(errors.messages[0], "List index out of bounds (-1)");
    EXPECT_EQ(errors.messages[1], "List index out of bounds (-1)");
    EXPECT_EQ(items(g.grid).Count(), 0);
    EXPECT_EQ(d.lstSummaryItem->count(), 0);
    EXPECT_TRUE(d.isVisible());
    for (int i = 0; i < g.grid.ColumnCount(); ++i)
        EXPECT_EQ(g.grid.Columns(i).SummaryFooterType(), TdxSummaryType::cstNone);
}

TEST(SummaryDialog, DeletingTheMiddleLine) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);
    add(d, 0, 3);  // count of id
    add(d, 2, 1);  // sum of amount
    add(d, 2, 4);  // max of amount
    clickLine(d, 1);
    QTest::mouseClick(d.btnDelete, Qt::LeftButton);
    EXPECT_TRUE(errors.messages.isEmpty());
    ASSERT_EQ(d.lstSummaryItem->count(), 2);
    ASSERT_EQ(items(g.grid).Count(), 2);
    EXPECT_EQ(items(g.grid).Items(0).SummaryType(), TdxSummaryType::cstCount);
    EXPECT_EQ(items(g.grid).Items(1).SummaryType(), TdxSummaryType::cstMax);
    // The footer kind is not touched by a deletion.
    EXPECT_EQ(g.grid.ColumnByFieldName("amount")->SummaryFooterType(), TdxSummaryType::cstMax);

    // The line that moved up stands for the item that moved up.
    clickLine(d, 1);
    EXPECT_EQ(d.summarytype->currentIndex(), 4);
    QTest::mouseClick(d.Button2, Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
}
