// What the main window shows of a report tells its truth: a parent group's footer whatever
// its children's state, footers that follow the rows, the key field dialog on the current
// key, a refused interval that changes nothing, and option changes that repaint at once.
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "export/csvexport.h"
#include "export/htmlexport.h"
#include "export/listingexport.h"
#include "export/xlsxexport.h"
#include "grid/summaryrules.h"
#include "grid/ui/gridview.h"
#include "gridsetup/ui/primmarysetup.h"
#include "print/ui/previewwindow.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
using rgtest::whenModal;
namespace fs = std::filesystem;

namespace {

// A setup folder with a copy of the demo report 销售明细 (sales of 6000 orders, sums of
// quantity and amount), whose database sits beside the test program.
struct Setups {
    test::TempFolder folder;
    Setups() {
        fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / "销售明细.ini", folder / "销售明细.ini");
    }
    QString path() const { return QString::fromStdString(folder.path().string()) + "/"; }
    std::string file(const std::string& name) const { return (folder / name).string(); }
};

struct Window {
    QStringList errors;
    MessageSink previousError;
    Tfrmquorvel w;
    explicit Window(const Setups& setups) : w(nullptr, setups.path()) {
        w.resize(1100, 800);
        w.show();
        previousError = setErrorSink([this](const QString& m) { errors << m; });
    }
    ~Window() { setErrorSink(previousError); }
    void click(const QString& caption) {
        for (int i = 0; i < w.nvbar->ItemCount(); ++i)
            if (w.nvbar->Item(i)->Caption() == caption)
                return QTest::mouseClick(w.nvbar->Item(i)->linkWidget(), Qt::LeftButton);
        ADD_FAILURE() << caption.toStdString() << " is not listed";
    }
    TdxDBGrid& grid() { return *w.dxDBGrid; }
    TdxDBGridView& view() { return *qobject_cast<TdxDBGridView*>(w.gridView()); }
    TdxDBGridColumn& column(const char* field) { return *grid().ColumnByFieldName(field); }
    std::string footer(const char* field) { return grid().SummaryFooterText(column(field)); }
    // The grid as the window shows it, saved as a picture when the tests keep them.
    void picture(const char* name) {
        QApplication::processEvents();
        rgtest::savePicture(w, name);
    }
};

// The footer lines of group level `level` the window shows right after line `line`.
int footerLinesOfLevelAfter(TdxDBGrid& g, size_t line, int level) {
    const VisibleLines& lines = g.VisibleRows();
    int n = 0;
    for (size_t i = line + 1; i < lines.size() && lines[i].footer >= 0; ++i)
        n += g.FooterLevel(lines[i].row, lines[i].footer) == level ? 1 : 0;
    return n;
}

} // namespace

// Grouped by region, then city: a region opened on its cities shows its footer after its
// last city whether that city is open or not, with the region's own sums; a city's footer
// goes with its collapsed rows. Printing the rows as shown writes the same lines.
TEST(ReportViews, AParentGroupFooterShowsWhateverItsChildrensState) {
    qtApp();
    Setups setups;
    Window win(setups);
    win.click("销售明细");
    TdxDBGrid& g = win.grid();
    ASSERT_EQ(g.DataRowCount(), 6000);
    ASSERT_TRUE(g.ShowRowFooter());
    {
        GroupingUpdate batch(g);
        win.column("region").SetGroupIndex(0);
        win.column("city").SetGroupIndex(1);
    }
    ASSERT_EQ(g.GroupColumnCount(), 2);
    // The first region, opened; its cities stay collapsed.
    const RowHandle region = g.Top(0);
    g.SetExpanded(region, true);
    const RowHandle lastCity = g.Child(region, g.ChildCount(region) - 1);
    ASSERT_FALSE(g.Expanded(lastCity));
    const int64_t line = g.VisibleRows().lineOf(lastCity);
    ASSERT_GE(line, 0);
    win.picture("region-footer-cities-collapsed");
    ASSERT_EQ(footerLinesOfLevelAfter(g, static_cast<size_t>(line), 0), 1);
    EXPECT_EQ(footerLinesOfLevelAfter(g, static_cast<size_t>(line), 1), 0);
    const VisibleRow footer = g.VisibleRows()[static_cast<size_t>(line) + 1];
    EXPECT_EQ(g.FooterCellValue(footer.row, win.column("quantity"), footer.footer).toDouble(),
              g.GroupSummaryValue(region, 0).toDouble());
    EXPECT_FALSE(g.FooterCellText(footer.row, win.column("amount"), footer.footer).empty());

    // The last city opened: its footer, then the region's.
    g.SetExpanded(lastCity, true);
    const VisibleLines& open = g.VisibleRows();
    const int64_t lastRow = open.lineOf(g.Child(lastCity, g.ChildCount(lastCity) - 1));
    ASSERT_GE(lastRow, 0);
    EXPECT_EQ(footerLinesOfLevelAfter(g, static_cast<size_t>(lastRow), 1), 1);
    EXPECT_EQ(footerLinesOfLevelAfter(g, static_cast<size_t>(lastRow), 0), 1);

    // Collapsed again, the region's footer stays; the region collapsed, it goes with it.
    g.SetExpanded(lastCity, false);
    EXPECT_EQ(footerLinesOfLevelAfter(g, static_cast<size_t>(g.VisibleRows().lineOf(lastCity)), 0),
              1);
    g.SetExpanded(region, false);
    EXPECT_EQ(footerLinesOfLevelAfter(g, 0, 0), 0);
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
}

