// The dialog "显示方式与前 N 项" offscreen over a real SQLite file: a mode chosen for a
// summary changes what its group rows show, a mode the summary cannot take is refused
// with a message naming it, a top N folds the other regions into "其他", and the summary
// items dialog opens it.

#include "gridsetup/ui/showassetup.h"
#include "gridsetup/ui/summaryitemsetup.h"

#include "fixture.h"
#include "grid/summaryrules.h"
#include "qtapplication.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

namespace {

int modePosition(ShowValuesAs mode) {
    for (size_t i = 0; i < ShowAsModes().size(); ++i)
        if (ShowAsModes()[i].mode == mode)
            return static_cast<int>(i);
    return -1;
}

void choose(TfrmShowAs& d, int line, ShowValuesAs mode) {
    d.lstShowItems->setCurrentRow(line);
    d.cmbShowAs->setCurrentIndex(modePosition(mode));
    QTest::mouseClick(d.btnShowAs, Qt::LeftButton);
}

} // namespace

TEST(ShowAsDialog, ModesAndTopNChangeTheGroupRows) {
    rgtest::qtApp();
    rgtest::SalesGrid s;
    TdxDBGridColumn& amount = *s.grid.ColumnByFieldName("amount");
    DefineSummary(s.grid, amount, TdxSummaryType::cstSum, SummaryPlace::GroupRow);
    DefineSummary(s.grid, amount, TdxSummaryType::cstAvg, SummaryPlace::GroupRow);
    s.groupByRegion();
    rgtest::ErrorLog errors;
    TfrmShowAs d(nullptr, s.grid);
    ASSERT_EQ(d.lstShowItems->count(), 2);
    EXPECT_EQ(d.objectName(), "frmshowas");

    // north 15.5, south 22.5, east 7 of 45: shares 34.44 %, 50.00 %, 15.56 %.
    choose(d, 0, ShowValuesAs::PercentOfTotal);
    EXPECT_EQ(s.grid.DefaultGroup().SummaryItems.Items(0).ShowAs(), ShowValuesAs::PercentOfTotal);
    std::vector<std::string> texts;
    for (int i = 0; i < s.grid.TopCount(); ++i)
        texts.push_back(s.grid.GroupRowText(s.grid.Top(i)));
    EXPECT_NE(texts[0].find("(占总计百分比=15.56%)"), std::string::npos) << texts[0];
    EXPECT_NE(texts[1].find("(占总计百分比=34.44%)"), std::string::npos) << texts[1];
    EXPECT_NE(d.lstShowItems->item(0)->text().indexOf(QStringLiteral("占总计百分比")), -1);
    EXPECT_TRUE(errors.messages.isEmpty());

    // An average adds up to nothing: refused, and the item keeps its mode.
    choose(d, 1, ShowValuesAs::RunningTotal);
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_NE(errors.messages[0].indexOf(QStringLiteral("不是合计或计数")), -1);
    EXPECT_EQ(s.grid.DefaultGroup().SummaryItems.Items(1).ShowAs(), ShowValuesAs::Value);
    choose(d, 1, ShowValuesAs::Rank);
    // Averages: east 7, north 5.17, south 11.25.
    EXPECT_NE(s.grid.GroupRowText(s.grid.Top(0)).find("(排名=2)"), std::string::npos);
    EXPECT_NE(s.grid.GroupRowText(s.grid.Top(1)).find("(排名=3)"), std::string::npos);

    // The top two regions by the sum; east folds into "其他", last.
    d.cmbTopLevel->setCurrentIndex(0);
    d.spnTopCount->setValue(2);
    d.cmbTopSummary->setCurrentIndex(0);
    QTest::mouseClick(d.btnTop, Qt::LeftButton);
    ASSERT_EQ(s.grid.TopCount(), 3);
    EXPECT_EQ(s.grid.GroupValueText(s.grid.Top(2)), "其他");
    EXPECT_EQ(s.grid.Columns(1).GroupTop().count, 2);
    d.spnTopCount->setValue(0);
    QTest::mouseClick(d.btnTop, Qt::LeftButton);
    EXPECT_EQ(s.grid.TopCount(), 3);
    EXPECT_NE(s.grid.GroupValueText(s.grid.Top(2)), "其他");
    EXPECT_EQ(errors.messages.size(), 1);

    // The summary items dialog opens it.
    Tfrusummarysetup summaries;
    summaries.Grid = &s.grid;
    ASSERT_TRUE(summaries.FillLists());
    bool opened = false;
    rgtest::onNextModal([&](QWidget* w) {
        opened = w->objectName() == "frmshowas";
        w->close();
    });
    QTest::mouseClick(summaries.btnShowAs, Qt::LeftButton);
    EXPECT_TRUE(opened);
}
