#include "app/ui/navbar.h"
#include "app/ui/program.h"
#include "app/ui/quorvel.h"
#include "grid/ui/findbar.h"
#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testfiles.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <filesystem>

#include <gtest/gtest.h>

using namespace rg;
namespace fs = std::filesystem;

// In the main window on the demo report 地区产品汇总, grouped by region and collapsed: Ctrl+F
// (pressed wherever the focus is) finds a product inside a closed region, Shift+Down takes the next
// record too, and Ctrl+C copies both led by their region.
TEST(GridViewInMainWindow, FindSelectAndCopyOnTheDemoReport) {
    rgtest::qtApp();
    qputenv("LANGUAGE", "zh_CN");
    installTranslations();
    test::TempFolder folder;
    fs::copy_file(fs::path(RG_BINARY_DIR) / "setup" / "地区产品汇总.ini",
                  folder / "地区产品汇总.ini");
    Tfrmquorvel w(nullptr, QString::fromStdString(folder.path().string()) + "/");
    w.resize(900, 600);
    w.show();
    ASSERT_EQ(w.nvbar->ItemCount(), 1);
    QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    TdxDBGrid& grid = *w.dxDBGrid;
    ASSERT_GT(grid.DataRowCount(), 100);
    TdxDBGridColumn& region = *grid.ColumnByFieldName("region");
    ASSERT_TRUE(grid.GroupColumn(region, 0));
    auto* view = qobject_cast<TdxDBGridView*>(w.gridView());
    ASSERT_NE(view, nullptr);
    QApplication::setActiveWindow(&w);

    // Ctrl+F from the left bar: the find bar opens over the grid all the same.
    QWidget* link = w.nvbar->Item(0)->linkWidget();
    link->setFocus();
    QTest::keyClick(link, Qt::Key_F, Qt::ControlModifier);
    TdxFindBar* bar = view->findBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isVisible());
    bar->findText->setText(QStringLiteral("苏泊尔电饭煲"));
    QTest::keyClick(bar->findText, Qt::Key_Return);
    const RowHandle found = grid.FocusedRow();
    ASSERT_TRUE(found.isData());
    const TdxDBGridColumn& product = *grid.ColumnByFieldName("product");
    EXPECT_EQ(grid.CellText(found, product), "苏泊尔电饭煲");
    EXPECT_TRUE(grid.Expanded(grid.Parent(found)));
    EXPECT_TRUE(bar->status->text().isEmpty());
    QCoreApplication::sendPostedEvents();
    w.grab().save("/tmp/gridview-mainwindow-find.png");

    bar->findText->setText(QStringLiteral("不存在的产品"));
    QTest::keyClick(bar->findText, Qt::Key_Return);
    EXPECT_EQ(bar->status->text(), QStringLiteral("找不到"));
    EXPECT_EQ(grid.FocusedRow(), found);

    QTest::keyClick(bar->findText, Qt::Key_Escape);
    ASSERT_TRUE(view->hasFocus());
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    const RowHandle next = grid.FocusedRow();
    ASSERT_TRUE(next.isData());
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    ASSERT_EQ(lines.size(), 4); // captions, two records, the final line break
    EXPECT_EQ(lines[0], QStringLiteral("地区\t订单号\t类别\t产品\t数量\t单价\t金额"));
    for (const auto& [line, row] : {std::pair{1, found}, std::pair{2, next}}) {
        const QStringList cells = lines[line].split('\t');
        ASSERT_EQ(cells.size(), 7);
        EXPECT_EQ(cells[0].toStdString(), grid.CellText(row, region));
        EXPECT_EQ(cells[3].toStdString(), grid.CellText(row, product));
    }
}