// "设置关键字" opens on the current key, and "确定" there keeps the rows and the footers.
// A key taken away takes the rows and with them the footers' values.
TEST(ReportViews, TheKeyFieldDialogOpensOnTheKeyAndFootersFollowTheRows) {
    qtApp();
    Setups setups;
    Window win(setups);
    win.click("销售明细");
    TdxDBGrid& g = win.grid();
    ASSERT_EQ(g.DataRowCount(), 6000);
    const std::string amount = win.footer("amount");
    ASSERT_FALSE(amount.empty());

    QString shown;
    whenModal<Tfrmprimmarysetup>([&](Tfrmprimmarysetup& d) {
        shown = d.lstfield->currentText();
        rgtest::savePicture(d, "key-field-dialog");
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    QTest::mouseClick(win.w.Button1, Qt::LeftButton);
    EXPECT_EQ(shown, "订单号 (order_id)");
    EXPECT_EQ(g.KeyField(), "order_id");
    EXPECT_EQ(g.DataRowCount(), 6000);
    EXPECT_EQ(win.footer("amount"), amount);

    whenModal<Tfrmprimmarysetup>([&](Tfrmprimmarysetup& d) {
        d.lstfield->lineEdit()->clear();
        QTest::mouseClick(d.Button1, Qt::LeftButton);
    });
    QTest::mouseClick(win.w.Button1, Qt::LeftButton);
    EXPECT_EQ(g.KeyField(), "");
    EXPECT_EQ(g.DataRowCount(), 0);
    win.picture("key-field-cleared");
    EXPECT_EQ(win.footer("amount"), "");
    EXPECT_EQ(win.footer("quantity"), "");
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
}

// With the rows on the server, "按月" on the order date's group button is refused: the
// message names the cause, and the grouping, the rows and the footers stay as they were.
TEST(ReportViews, ARefusedIntervalLeavesGroupingRowsAndFooters) {
    qtApp();
    Setups setups;
    {
        TSetup s(setups.file("销售明细.ini"));
        s.WriteServerSummaryEnabled("1");
    }
    Window win(setups);
    win.click("销售明细");
    TdxDBGrid& g = win.grid();
    ASSERT_TRUE(g.ServerMode());
    win.column("order_date").SetGroupIndex(0);
    ASSERT_EQ(g.GroupColumnCount(), 1);
    const int groups = g.TopCount();
    ASSERT_GT(groups, 12);
    const std::string amount = win.footer("amount");
    const std::string csv = gridAsCsv(g);
    ASSERT_FALSE(amount.empty());

    TdxDBGridView& view = win.view();
    const QPoint pos = view.groupButtonRect(0).center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, pos, view.viewport()->mapToGlobal(pos));
    QApplication::sendEvent(view.viewport(), &e);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    QAction* month = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "按月")
            month = a;
    ASSERT_TRUE(month);
    month->trigger();
    menu->close();
    win.picture("server-month-refused");

    ASSERT_EQ(win.errors.size(), 1);
    EXPECT_TRUE(win.errors[0].contains("服务器")) << win.errors[0].toStdString();
    EXPECT_EQ(win.column("order_date").GroupInterval().kind, GroupInterval::None);
    EXPECT_EQ(g.GroupColumnCount(), 1);
    EXPECT_EQ(g.TopCount(), groups);
    EXPECT_EQ(g.DataRowCount(), 6000);
    EXPECT_EQ(win.footer("amount"), amount);
    EXPECT_TRUE(gridAsCsv(g) == csv); // the same lines, without printing 6000 of them
}

