#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testdb.h"

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

namespace {

QApplication& app() {
    return rgtest::qtApp();
}

// Counts the pixels of one colour in a rectangle of a screenshot.
int pixels(const QImage& img, const QRect& r, QColor c) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y) == c)
                ++n;
    return n;
}

} // namespace

TEST(GridView, PanelButtonsRowsFootersAndScreenshots) {
    app();
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    TdxDBGridView view(grid);
    view.resize(640, 360);
    EXPECT_EQ(view.objectName(), "dxDBGrid");
    EXPECT_EQ(view.groupPanelHeight(), 0); // off until the first column rebuild

    grid.SetShowRowFooter(true);
    grid.SetShowGroupPanel(true);
    grid.SetShowSummaryFooter(true);
    grid.CreateColumnsForFields(db.ds);
    // No key field: headers, panel and footer band, but no rows.
    rgtest::savePicture(view, "grid-no-key");
    EXPECT_EQ(grid.VisibleRows().size(), 0u);

    grid.SetKeyField("id");
    rgtest::savePicture(view, "grid-ungrouped");
    EXPECT_EQ(grid.VisibleRows().size(), 5u);

    TdxDBGridColumn& amount = *grid.ColumnByFieldName("amount");
    TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(amount.Name());
    item.SetSummaryType(TdxSummaryType::cstSum);
    amount.SetSummaryFooterType(TdxSummaryType::cstSum);
    ASSERT_TRUE(grid.GroupColumn(*grid.ColumnByFieldName("region"), 0));
    ASSERT_TRUE(grid.GroupColumn(*grid.ColumnByFieldName("city"), 1));
    grid.ExpandAll();
    EXPECT_EQ(view.groupButtonRect(0).topLeft(), QPoint(8, 8));
    EXPECT_EQ(view.groupButtonRect(1).topLeft(), QPoint(112, 8 + view.headerHeight() / 2));
    const QImage shot = view.grab().toImage();
    rgtest::savePicture(shot, "grid-two-levels");
    // The first group button is painted in the header colour on the panel's shadow colour.
    EXPECT_GT(pixels(shot, view.groupButtonRect(0).adjusted(2, 2, -2, -2),
                     view.palette().color(QPalette::Button)),
              100);
    // 3 regions + 5 cities + 5 rows + footers (5 city footers + 3 region footers).
    EXPECT_EQ(grid.VisibleRows().size(), 21u);
    EXPECT_EQ(grid.SummaryFooterText(amount), "52.75");

    // Keyboard: Down moves focus and the data set; Left collapses a focused group.
    view.setFocus();
    grid.SetFocusedRow(grid.Top(0));
    QTest::keyClick(&view, Qt::Key_Left);
    EXPECT_FALSE(grid.Expanded(grid.Top(0)));
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(grid.FocusedRow(), grid.Top(1));
    EXPECT_EQ(db.ds.RecNo(), grid.RecordOf(grid.Top(1)));
}

TEST(GridView, LargeTreeScrollsToAnyLine) {
    app();
    TestDb db("create table n(id integer primary key, v integer);"
              "with recursive c(i) as (select 1 union all select i + 1 from c where i < 200000)"
              " insert into n select i, i % 97 from c;");
    db.open("select id, v from n");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.CreateColumnsForFields(db.ds);
    grid.SetKeyField("id");
    TdxDBGridView view(grid);
    view.resize(400, 300);
    view.verticalScrollBar()->setValue(150000);
    const QImage shot = view.grab().toImage();
    EXPECT_EQ(view.topLine(), 150000);
    EXPECT_EQ(grid.CellText(grid.VisibleRows()[150000].row, grid.Columns(0)), "150001");
    EXPECT_FALSE(shot.isNull());
}

TEST(GridView, DragToGroupPanelAndHeaderClicksSort) {
    app();
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.SetShowRowFooter(true);
    grid.SetShowGroupPanel(true);
    grid.SetShowSummaryFooter(true);
    grid.CreateColumnsForFields(db.ds);
    grid.SetKeyField("id");
    TdxDBGridView view(grid);
    view.resize(640, 360);
    QWidget* vp = view.viewport();
    auto drag = [&](QPoint from, QPoint to) {
        QTest::mousePress(vp, Qt::LeftButton, {}, from);
        QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
    };
    auto headerCentre = [&](const char* field) {
        return view.headerRect(*grid.ColumnByFieldName(field)).center();
    };
    const QPoint panel(300, view.groupPanelHeight() / 2);

    drag(headerCentre("region"), panel);
    ASSERT_EQ(grid.GroupColumnCount(), 1);
    EXPECT_EQ(grid.GroupColumns(0).FieldName(), "region");
    // A second column dropped left of the first button's centre becomes level 0.
    drag(headerCentre("city"), QPoint(20, view.groupButtonRect(0).center().y()));
    ASSERT_EQ(grid.GroupColumnCount(), 2);
    EXPECT_EQ(grid.GroupColumns(0).FieldName(), "city");
    EXPECT_EQ(grid.GroupColumns(1).FieldName(), "region");

    // A group button dropped on the header row is ungrouped and shown, unsorted.
    drag(view.groupButtonRect(0).center(),
         QPoint(5, view.groupPanelHeight() + view.headerHeight() / 2));
    EXPECT_EQ(grid.GroupColumnCount(), 1);
    TdxDBGridColumn& city = *grid.ColumnByFieldName("city");
    EXPECT_TRUE(city.Visible());
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csNone);
    EXPECT_EQ(grid.VisibleColumns().front(), &city); // shown where it was dropped

    // Header clicks: up, down, up; with Ctrl none. Only one ungrouped column is sorted.
    const QPoint cityHeader = headerCentre("city");
    QTest::mouseClick(vp, Qt::LeftButton, {}, cityHeader);
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csUp);
    QTest::mouseClick(vp, Qt::LeftButton, {}, cityHeader);
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csDown);
    QTest::mouseClick(vp, Qt::LeftButton, {}, cityHeader);
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csUp);
    QTest::mouseClick(vp, Qt::LeftButton, {}, headerCentre("amount"));
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csNone);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, headerCentre("amount"));
    EXPECT_EQ(grid.ColumnByFieldName("amount")->Sorted(), TdxTreeListColumnSort::csNone);

    // The only visible column cannot be grouped.
    for (const char* f : {"id", "city"})
        grid.ColumnByFieldName(f)->SetVisible(false);
    drag(headerCentre("amount"), panel);
    EXPECT_EQ(grid.GroupColumnCount(), 1);
}
