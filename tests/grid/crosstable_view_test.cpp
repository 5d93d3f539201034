// The cross strip of the grid view: a header dropped there makes the cross table, shown
// over the rows and following the filter; a header click orders the groups by a column;
// the button dragged away ends it.

#include "grid/ui/crosstableview.h"
#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testdb.h"

#include <QHeaderView>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

TEST(CrossTableView, DropShowSortFilterAndEnd) {
    rgtest::qtApp();
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.SetShowGroupPanel(true);
    grid.CreateColumnsForFields(db.ds);
    grid.SetKeyField("id");
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    TdxDBGridView view(grid);
    view.resize(800, 400);
    CrossTableDef proposed;
    view.setCrossDialog([&](const CrossTableDef& d) -> std::optional<CrossTableDef> {
        proposed = d;
        return CrossTableDef{d.field, {}, TdxSummaryType::cstSum, "amount"};
    });
    QWidget* vp = view.viewport();
    const QPoint strip(300, (view.groupStripHeight() + view.groupPanelHeight()) / 2);
    QTest::mousePress(vp, Qt::LeftButton, {},
                      view.headerRect(*grid.ColumnByFieldName("city")).center());
    QTest::mouseRelease(vp, Qt::LeftButton, {}, strip);
    EXPECT_EQ(proposed.field, "city");
    ASSERT_TRUE(grid.ShownCrossTable());
    EXPECT_EQ(grid.GroupColumnCount(), 1); // the grouping stays

    TdxCrossTableView* x = view.crossView();
    ASSERT_TRUE(x && x->isVisibleTo(&view));
    ASSERT_EQ(x->columnCount(), 1 + 5 + 1); // regions, five cities, the row total
    EXPECT_EQ(x->headerItem()->text(6), "合计");
    ASSERT_EQ(x->topLevelItemCount(), 3 + 1);
    QTreeWidgetItem* totals = x->topLevelItem(3);
    EXPECT_EQ(totals->text(0), "合计");
    EXPECT_EQ(totals->text(6).toDouble(), 52.75);
    // Cities in GBK order: 北京 广州 杭州 上海 天津; 华北 sold nothing in 广州.
    EXPECT_EQ(x->topLevelItem(0)->text(1), "20.00");
    EXPECT_EQ(x->topLevelItem(0)->text(2), "");

    // The row total's header orders the regions by it, largest first.
    QHeaderView* header = x->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(6) + 5, header->height() / 2));
    EXPECT_EQ(x->topLevelItem(0)->text(0), "region : 华北");
    EXPECT_EQ(x->topLevelItem(1)->text(0), "region : 华东");
    EXPECT_EQ(x->topLevelItem(2)->text(0), "region : 华南");

    // The grid's filter narrows what the cross table adds up.
    grid.Filter.SetColumnFilter(*grid.ColumnByFieldName("region"),
                                ColumnFilter::equalTo(Value::fromText("华东")));
    ASSERT_EQ(x->topLevelItemCount(), 1 + 1);
    EXPECT_EQ(x->topLevelItem(1)->text(x->columnCount() - 1).toDouble(), 17.75);

    // The strip's button dragged off the strip ends the cross table.
    QTest::mousePress(vp, Qt::LeftButton, {}, view.crossButtonRect().center());
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(400, 300));
    EXPECT_FALSE(grid.CrossTableDefinition());
    EXPECT_FALSE(x->isVisibleTo(&view));
}
