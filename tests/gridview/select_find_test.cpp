#include "app/ui/program.h"
#include "grid/ui/findbar.h"
#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testdb.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// Five sales in three regions; one city reads like a formula, one amount is negative.
const char* const kSales = R"(
create table t(id integer primary key, region text, city text, amount real);
insert into t values (1, '华东', '上海', 10.5), (2, '华北', '北京', 20), (3, '华东', '=HYPERLINK("x")', 7.25),
                     (4, '华北', 'Tianjin', -3), (5, '华南', '广州', 12);
)";

struct ViewFixture {
    ViewFixture() : db(kSales) {
        // The program's Chinese texts, as at program start.
        qputenv("LANGUAGE", "zh_CN");
        installTranslations();
        db.open("select id, region, city, amount from t");
        grid.SetDataSet(&db.ds);
        grid.SetShowRowFooter(true);
        grid.SetShowGroupPanel(true);
        grid.SetShowSummaryFooter(true);
        grid.CreateColumnsForFields(db.ds);
        grid.SetKeyField("id");
        view.resize(640, 360);
        view.show();
        QApplication::setActiveWindow(&view);
        view.setFocus();
    }
    int dataTop() const { return view.groupPanelHeight() + view.headerHeight(); }
    QPoint linePoint(int line) const {
        return QPoint(300, dataTop() + line * view.rowHeight() + view.rowHeight() / 2);
    }
    void click(int line, Qt::KeyboardModifiers m = {}) {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, m, linePoint(line));
    }
    // The shown line of the group row whose value is `value`.
    int groupLine(const char* value) const {
        const auto& rows = grid.VisibleRows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].row.isGroup() &&
                grid.GroupRowText(rows[i].row).find(value) != std::string::npos)
                return static_cast<int>(i);
        return -1;
    }
    QString copy() {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        return QGuiApplication::clipboard()->text();
    }
    std::string focusedCity() {
        return grid.CellText(grid.FocusedRow(), *grid.ColumnByFieldName("city"));
    }
    QImage shot() {
        QCoreApplication::sendPostedEvents();
        return view.grab().toImage();
    }
    bool highlighted(const QImage& img, int line) const {
        return img.pixelColor(linePoint(line)) == view.palette().color(QPalette::Highlight);
    }

    QApplication& app = rgtest::qtApp(); // before any widget
    TestDb db;
    TdxDBGrid grid;
    TdxDBGridView view{grid};
};

} // namespace