// The row and summary footers switched off and on repaint the window at once; the rows stay
// loaded as they were (the opened group stays open).
TEST(ReportViews, OptionChangesRepaintWithoutAReload) {
    qtApp();
    Setups setups;
    Window win(setups);
    win.click("销售明细");
    TdxDBGrid& g = win.grid();
    win.column("region").SetGroupIndex(0);
    g.SetExpanded(g.Top(0), true);
    const size_t withFooters = g.VisibleRows().size();
    QApplication::processEvents();
    const QImage before = win.view().viewport()->grab().toImage();

    g.SetShowRowFooter(false);
    g.SetShowSummaryFooter(false);
    g.SetShowGroupPanel(false);
    win.picture("options-off");
    EXPECT_EQ(g.VisibleRows().size(), withFooters - 1);
    EXPECT_TRUE(g.Expanded(g.Top(0)));
    EXPECT_NE(win.view().viewport()->grab().toImage(), before);
    EXPECT_EQ(win.view().summaryFooterHeight(), 0);
    EXPECT_EQ(win.view().groupPanelHeight(), 0);

    g.SetShowRowFooter(true);
    g.SetShowSummaryFooter(true);
    g.SetShowGroupPanel(true);
    QApplication::processEvents();
    EXPECT_EQ(g.VisibleRows().size(), withFooters);
    EXPECT_TRUE(g.Expanded(g.Top(0)));
    EXPECT_EQ(win.view().viewport()->grab().toImage(), before);

    // Two summaries in the group rows, then another separator between them.
    DefineSummary(g, win.column("order_id"), TdxSummaryType::cstCount, SummaryPlace::GroupRow);
    DefineSummary(g, win.column("quantity"), TdxSummaryType::cstSum, SummaryPlace::GroupRow);
    const std::string text = g.GroupRowText(g.Top(0));
    ASSERT_NE(text.find("), ("), std::string::npos) << text;
    g.SetSummarySeparator(" | ");
    EXPECT_EQ(g.GroupRowText(g.Top(0)),
              text.substr(0, text.find("), (")) + ") | (" + text.substr(text.find("), (") + 4));
    EXPECT_TRUE(g.Expanded(g.Top(0)));
}

// Sum and maximum on one column: each of its footer cells says its kind, in the group
// footers and the summary footer alike, while a column of one kind stays as it was; the
// grand total's row says "总计" on screen and in the files.
TEST(ReportViews, FootersOfSeveralKindsSayTheirKindAndTheGrandTotalIsNamed) {
    qtApp();
    Setups setups;
    Window win(setups);
    win.click("销售明细");
    TdxDBGrid& g = win.grid();
    for (TdxDBGridColumn* c : g.VisibleColumns())
        c->SetVisible(c->FieldName() == "order_id" || c->FieldName() == "quantity" ||
                      c->FieldName() == "amount");
    win.column("region").SetGroupIndex(0);
    const std::string quantity = win.footer("quantity");
    const std::string sum = win.footer("amount");
    ASSERT_EQ(sum.find('='), std::string::npos);
    DefineSummary(g, win.column("amount"), TdxSummaryType::cstMax);
    g.SetExpanded(g.Top(0), true);
    win.picture("footers-several-kinds");

    EXPECT_EQ(win.footer("quantity"), quantity); // one kind: no label
    const std::string max = win.footer("amount");
    EXPECT_EQ(max.rfind("MAX=", 0), 0u) << max;
    const RowHandle last = g.Child(g.Top(0), g.ChildCount(g.Top(0)) - 1);
    ASSERT_EQ(g.FooterRowCount(last), 1);
    const std::string regionSum = g.FooterCellText(last, win.column("amount"), 0);
    EXPECT_EQ(regionSum.rfind("SUM=", 0), 0u) << regionSum;
    EXPECT_EQ(g.FooterCellText(last, win.column("quantity"), 0).find('='), std::string::npos);
    // On screen the label stands under the first column without a footer.
    EXPECT_EQ(g.SummaryFooterLabelColumn(g.VisibleColumns()), 0);

    const std::string csv = setups.file("out.csv"), html = setups.file("out.html"),
                      xlsx = setups.file("out.xlsx");
    ExportToCsv(g, csv, true, {});
    ExportToHtml(g, html, true, {});
    ExportToXlsx(g, xlsx, true, {});
    const std::string csvText = test::readBytes(csv);
    EXPECT_NE(csvText.find("总计,," + quantity + "," + max + "\r\n"), std::string::npos)
        << csvText.substr(csvText.size() - 100);
    const std::string htmlText = test::readBytes(html);
    EXPECT_NE(htmlText.find(">总计</td>"), std::string::npos);
    EXPECT_NE(htmlText.find(max), std::string::npos);
    // Printed as shown, the regions collapsed: the summary footer ends the last page.
    g.CollapseAll();
    bool previewed = false;
    whenModal<TdxPreviewWindow>([&](TdxPreviewWindow& preview) {
        preview.actLastPage->trigger();
        QApplication::processEvents();
        rgtest::savePicture(preview, "preview-grand-total");
        previewed = true;
        preview.close();
    });
    win.w.tbPreview->click();
    EXPECT_TRUE(previewed);

    QProcess unzip;
    unzip.start("unzip", {"-p", QString::fromStdString(xlsx)});
    ASSERT_TRUE(unzip.waitForFinished());
    EXPECT_TRUE(unzip.readAllStandardOutput().contains("总计"));
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
}
