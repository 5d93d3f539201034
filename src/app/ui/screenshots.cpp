// Takes the pictures of the README and the manual, on the demo report 地区产品汇总 (run by
// scripts/screenshots.sh on a virtual display): the main window grouped by region and
// category with summaries in the group rows, one group open, the summary items dialog and the
// progress window of an export; then the find bar on a product in a collapsed group, with
// three rows selected from the match; the chart of the regions beside the grid; the cross
// table of regions by categories; then the demo report 销售明细 grouped by month, with the
// filter list of its regions; last the data source dialog's SQL box with an error marked and
// with its completion list.

#include "app/ui/navbar.h"
#include "app/ui/program.h"
#include "app/ui/progresswindow.h"
#include "app/ui/quorvel.h"
#include "chart/ui/chartview.h"
#include "datasource/ui/dbsetup.h"
#include "grid/ui/filterdropdown.h"
#include "grid/ui/findbar.h"
#include "grid/ui/gridview.h"
#include "gridsetup/ui/summaryitemsetup.h"
#include "setup/reportdefinition.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>

#include <cstdio>

namespace {

bool save(QWidget& w, const QString& path) {
    QApplication::processEvents();
    if (w.grab().save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

rg::TdxNavBarItem* reportItem(rg::Tfrmquorvel& window, const QString& caption) {
    for (int i = 0; i < window.nvbar->ItemCount(); ++i)
        if (window.nvbar->Item(i)->Caption() == caption)
            return window.nvbar->Item(i);
    std::fprintf(stderr, "the demo report %s is missing: build the target demo_reports\n",
                 qPrintable(caption));
    return nullptr;
}

// The orders by month, each month's count and sum in its group row.
bool monthsPicture(rg::Tfrmquorvel& window, const QDir& out) {
    rg::TdxNavBarItem* report = reportItem(window, QStringLiteral("销售明细"));
    if (!report)
        return false;
    window.nvbarItemClick(report);
    rg::TdxDBGrid& grid = *window.dxDBGrid;
    auto column = [&](const char* field) { return grid.ColumnByFieldName(field)->Index(); };
    rg::ApplySummary(grid, column("order_id"), "cstcount", rg::SummaryPlace::GroupRow);
    rg::ApplySummary(grid, column("amount"), "cstsum", rg::SummaryPlace::GroupRow);
    rg::TdxDBGridColumn& date = *grid.ColumnByFieldName("order_date");
    date.SetGroupInterval({rg::GroupInterval::Month, 0});
    grid.GroupColumn(date, 0);
    grid.SetFocusedRow(grid.Top(2));
    auto& view = *qobject_cast<rg::TdxDBGridView*>(window.gridView());
    view.verticalScrollBar()->setValue(0);
    for (rg::TdxDBGridColumn* c : grid.VisibleColumns())
        c->SetWidth(view.FitWidth(*c));
    return save(window, out.filePath("group-by-month.png"));
}

// The filter list of 地区 with three regions ticked, under its header.
bool filterListPicture(rg::Tfrmquorvel& window, const QDir& out) {
    rg::TdxDBGrid& grid = *window.dxDBGrid;
    auto& view = *qobject_cast<rg::TdxDBGridView*>(window.gridView());
    view.ShowFilterDropDown(*grid.ColumnByFieldName("region"));
    rg::TdxFilterDropDown* list = view.findChild<rg::TdxFilterDropDown*>();
    if (!list)
        return false;
    list->allItem()->setCheckState(Qt::Unchecked);
    for (int value : {1, 2, 4})
        if (QListWidgetItem* item = list->entryItem(rg::TdxFilterDropDown::FirstValue + value))
            item->setCheckState(Qt::Checked);
    const bool saved = save(*list, out.filePath("filter-list-ticked.png"));
    list->close();
    return saved;
}

// The SQL box after a run the database refused, and then, run again, with the fields of
// its table offered. The dialog works on a data set of its own, so the report stays as it is.
bool sqlEditorPictures(rg::Tfrmquorvel& window, const QDir& out) {
    rg::Connection connection;
    connection.SetConnectionString(window.conn()->ConnectionString());
    rg::DataSet dataSet(&connection);
    rg::TFRMDBSETUP dialog(&window);
    dialog.AssignDataSet(dataSet);
    dialog.AssignConnection(connection);
    dialog.show();
    rg::SqlEditor& box = *dialog.MasterSQL;
    box.setPlainText(QStringLiteral("select order_id, region, amount\nfrom sales\n"
                                    "where amount > 1000 and regoin = '华东'"));
    dialog.btnrunClick();
    if (!save(dialog, out.filePath("sql-editor-error.png")))
        return false;

    // The text mended and run, its rows in the preview; then a condition begun.
    box.setFocus();
    box.setPlainText(QStringLiteral("select order_id, region, amount\nfrom sales s"));
    dialog.btnrunClick();
    box.moveCursor(QTextCursor::End);
    box.insertPlainText(QStringLiteral("\nwhere s"));
    QKeyEvent dot(QEvent::KeyPress, Qt::Key_Period, Qt::NoModifier, QStringLiteral("."));
    QApplication::sendEvent(&box, &dot);
    QApplication::processEvents();
    // The list is a window of its own: it is painted over the dialog where it stands.
    QPixmap picture = dialog.grab();
    QWidget* list = box.completer()->popup();
    if (list->isVisible()) {
        QPainter painter(&picture);
        painter.drawPixmap(list->mapToGlobal(QPoint(0, 0)) - dialog.mapToGlobal(QPoint(0, 0)),
                           list->grab());
    }
    const QString path = out.filePath("sql-editor-completion.png");
    if (picture.save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    auto windows = rg::createStartWindows();
    rg::Tfrmquorvel& window = *windows->main;
    window.show();

    rg::TdxNavBarItem* report = reportItem(window, QStringLiteral("地区产品汇总"));
    if (!report)
        return 1;
    window.nvbarItemClick(report);
    rg::TdxDBGrid& grid = *window.dxDBGrid;
    auto column = [&](const char* field) { return grid.ColumnByFieldName(field)->Index(); };
    rg::ApplySummary(grid, column("order_id"), "cstcount", rg::SummaryPlace::GroupRow);
    rg::ApplySummary(grid, column("amount"), "cstsum", rg::SummaryPlace::GroupRow);
    grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
    grid.GroupColumn(*grid.ColumnByFieldName("category"), 1);
    // One region open, and in it its smallest category, so that data rows and group
    // footers show beside the group rows.
    const rg::RowHandle region = grid.Top(1);
    grid.SetExpanded(region, true);
    rg::RowHandle smallest = grid.Child(region, 0);
    for (int i = 1; i < grid.ChildCount(region); ++i)
        if (grid.DataRowsBelow(grid.Child(region, i)) < grid.DataRowsBelow(smallest))
            smallest = grid.Child(region, i);
    grid.SetExpanded(smallest, true);
    grid.SetFocusedRow(smallest);
    auto& view = *qobject_cast<rg::TdxDBGridView*>(window.gridView());
    // Scrolled to the end of the open category: its last rows, its footers, the groups after.
    const auto& lines = grid.VisibleRows();
    int footerLine = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].footer == 0 && grid.Parent(lines[i].row) == smallest)
            footerLine = static_cast<int>(i);
    view.verticalScrollBar()->setValue(footerLine - 20);
    for (rg::TdxDBGridColumn* c : grid.VisibleColumns())
        c->SetWidth(view.FitWidth(*c));
    if (!save(window, out.filePath("main-window.png")))
        return 1;

    rg::Tfrusummarysetup dialog(&window);
    dialog.Grid = &grid;
    dialog.FillLists();
    dialog.lstSummaryItem->setCurrentRow(dialog.lstSummaryItem->count() - 1);
    dialog.show();
    if (!save(dialog, out.filePath("summary-dialog.png")))
        return 1;
    dialog.hide();

    rg::TProgressWindow progress(&window, std::chrono::milliseconds(0));
    progress.progress("正在导出", 45, 100);
    if (!save(progress, out.filePath("progress-window.png")))
        return 1;
    progress.hide();

    grid.CollapseAll();
    view.setFocus();
    view.ShowFindBar();
    view.findBar()->findText->setText(QStringLiteral("苏泊尔"));
    view.FindNext();
    for (int i = 0; i < 2; ++i) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier);
        QApplication::sendEvent(&view, &down);
    }
    if (!save(window, out.filePath("find-and-selection.png")))
        return 1;
    view.findBar()->hide();

    // The chart of the regions' amounts beside the grid, from the grid menu's entry.
    window.ShowChart->trigger();
    rg::GroupChartView& chart = *window.chartView;
    for (const rg::SummaryChoice& c : chart.chart().summaryChoices())
        if (c.label == "金额 合计")
            chart.setSummary(c.item);
    if (!save(window, out.filePath("group-chart.png")))
        return 1;
    window.ShowChart->trigger();

    // Regions down, categories across, the amounts in the cells.
    grid.UngroupColumn(1);
    grid.SetCrossTable({"category", {}, rg::TdxSummaryType::cstSum, "amount"});
    if (!save(window, out.filePath("cross-table.png")))
        return 1;
    grid.ClearCrossTable();
    return monthsPicture(window, out) && filterListPicture(window, out) &&
                   sqlEditorPictures(window, out)
               ? 0
               : 1;
}
