#include "app/ui/buttonimages.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/error.h"
#include "common/ui/commandguard.h"
#include "qtapp.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;

namespace {

struct Tool {
    const char* name;
    const char* caption;
    int image;
    const char* hint;
};

} // namespace

TEST(MainWindow, ControlsTextsAndGeometry) {
    qtApp();
    QTemporaryDir setups;
    Tfrmquorvel w(nullptr, setups.path() + "/");
    EXPECT_EQ(w.objectName(), "frmquorvel");
    EXPECT_EQ(w.windowTitle(), "报表生成器");
    EXPECT_EQ(w.pos(), QPoint(197, 122));
    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.frameGeometry().size(), QSize(870, 702));

    auto bar = w.findChild<QFrame*>("ToolBar1");
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->height(), 40);
    const Tool tools[] = {
        {"ToolButton1", "设置数据源", 6, ""},
        {"tbPreview", "打印预览", 1, "Print Preview"},
        {"tbPrint", "打印", 2, "Print"},
        {"tbSetup", "     页面设置         ", 0, "Page Setup"},
        {"tbDesigner", "报表设计", 3, "Designer"},
        {"ToolButton2", "关于", 7, ""},
        {"tbExit", "退出", 5, "Exit"},
    };
    auto images = w.findChild<TImageList*>("ilButtons");
    ASSERT_TRUE(images);
    int lastRight = 0;
    for (const Tool& t : tools) {
        SCOPED_TRACE(t.name);
        auto b = bar->findChild<QToolButton*>(t.name);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->text(), QString::fromUtf8(t.caption));
        EXPECT_EQ(b->size(), QSize(97, 36));
        EXPECT_EQ(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        EXPECT_TRUE(b->autoRaise());
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(t.hint));
        EXPECT_EQ(b->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32),
                  images->image(t.image).toImage().convertToFormat(QImage::Format_ARGB32));
        EXPECT_GE(b->x(), lastRight); // left to right in table order
        lastRight = b->x() + b->width();
    }
    EXPECT_EQ(bar->findChild<QToolButton*>("ToolButton1")->mapTo(bar, QPoint(0, 0)).x(), 5);
    for (const char* gap : {"ToolButton3", "tbDevider", "tbSeparator", "ToolButton4"})
        EXPECT_EQ(bar->findChild<QFrame*>(gap)->width(), 8) << gap;
    EXPECT_EQ(bar->findChild<QFrame*>("tbDevider")->frameShape(), QFrame::VLine);
    EXPECT_EQ(bar->findChild<QFrame*>("ToolButton3")->frameShape(), QFrame::NoFrame);

    // Eight distinct 16 x 16 pictures, none of them empty.
    ASSERT_EQ(images->Count(), 8);
    for (int i = 0; i < 8; ++i) {
        QImage img = images->image(i).toImage();
        EXPECT_EQ(img.size(), QSize(16, 16));
        for (int j = 0; j < i; ++j)
            EXPECT_NE(img, images->image(j).toImage()) << i << " " << j;
    }

    auto nvbar = w.findChild<TdxNavBar*>("nvbar");
    ASSERT_TRUE(nvbar);
    EXPECT_EQ(nvbar->width(), 144);
    EXPECT_EQ(nvbar->Group()->objectName(), "nvbarGroup");
    EXPECT_EQ(nvbar->Group()->Caption(), "已设置报表");
    EXPECT_TRUE(nvbar->Group()->Expanded());
    EXPECT_EQ(nvbar->ItemCount(), 0);
    EXPECT_TRUE(w.findChild<QSplitter*>("Splitter1"));
    // The grid starts empty: no columns, no group panel, no footers.
    ASSERT_TRUE(w.gridView());
    EXPECT_EQ(w.gridView()->objectName(), "dxDBGrid");
    EXPECT_EQ(w.dxDBGrid->ColumnCount(), 0);
    EXPECT_FALSE(w.dxDBGrid->ShowGroupPanel() || w.dxDBGrid->ShowRowFooter() ||
                 w.dxDBGrid->ShowSummaryFooter());

    auto panel2 = w.findChild<QFrame*>("Panel2");
    ASSERT_TRUE(panel2);
    EXPECT_EQ(panel2->width(), 167);
    EXPECT_GT(panel2->x(), nvbar->width());
    const struct {
        const char* name;
        QRect rect;
        const char* text;
    } labels[] = {
        {"Label4", {16, 24, 96, 13}, "请按下列步骤操作"},
        {"Label1", {16, 56, 97, 13}, "1.设置关键字"},
        {"Label2", {16, 88, 89, 13}, "2.设置字段"},
        {"Label3", {16, 120, 97, 13}, "3.设置汇总方式"},
        {"Label5", {8, 136, 153, 13}, "注：此程序可以设置任意"},
        {"Label6", {8, 152, 153, 13}, "一种形式的报表，对任意"},
        {"Label7", {8, 168, 153, 13}, "烈进行汇总，还可以输出"},
        {"Label8", {8, 184, 153, 13}, "Excel表格"},
    };
    for (const auto& l : labels) {
        auto label = panel2->findChild<QLabel*>(l.name);
        ASSERT_TRUE(label) << l.name;
        EXPECT_EQ(label->geometry(), l.rect) << l.name;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.text)) << l.name;
    }

    auto panel3 = w.findChild<QFrame*>("Panel3");
    ASSERT_TRUE(panel3);
    EXPECT_EQ(panel3->height(), 41);
    // The status bar under the bottom panel closes the window.
    auto status = w.findChild<QStatusBar*>("StatusBar1");
    ASSERT_TRUE(status);
    EXPECT_EQ(panel3->y() + panel3->height(), status->y());
    EXPECT_EQ(status->y() + status->height(), w.height());
    const struct {
        const char* name;
        QRect rect;
        const char* text;
    } buttons[] = {
        {"Button1", {206, 5, 75, 25}, "设置关键字"},
        {"Button2", {334, 5, 75, 25}, "设置字段"},
        {"Button3", {470, 5, 99, 25}, "设置汇总方式"},
    };
    for (const auto& b : buttons) {
        auto button = panel3->findChild<QPushButton*>(b.name);
        ASSERT_TRUE(button) << b.name;
        EXPECT_EQ(button->geometry(), b.rect) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.text)) << b.name;
    }

    auto menu = w.findChild<QMenu*>("PopupMenu1");
    ASSERT_TRUE(menu);
    const char* items[][2] = {{"N1", "展开"},
                              {"N2", "折叠"},
                              {"N3", nullptr},
                              {"XML1", "输出XML文档"},
                              {"N4", "输出电子表格"},
                              {"PDF1", "输出PDF文档"},
                              {"N5", nullptr},
                              {"N6", "字段显示设置"},
                              {"N7", nullptr},
                              {"N8", "保存设置"},
                              {"N9", "读取设置"},
                              {"N10", nullptr},
                              {"ShowChart", "显示图表"},
                              {"CalcFields", "计算字段"},
                              {"SummaryFormulas", "汇总公式"},
                              {"Schedules", "定时输出"},
                              {"N11", nullptr},
                              {"Undo", "撤销"},
                              {"Redo", "重做"}};
    const QList<QAction*> actions = menu->actions();
    const int count = static_cast<int>(std::size(items));
    ASSERT_EQ(actions.size(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(actions[i]->objectName(), items[i][0]);
        EXPECT_EQ(actions[i]->isSeparator(), items[i][1] == nullptr) << items[i][0];
        if (items[i][1]) {
            EXPECT_EQ(actions[i]->text(), QString::fromUtf8(items[i][1]));
        }
    }

    auto dialog = w.findChild<TSaveDialog*>("dlgsjsc");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->Title, "保存");
    EXPECT_EQ(dialog->Filter, "电子表格|*.xls");
}

