// The report as one thing in the main window: every kind of change is one step of its
// history, undone and redone whole, named after what it changed; a load starts a new history.
#include "answeringchooser.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "grid/filtercondition.h"
#include "grid/summaryrules.h"
#include "gridsetup/ui/summaryitemsetup.h"
#include "qtapp.h"
#include "qtapplication.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace rg;

namespace {

struct Window {
    test::TempFolder setups;
    TestDb db{kRegionSales};
    Tfrmquorvel w{nullptr, QString::fromStdString(setups.path().string()) + "/"};

    explicit Window(bool onServer = false) {
        TSetup s((setups / "地区.ini").string());
        if (onServer)
            s.WriteServerSummaryEnabled("1");
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("t");
        s.WriteKeyField("id");
        s.WriteField("region", "地区");
        s.WriteSummaryField("amount", "cstsum");
        w.ListSavedSetups();
        w.show();
        // The window's shortcuts answer keys only while it is the active window.
        w.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    }
    TdxDBGrid& grid() { return *w.dxDBGrid; }
    TdxDBGridColumn& column(const char* field) { return *grid().ColumnByFieldName(field); }
    Report report() const { return w.document->report(); }
};

} // namespace

TEST(ReportHistory, EveryKindOfStepIsUndoneAndRedoneWhole) {
    qtApp();
    Window win;
    ASSERT_EQ(win.grid().DataRowCount(), 5);
    EXPECT_FALSE(win.w.Undo->isEnabled());
    EXPECT_EQ(win.w.Undo->text(), "撤销");
    const IntervalSpec range = parseInterval("区间10");
    CrossTableDef cross;
    cross.field = "region";
    cross.summaryField = "amount";
    const std::pair<std::string, std::function<void()>> steps[] = {
        {"按“地区”分组", [&] { win.grid().GroupColumn(win.column("region"), 0); }},
        {"按“amount”分组", [&] { win.grid().GroupColumn(win.column("amount"), 1); }},
        {"“amount”按" + intervalName(range) + "分组",
         [&] { win.column("amount").SetGroupInterval(range); }},
        {"取消按“amount”分组", [&] { win.grid().UngroupColumn(1); }},
        {"按“city”排序", [&] { win.grid().SortByClick(win.column("city"), false); }},
        {"筛选", [&] { SetFilterExpression(win.grid(), "amount > 5"); }},
        {"设置汇总方式",
         [&] { DefineSummary(win.grid(), win.column("amount"), TdxSummaryType::cstMax); }},
        {"设置“城市”的标题", [&] { win.w.dataset()->FieldByName("city").SetDisplayLabel("城市"); }},
        {"隐藏“城市”", [&] { win.column("city").SetVisible(false); }},
        {"设置关键字", [&] { win.grid().SetKeyField("city"); }},
        {"调整“amount”的列宽", [&] { win.column("amount").SetWidth(150); }},
        {"调整列的顺序", [&] { win.grid().MoveColumn(win.column("amount"), 0); }},
        {"设置交叉表", [&] { win.grid().SetCrossTable(cross); }},
        {"显示图表", [&] { win.w.ShowChart->trigger(); }},
    };
    std::vector<Report> reports{win.report()};
    for (const auto& [name, change] : steps) {
        const Report before = win.report();
        win.w.runCommand(change);
        const Report after = win.report();
        ASSERT_FALSE(after == before) << name;
        reports.push_back(after);
        EXPECT_EQ(win.w.Undo->text().toStdString(), "撤销：" + name);

        win.w.Undo->trigger();
        EXPECT_TRUE(win.report() == before) << "undo " << name;
        EXPECT_EQ(win.w.Redo->text().toStdString(), "重做：" + name);
        win.w.Redo->trigger();
        EXPECT_TRUE(win.report() == after) << "redo " << name;
    }
    // The whole way back and forth again, by the keys.
    for (size_t i = reports.size() - 1; i > 0; --i) {
        QTest::keyClick(&win.w, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(win.report() == reports[i - 1]) << "back to " << i - 1;
    }
    EXPECT_FALSE(win.w.Undo->isEnabled());
    EXPECT_EQ(win.grid().DataRowCount(), 5);
    QTest::keyClick(&win.w, Qt::Key_Y, Qt::ControlModifier);
    QTest::keyClick(&win.w, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(win.report() == reports[2]);
    EXPECT_EQ(win.grid().GroupColumnCount(), 2);

    // A loaded report starts a history of its own.
    QTest::mouseClick(win.w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    EXPECT_FALSE(win.w.Undo->isEnabled());
    EXPECT_FALSE(win.w.Redo->isEnabled());
    EXPECT_TRUE(win.report() == reports[0]);
}

// A column's edge dragged is many commands, one for each move: one step. Two drags are two.
TEST(ReportHistory, OneDragOfAColumnsEdgeIsOneStep) {
    qtApp();
    Window win;
    const Report start = win.report();
    TdxDBGridColumn& amount = win.column("amount");
    const int width = amount.Width();
    for (int w : {width + 10, width + 20, width + 30})
        win.w.runCommand([&] { amount.SetWidth(w); });
    win.w.runCommand([] {}); // the release, which changes nothing
    const Report firstDrag = win.report();
    for (int w : {width + 40, width + 50})
        win.w.runCommand([&] { amount.SetWidth(w); });
    EXPECT_EQ(win.w.document->history().count(), 2);
    win.w.Undo->trigger();
    EXPECT_TRUE(win.report() == firstDrag);
    EXPECT_EQ(amount.Width(), width + 30);
    win.w.Undo->trigger();
    EXPECT_TRUE(win.report() == start);
}

// Expanding and collapsing groups is how the report is looked at, not a change of it.
TEST(ReportHistory, CommandsThatChangeNothingMakeNoStep) {
    qtApp();
    Window win;
    win.w.runCommand([&] { win.grid().ExpandAll(); });
    win.w.runCommand([&] { win.grid().SortByClick(win.column("city"), false); });
    win.w.runCommand([&] { win.grid().CollapseAll(); });
    EXPECT_EQ(win.w.document->history().count(), 1);
    EXPECT_EQ(win.w.Undo->text(), "撤销：按“city”排序");
}

// A cross table and a chart on one demo report, then another from the left bar: it shows
// its own rows with neither, and a save writes no cross table or chart it never had.
TEST(ReportHistory, AnotherReportReplacesCrossTableAndChartToo) {
    qtApp();
    const test::TempFolder setups;
    for (const char* name : {"订单日期统计.ini", "地区产品汇总.ini"})
        std::filesystem::copy_file(std::filesystem::path(RG_BINARY_DIR) / "setup" / name,
                                   setups / name);
    Tfrmquorvel w(nullptr, QString::fromStdString(setups.path().string()) + "/");
    w.show();
    auto click = [&](const QString& caption) {
        for (int i = 0; i < w.nvbar->ItemCount(); ++i)
            if (w.nvbar->Item(i)->Caption() == caption)
                return QTest::mouseClick(w.nvbar->Item(i)->linkWidget(), Qt::LeftButton);
        ADD_FAILURE() << caption.toStdString() << " is not listed";
    };
    click("订单日期统计");
    const int rows = w.dxDBGrid->DataRowCount();
    click("地区产品汇总");
    const std::string saved = (setups / "saved.ini").string();
    w.SaveSetup(QString::fromStdString(saved));
    const std::string alone = test::readBytes(saved);
    w.runCommand([&] {
        w.dxDBGrid->SetCrossTable({"category", {}, TdxSummaryType::cstSum, "amount"});
    });
    w.ShowChart->trigger();
    ASSERT_NE(w.dxDBGrid->ShownCrossTable(), nullptr);

    click("订单日期统计");
    EXPECT_EQ(w.dxDBGrid->CrossTableDefinition(), std::nullopt);
    EXPECT_EQ(w.dxDBGrid->ShownCrossTable(), nullptr);
    EXPECT_FALSE(w.document->chart().Settings.shown);
    EXPECT_FALSE(w.ShowChart->isChecked());
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), rows);
    click("地区产品汇总");
    w.SaveSetup(QString::fromStdString(saved));
    EXPECT_EQ(test::readBytes(saved), alone);
    EXPECT_EQ(TSetup(saved).ReadCrossTable().field, "");
}

// The summary dialog applies each item at once; the whole session is one step, which one
// Ctrl+Z takes back.
TEST(ReportHistory, ADialogSessionIsOneStep) {
    qtApp();
    Window win;
    const Report before = win.report();
    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<Tfrusummarysetup*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        d->AddSummaryItem(0, positionOfSummaryKind(TdxSummaryType::cstCount));
        d->AddSummaryItem(3, positionOfSummaryKind(TdxSummaryType::cstMax));
        d->reject();
    });
    // A modal dialog's first event loop round runs the timer.
    QTest::mouseClick(win.w.Button3, Qt::LeftButton);
    EXPECT_EQ(win.grid().DefaultGroup().SummaryItems.Count(), 3);
    EXPECT_EQ(win.w.document->history().count(), 1);
    EXPECT_EQ(win.w.Undo->text(), "撤销：设置汇总方式");
    win.w.PopupMenu1->popup(win.w.mapToGlobal(QPoint(300, 200)));
    rgtest::savePicture(*win.w.PopupMenu1, "undo-menu");
    rgtest::savePicture(win.w, "undo-window");
    win.w.PopupMenu1->hide();
    win.w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&win.w));
    QTest::keyClick(&win.w, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(win.report() == before);
    EXPECT_EQ(win.grid().DefaultGroup().SummaryItems.Count(), 1);
}

// With the rows on the server, the steps are taken back the same way.
TEST(ReportHistory, StepsOnTheServerAreUndoneToo) {
    qtApp();
    Window win(true);
    ASSERT_TRUE(win.w.dataset()->ServerSide());
    const Report start = win.report();
    const std::string footer = win.grid().SummaryFooterText(win.column("amount"));
    win.w.runCommand([&] { win.grid().GroupColumn(win.column("region"), 0); });
    win.w.runCommand([&] { SetFilterExpression(win.grid(), "amount > 5"); });
    ASSERT_EQ(win.grid().GroupColumnCount(), 1);
    win.w.Undo->trigger();
    win.w.Undo->trigger();
    EXPECT_TRUE(win.report() == start);
    EXPECT_TRUE(win.w.dataset()->ServerSide());
    EXPECT_EQ(win.grid().GroupColumnCount(), 0);
    EXPECT_EQ(win.grid().SummaryFooterText(win.column("amount")), footer);
}
