// The group button's context menu: the intervals of a date column and the ranges of a
// number column, chosen with the mouse as the user does, and no menu for a text column.

#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testdb.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QInputDialog>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

using namespace rg;

namespace {

struct MenuGrid {
    QApplication& app = rgtest::qtApp(); // before any widget
    TestDb db{"create table t(id integer primary key, d date, region text, amount real);"
              "insert into t values (1, '2023-01-05', 'a', 120), (2, '2023-01-20', 'b', 250),"
              " (3, '2023-02-03', 'a', 80), (4, '2023-04-30', 'b', 199.5);"};
    TdxDBGrid grid;
    TdxDBGridView view{grid};
    std::vector<std::string> errors;
    MenuGrid() {
        db.open("select id, d, region, amount from t");
        grid.SetDataSet(&db.ds);
        grid.SetShowGroupPanel(true);
        grid.CreateColumnsForFields(db.ds);
        grid.SetKeyField("id");
        view.setCommandGuard([this](const std::function<void()>& f) {
            try {
                f();
            } catch (const std::exception& e) {
                errors.push_back(e.what());
            }
        });
        view.resize(600, 300);
        view.show();
    }
    // The menu a right click on the group button of `level` opens; nullptr for none.
    QMenu* openMenu(int level) {
        const QPoint pos = view.groupButtonRect(level).center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, pos, view.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view.viewport(), &e);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    static QStringList entries(QMenu& m, bool checkedOnly = false) {
        QStringList out;
        for (QAction* a : m.actions())
            if (!checkedOnly || a->isChecked())
                out << a->text();
        return out;
    }
    static void choose(QMenu& m, const QString& text) {
        for (QAction* a : m.actions())
            if (a->text() == text) {
                a->trigger();
                m.close();
                return;
            }
        ADD_FAILURE() << text.toStdString() << " is not in the menu";
    }
};

} // namespace

TEST(GroupIntervalMenu, DatesByMonthNumbersByRangeTextsWithout) {
    MenuGrid g;
    ASSERT_TRUE(g.grid.GroupColumn(*g.grid.ColumnByFieldName("d"), 0));
    QMenu* m = g.openMenu(0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MenuGrid::entries(*m), (QStringList{"按日", "按周", "按月", "按季度", "按年"}));
    EXPECT_EQ(MenuGrid::entries(*m, true), QStringList{"按日"});
    MenuGrid::choose(*m, "按月");
    ASSERT_EQ(g.grid.TopCount(), 3);
    EXPECT_EQ(g.grid.GroupRowText(g.grid.Top(0)), "d : 2023年1月 ");
    EXPECT_EQ(g.grid.DataRowsBelow(g.grid.Top(0)), 2);
    rgtest::savePicture(g.view, "group_interval_month");

    m = g.openMenu(0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MenuGrid::entries(*m, true), QStringList{"按月"});
    rgtest::savePicture(*m, "group_interval_menu");
    MenuGrid::choose(*m, "按日");
    EXPECT_EQ(g.grid.TopCount(), 4);
    EXPECT_EQ(g.grid.ColumnByFieldName("d")->GroupInterval().kind, GroupInterval::None);

    // A number column asks for the width; a cancelled dialog changes nothing.
    ASSERT_TRUE(g.grid.GroupColumn(*g.grid.ColumnByFieldName("amount"), 0));
    auto answer = [](double width, bool accept) {
        QTimer::singleShot(0, [=] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->setDoubleValue(width);
            accept ? dialog->accept() : dialog->reject();
        });
    };
    m = g.openMenu(0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MenuGrid::entries(*m), (QStringList{"按值", "按区间…"}));
    answer(50, false);
    MenuGrid::choose(*m, "按区间…");
    EXPECT_EQ(g.grid.ColumnByFieldName("amount")->GroupInterval().kind, GroupInterval::None);
    m = g.openMenu(0);
    ASSERT_NE(m, nullptr);
    answer(100, true);
    MenuGrid::choose(*m, "按区间…");
    ASSERT_EQ(g.grid.TopCount(), 3);
    EXPECT_EQ(g.grid.GroupRowText(g.grid.Top(0)).substr(0, 18), "amount : [0, 100) ");
    m = g.openMenu(0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MenuGrid::entries(*m, true), QStringList{"按区间…"});
    MenuGrid::choose(*m, "按值");
    EXPECT_EQ(g.grid.TopCount(), 4);

    ASSERT_TRUE(g.grid.GroupColumn(*g.grid.ColumnByFieldName("region"), 0));
    EXPECT_EQ(g.openMenu(0), nullptr);
    EXPECT_TRUE(g.errors.empty());
}

// A right click on a summed column's summary footer offers the amount in Chinese capitals;
// ticking it shows the footer so, unticking gives the figures back, and other footers and
// the rows offer no such menu.
TEST(FooterFormatMenu, SummedFooterShowsCapitalsAndBack) {
    MenuGrid g;
    g.grid.SetShowSummaryFooter(true);
    const auto summarize = [&](const char* field, TdxSummaryType kind) -> TdxDBGridColumn& {
        TdxDBGridColumn& c = *g.grid.ColumnByFieldName(field);
        TdxDBGridSummaryItem& item = g.grid.DefaultGroup().SummaryItems.Add();
        item.SetColumnName(c.Name());
        item.SetSummaryField(field);
        item.SetSummaryType(kind);
        c.SetSummaryFooterField(field);
        c.SetSummaryFooterType(kind);
        return c;
    };
    TdxDBGridColumn& amount = summarize("amount", TdxSummaryType::cstSum);
    TdxDBGridColumn& id = summarize("id", TdxSummaryType::cstCount);
    g.grid.ReloadRows();
    ASSERT_EQ(g.grid.SummaryFooterText(amount), "649.50");
    const auto openAt = [&](const TdxDBGridColumn& c, int y) -> QMenu* {
        const QPoint pos(g.view.headerRect(c).center().x(), y);
        QContextMenuEvent e(QContextMenuEvent::Mouse, pos, g.view.viewport()->mapToGlobal(pos));
        QApplication::sendEvent(g.view.viewport(), &e);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    };
    const int footerY = g.view.viewport()->height() - g.view.summaryFooterHeight() / 2;
    EXPECT_EQ(openAt(id, footerY), nullptr);
    EXPECT_EQ(openAt(amount, g.view.headerRect(amount).bottom() + 5), nullptr);

    QMenu* m = openAt(amount, footerY);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MenuGrid::entries(*m, true), QStringList{});
    MenuGrid::choose(*m, "大写金额");
    EXPECT_EQ(g.grid.SummaryFooterText(amount), "陆佰肆拾玖元伍角");
    m = openAt(amount, footerY);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(MenuGrid::entries(*m, true), QStringList{"大写金额"});
    MenuGrid::choose(*m, "大写金额");
    EXPECT_EQ(g.grid.SummaryFooterText(amount), "649.50");
    EXPECT_TRUE(g.errors.empty());
}