TEST(MainWindow, GridViewGoesIntoTheCentreWithThePopupMenu) {
    qtApp();
    QTemporaryDir setups;
    Tfrmquorvel w(nullptr, setups.path() + "/");
    w.show();
    auto first = new QTableView;
    first->setObjectName("dxDBGrid");
    QPointer<QTableView> firstAlive(first);
    w.setGridView(first);
    EXPECT_EQ(w.gridView(), first);
    EXPECT_EQ(w.findChild<QTableView*>("dxDBGrid"), first);
    EXPECT_TRUE(w.gridArea->isAncestorOf(first));
    EXPECT_EQ(first->contextMenuPolicy(), Qt::CustomContextMenu);
    QApplication::processEvents();
    EXPECT_EQ(first->geometry(), w.gridArea->rect()); // fills the centre

    // The grid's context menu is PopupMenu1.
    emit first->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(w.PopupMenu1->isVisible());
    w.PopupMenu1->hide();

    w.setGridView(new QTableView);
    QApplication::processEvents();
    EXPECT_TRUE(firstAlive.isNull());
    EXPECT_EQ(w.gridArea->findChildren<QTableView*>().size(), 1);
}

TEST(CommandGuard, ErrorsReachTheCentralHandlerAndStopThere) {
    QStringList shown;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    int doneBefore = 0;
    guardCommand([&] {
        ++doneBefore;
        throw Error("Cannot create file \"/x/y.xls\". 没有那个文件或目录");
    });
    guardCommand([] { throw std::out_of_range("List index out of bounds (3)"); });
    guardCommand([] { throw 42; });
    guardCommand([] {});
    // Cancelled work is no error: its message is a notice.
    QStringList notices;
    MessageSink previousNotice = setNoticeSink([&](const QString& m) { notices << m; });
    guardCommand([] { reportProgress("正在导出", 0); });
    guardCommand([] { throw Cancelled(); });
    setNoticeSink(previousNotice);
    setErrorSink(previous);
    EXPECT_EQ(doneBefore, 1);
    EXPECT_EQ(shown, QStringList({"Cannot create file \"/x/y.xls\". 没有那个文件或目录",
                                  "List index out of bounds (3)", "Unknown error"}));
    EXPECT_EQ(notices, QStringList{"操作已取消。"});
}