// Shift and Ctrl with clicks and arrows select rows; Ctrl+A all of them; Ctrl+C copies the
// selection with the group values leading, formula-like texts defused, numbers kept.
TEST(GridViewSelection, ClicksArrowsAndCtrlACopyTheSelectedRows) {
    ViewFixture f;
    const QString header = QStringLiteral("id\tregion\tcity\tamount\n");
    const QString row1 = QStringLiteral("1\t华东\t上海\t10.5\n"),
                  row2 = QStringLiteral("2\t华北\t北京\t20\n"),
                  row3 = QStringLiteral("3\t华东\t\"'=HYPERLINK(\"\"x\"\")\"\t7.25\n"),
                  row4 = QStringLiteral("4\t华北\tTianjin\t-3\n"),
                  row5 = QStringLiteral("5\t华南\t广州\t12\n");

    // One focused row copies as it always has.
    f.click(1);
    EXPECT_EQ(f.copy(), header + row2);
    f.click(0);
    f.click(2, Qt::ShiftModifier);
    EXPECT_EQ(f.copy(), header + row1 + row2 + row3);
    f.click(4, Qt::ControlModifier);
    f.click(1, Qt::ControlModifier);
    EXPECT_EQ(f.copy(), header + row1 + row3 + row5);
    const QImage shot = f.shot();
    shot.save("/tmp/gridview-selection.png");
    for (int line : {0, 2, 4})
        EXPECT_TRUE(f.highlighted(shot, line)) << line;
    for (int line : {1, 3})
        EXPECT_FALSE(f.highlighted(shot, line)) << line;

    // Shift+arrows stretch from the clicked row; a plain arrow starts afresh.
    f.click(3);
    QTest::keyClick(&f.view, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&f.view, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.copy(), header + row2 + row3 + row4);
    QTest::keyClick(&f.view, Qt::Key_Down);
    EXPECT_EQ(f.copy(), header + row3);

    QTest::keyClick(&f.view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(f.view.selection().all());
    EXPECT_EQ(f.copy(), header + row1 + row2 + row3 + row4 + row5);

    // Grouped by region: a group row copies its rows, every line led by its region.
    ASSERT_TRUE(f.grid.GroupColumn(*f.grid.ColumnByFieldName("region"), 0));
    EXPECT_FALSE(f.view.selection().all()); // the rows kept meant something else
    const QString groupedHeader = QStringLiteral("region\tid\tcity\tamount\n");
    f.click(f.groupLine("华北"));
    f.click(f.groupLine("华南"), Qt::ControlModifier);
    EXPECT_EQ(f.copy(),
              groupedHeader +
                  QStringLiteral("华北\t2\t北京\t20\n华北\t4\tTianjin\t-3\n华南\t5\t广州\t12\n"));
    // Expanded, the rows under a selected group show selected too.
    f.grid.ExpandAll();
    const QImage grouped = f.shot();
    grouped.save("/tmp/gridview-selection-grouped.png");
    const int north = f.groupLine("华北");
    EXPECT_TRUE(f.highlighted(grouped, north + 1));
    EXPECT_FALSE(f.highlighted(grouped, f.groupLine("华东") + 1));
    // A single data row of a group, focused without a selection of several.
    f.click(f.groupLine("华东") + 1);
    EXPECT_EQ(f.copy(), groupedHeader + QStringLiteral("华东\t1\t上海\t10.5\n"));
}

// Ctrl+F opens the find bar; Enter and F3 go to the next match, opening collapsed groups;
// match case and whole cell narrow the search; "找不到" when nothing matches.
TEST(GridViewFind, FindsAcrossCollapsedGroups) {
    ViewFixture f;
    ASSERT_TRUE(f.grid.GroupColumn(*f.grid.ColumnByFieldName("region"), 0));
    for (int i = 0; i < f.grid.TopCount(); ++i)
        ASSERT_FALSE(f.grid.Expanded(f.grid.Top(i)));
    f.view.setFocus();
    QTest::keyClick(&f.view, Qt::Key_F, Qt::ControlModifier);
    TdxFindBar* bar = f.view.findBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->findText->hasFocus());

    bar->findText->setText(QStringLiteral("州"));
    QTest::keyClick(bar->findText, Qt::Key_Return);
    EXPECT_EQ(f.focusedCity(), "广州");
    EXPECT_TRUE(f.grid.Expanded(f.grid.Parent(f.grid.FocusedRow())));
    EXPECT_EQ(f.view.selection().contains(f.grid.FocusedRow()), true);
    const QImage shot = f.shot();
    shot.save("/tmp/gridview-find.png");
    QTest::keyClick(bar->findText, Qt::Key_F3); // the only match: round to itself
    EXPECT_EQ(f.focusedCity(), "广州");
    EXPECT_TRUE(bar->status->text().isEmpty());

    // Case: "tianjin" finds Tianjin until the case has to match.
    bar->findText->clear();
    QTest::keyClicks(bar->findText, "tianjin");
    QTest::keyClick(bar->findText, Qt::Key_F3);
    EXPECT_EQ(f.focusedCity(), "Tianjin");
    const RowHandle tianjin = f.grid.FocusedRow();
    bar->matchCase->setChecked(true);
    QTest::keyClick(bar->findText, Qt::Key_Return);
    EXPECT_EQ(bar->status->text(), QStringLiteral("找不到"));
    EXPECT_EQ(f.grid.FocusedRow(), tianjin);

    // A part of a cell is no whole cell; a group's value is.
    bar->matchCase->setChecked(false);
    bar->wholeCell->setChecked(true);
    bar->findText->setText(QStringLiteral("海"));
    QTest::keyClick(bar->findText, Qt::Key_Return);
    EXPECT_EQ(bar->status->text(), QStringLiteral("找不到"));
    bar->findText->setText(QStringLiteral("华东"));
    QTest::keyClick(bar->findText, Qt::Key_Return);
    EXPECT_TRUE(f.grid.FocusedRow().isGroup());
    EXPECT_NE(f.grid.GroupRowText(f.grid.FocusedRow()).find("华东"), std::string::npos);

    // F3 in the grid itself, backwards with Shift; Escape closes the bar.
    bar->wholeCell->setChecked(false);
    bar->findText->setText(QStringLiteral("1")); // ids 1 and 10.5, 12 among the amounts
    QTest::keyClick(bar->findText, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(f.view.hasFocus());
    QTest::keyClick(&f.view, Qt::Key_F3);
    EXPECT_EQ(f.focusedCity(), "上海"); // the first row under 华东
    QTest::keyClick(&f.view, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(f.focusedCity(), "广州"); // backwards round the end: 12 under 华南
}
