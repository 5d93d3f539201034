#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testdb.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// Pixels darker than the light backgrounds of rows and headers: text, boxes and lines.
int darkPixels(const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixelColor(x, y).lightness() < 110)
                ++n;
    return n;
}

struct WideGrid {
    explicit WideGrid(int viewWidth) : db(kRegionSales) {
        db.open("select id, region, city, amount from t");
        grid.SetDataSet(&db.ds);
        grid.SetShowRowFooter(true);
        grid.SetShowGroupPanel(true);
        grid.SetShowSummaryFooter(true);
        grid.CreateColumnsForFields(db.ds);
        for (int i = 0; i < grid.ColumnCount(); ++i)
            grid.Columns(i).SetWidth(200);
        grid.SetKeyField("id");
        view.resize(viewWidth, 300);
        view.show();
    }
    // What the window shows once the events a change posted (layouts of the scroll bars)
    // have run, as they do in the event loop.
    QImage shot() {
        QCoreApplication::sendPostedEvents();
        return view.grab().toImage();
    }
    int dataTop() const { return view.groupPanelHeight() + view.headerHeight(); }
    // The band of shown line i, left part, where group rows write their text.
    QRect lineText(int i) const {
        return QRect(TdxDBGridView::kIndent, dataTop() + i * view.rowHeight() + 2, 180,
                     view.rowHeight() - 4);
    }
    void scrollFullyRight() {
        QScrollBar* bar = view.horizontalScrollBar();
        bar->setValue(bar->maximum());
    }
    // Drags a header onto the group panel as the user does.
    void dragToPanel(const char* field) {
        const QRect header = view.headerRect(*grid.ColumnByFieldName(field));
        const QPoint from(std::max(header.left(), 0) + 10, header.center().y());
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(view.width() - 40, 10));
    }

    QApplication& app = rgtest::qtApp(); // before any widget
    TestDb db;
    TdxDBGrid grid;
    TdxDBGridView view{grid};
};

} // namespace

// Grouping, collapsing and ungrouping while the columns are scrolled fully right: the
// offset stays within the columns, every group row shows its text exactly as it does
// unscrolled, and the first columns can be scrolled back into view.
TEST(GridViewScroll, GroupingWhileScrolledRightPaintsEveryRow) {
    rgtest::qtApp();
    for (const int width : {500, 700}) {
        SCOPED_TRACE(width);
        WideGrid g(width);
        QScrollBar* bar = g.view.horizontalScrollBar();
        g.scrollFullyRight();
        ASSERT_GT(bar->value(), 0);
        g.dragToPanel("city");
        ASSERT_EQ(g.grid.GroupColumnCount(), 1);
        ASSERT_EQ(g.grid.VisibleRows().size(), 5u); // five cities, collapsed
        EXPECT_LE(bar->value(), bar->maximum());
        EXPECT_EQ(g.view.scrollX(), bar->value());
        // 700 pixels now hold the three remaining columns: nothing is left to scroll.
        if (width == 700) {
            EXPECT_EQ(bar->maximum(), 0);
        }

        const QImage scrolled = g.shot();
        scrolled.save(QStringLiteral("/tmp/gridview-grouped-scrolled-%1.png").arg(width));
        for (int i = 0; i < 5; ++i)
            EXPECT_GT(darkPixels(scrolled, g.lineText(i)), 20) << "line " << i;

        // Collapsing and expanding by a click on the expand button, still scrolled.
        const QPoint button(TdxDBGridView::kIndent / 2, g.lineText(0).center().y());
        QTest::mouseClick(g.view.viewport(), Qt::LeftButton, {}, button);
        EXPECT_TRUE(g.grid.Expanded(g.grid.Top(0)));
        QTest::mouseClick(g.view.viewport(), Qt::LeftButton, {}, button);
        EXPECT_FALSE(g.grid.Expanded(g.grid.Top(0)));

        bar->setValue(0);
        const QImage unscrolled = g.shot();
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(scrolled.copy(g.lineText(i)), unscrolled.copy(g.lineText(i))) << "line " << i;

        // Ungrouping while scrolled right: the first column comes back reachable.
        g.scrollFullyRight();
        g.grid.UngroupColumn(0);
        EXPECT_LE(bar->value(), bar->maximum());
        EXPECT_EQ(g.view.scrollX(), bar->value());
        bar->setValue(0);
        EXPECT_EQ(g.view.headerRect(g.grid.Columns(0)).left(), 0);
        const QImage back = g.shot();
        back.save(QStringLiteral("/tmp/gridview-ungrouped-%1.png").arg(width));
        EXPECT_GT(darkPixels(back, QRect(0, g.lineText(1).top(), 400, g.lineText(1).height())), 20);
    }
}

// A reload to fewer rows while scrolled down keeps the top line within the rows.
TEST(GridViewScroll, ReloadToFewerRowsKeepsTheTopLineInRange) {
    rgtest::qtApp();
    TestDb db("create table n(id integer primary key, v integer);"
              "with recursive c(i) as (select 1 union all select i + 1 from c where i < 500)"
              " insert into n select i, i % 3 from c;");
    db.open("select id, v from n");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    grid.SetShowGroupPanel(true);
    grid.CreateColumnsForFields(db.ds);
    grid.SetKeyField("id");
    TdxDBGridView view(grid);
    view.resize(400, 300);
    view.show();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    ASSERT_GT(view.topLine(), 400);
    ASSERT_TRUE(grid.GroupColumn(*grid.ColumnByFieldName("v"), 0));
    EXPECT_EQ(view.topLine(), 0); // three group rows fit on one page
    const QImage shot = (QCoreApplication::sendPostedEvents(), view.grab().toImage());
    const int top = view.groupPanelHeight() + view.headerHeight();
    EXPECT_GT(darkPixels(shot, QRect(TdxDBGridView::kIndent, top + 2, 150, view.rowHeight() - 4)),
              20);
}
