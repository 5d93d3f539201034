#include "../app/qtapp.h"
#include "../gridsetup/fixture.h"
#include "printfixture.h"

#include "app/ui/quorvel.h"
#include "common/progress.h"
#include "print/componentprinter.h"
#include "print/ui/pagesetupdialog.h"
#include "print/ui/previewpageview.h"
#include "print/ui/previewwindow.h"
#include "print/ui/printenginewindows.h"
#include "print/ui/reportdesigner.h"
#include "testsupport.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace rg;
using rgtest::onNextModal;

namespace {

// Dark pixels on a grabbed widget: text and lines were drawn.
int inkOf(QWidget* w) {
    const QImage image = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                ++n;
    return n;
}

// Acts on the next modal window when it is a Dialog; anything else is closed.
template <class Dialog> void onNext(std::function<void(Dialog*)> act) {
    onNextModal([act](QWidget* m) {
        if (auto d = qobject_cast<Dialog*>(m))
            act(d);
        else
            m->close();
    });
}

} // namespace

TEST(PrintWindows, MainWindowCommandsReachTheEngine) {
    qtApp();
    SalesDb db(150);
    QTemporaryDir setups;
    Tfrmquorvel w(nullptr, setups.path() + "/");
    w.conn()->SetConnectionString("Provider=SQLite;Data Source=" + db.folder + "/t.db");
    w.dataset()->SetCommandType(CommandType::cmdText);
    w.dataset()->SetCommandText(
        "SELECT id AS 编号, region AS 地区, city AS 城市, amount AS 金额 FROM sales");
    w.dataset()->Open();
    w.BuildGridColumns();
    w.dxDBGrid->SetKeyField("编号");
    w.show();
    ASSERT_EQ(w.dxComponentPrinter1->Name, "dxComponentPrinter1");
    TdxDBGridReportLink& link = *w.dxComponentPrinter1Link1;
    ASSERT_EQ(w.dxComponentPrinter1->CurrentLink, &link);
    ASSERT_EQ(link.Component(), w.dxDBGrid);

    // Preview: the modal window with the report's pages; it goes when closed.
    QPointer<TdxPreviewWindow> preview;
    QString pageLabel;
    int pageAfterNext = -1;
    onNext<TdxPreviewWindow>([&](TdxPreviewWindow* d) {
        preview = d;
        pageLabel = preview->lblPageCount->text();
        preview->actNextPage->trigger();
        pageAfterNext = preview->currentPage();
        preview->actClose->trigger();
    });
    QTest::mouseClick(w.tbPreview, Qt::LeftButton);
    ASSERT_GE(link.PageCount(), 3);
    EXPECT_EQ(pageLabel, QStringLiteral(" / %1 页 ").arg(link.PageCount()));
    EXPECT_EQ(pageAfterNext, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(preview.isNull());

    // Page setup: OK applies, Cancel does not.
    onNext<TdxPageSetupDialog>([&](TdxPageSetupDialog* d) {
        EXPECT_DOUBLE_EQ(d->edMarginLeft->value(), 12.7);
        EXPECT_EQ(d->cbPaperSize->currentText(), QPageSize::name(QPageSize::Letter));
        d->edMarginTop->setValue(25.4);
        d->rbLandscape->setChecked(true);
        d->btnOK->click();
    });
    QTest::mouseClick(w.tbSetup, Qt::LeftButton);
    EXPECT_EQ(link.PrinterPage.Margins.top, 25400);
    EXPECT_EQ(link.PrinterPage.Margins.left, 12700);
    EXPECT_EQ(link.PrinterPage.Orientation, QPageLayout::Landscape);
    EXPECT_EQ(link.PrinterPage.PageWidth, 215900);
    onNext<TdxPageSetupDialog>([&](TdxPageSetupDialog* d) {
        d->edMarginTop->setValue(40);
        d->btnCancel->click();
    });
    QTest::mouseClick(w.tbSetup, Qt::LeftButton);
    EXPECT_EQ(link.PrinterPage.Margins.top, 25400);

    // Designer: changes without Apply are dropped on Cancel.
    const TdxGridReportSettings before = link.Settings();
    onNext<TdxReportDesigner>([&](TdxReportDesigner* d) {
        d->chkOptions.at(TdxTreeListPaintOption::tlpoGrid)->setChecked(false);
        d->chkBehaviours.at("HeadersOnEveryPage")->setChecked(false);
        QTest::keyClicks(d->edTitleText, "x");
        EXPECT_TRUE(d->btnApply->isEnabled());
        d->btnCancel->click();
    });
    QTest::mouseClick(w.tbDesigner, Qt::LeftButton);
    EXPECT_TRUE(link.Settings() == before);

    // Applied changes stay; later ones are dropped on Cancel.
    onNext<TdxReportDesigner>([&](TdxReportDesigner* d) {
        d->chkOptions.at(TdxTreeListPaintOption::tlpoGrid)->setChecked(false);
        d->btnApply->click();
        EXPECT_FALSE(d->btnApply->isEnabled());
        d->chkBehaviours.at("HeadersOnEveryPage")->setChecked(false);
        d->btnCancel->click();
    });
    QTest::mouseClick(w.tbDesigner, Qt::LeftButton);
    EXPECT_FALSE(link.Options.contains(TdxTreeListPaintOption::tlpoGrid));
    EXPECT_TRUE(link.HeadersOnEveryPage);

    // Restore defaults and OK: the defaults, with the page as page setup left it.
    onNext<TdxReportDesigner>([&](TdxReportDesigner* d) {
        d->btnRestoreDefaults->click();
        EXPECT_TRUE(d->chkOptions.at(TdxTreeListPaintOption::tlpoGrid)->isChecked());
        d->btnOK->click();
    });
    QTest::mouseClick(w.tbDesigner, Qt::LeftButton);
    TdxGridReportSettings expected = TdxGridReportSettings::Defaults();
    expected.PrinterPage = link.PrinterPage;
    EXPECT_TRUE(link.Settings() == expected);
    EXPECT_EQ(link.PrinterPage.Margins.top, 25400);

    // Print: the print dialog; cancelled, nothing is printed. Its preview button previews.
    bool printDialog = false;
    onNext<QPrintDialog>([&](QPrintDialog* d) {
        printDialog = true;
        d->reject();
    });
    QTest::mouseClick(w.tbPrint, Qt::LeftButton);
    EXPECT_TRUE(printDialog);
    bool previewed = false;
    onNext<QPrintDialog>([&](QPrintDialog* d) {
        onNext<TdxPreviewWindow>([&](TdxPreviewWindow* p) {
            previewed = true;
            p->close();
        });
        d->findChild<QPushButton*>("btnPreview")->click();
    });
    QTest::mouseClick(w.tbPrint, Qt::LeftButton);
    EXPECT_TRUE(previewed);
}

TEST(PrintWindows, PrintsTheChosenPagesAndPreviewsWithoutCopyingPages) {
    qtApp();
    SalesDb db(300);
    TdxComponentPrinter engine;
    PrintEngineWindows windows(nullptr);
    engine.SetWindows(&windows);
    TdxDBGridReportLink& link = engine.AddLink(&db.grid, "dxComponentPrinter1Link1");
    int closed = 0;
    engine.OnAfterPreview = [&](TdxDBGridReportLink&) { ++closed; };

    QPrinter& printer = windows.printer();
    const std::string pdf = db.file("printed.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPrintRange(QPrinter::PageRange);
    QPageRanges ranges;
    ranges.addPage(1);
    ranges.addPage(3);
    printer.setPageRanges(ranges);
    ASSERT_TRUE(engine.Print(false));
    std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pdfPageSize(pdf), "612 x 792 pts (letter)");
    const ReportRowPage third = link.Layout().rowPage(2);
    const int firstId = third.firstLine + 1;
    EXPECT_NE(pages[1].find(" " + std::to_string(firstId) + " "), std::string::npos) << pages[1];
    EXPECT_EQ(count(pages[1], "编号"), 1);

    // Two collated copies of the two pages: the PDF writer makes no copies itself.
    printer.setCopyCount(2);
    printer.setCollateCopies(true);
    ASSERT_FALSE(printer.supportsMultipleCopies());
    EXPECT_EQ(windows.chosenPages(link), (std::vector<int>{0, 2, 0, 2}));
    printer.setCollateCopies(false);
    EXPECT_EQ(windows.chosenPages(link), (std::vector<int>{0, 0, 2, 2}));
    engine.Print(false);
    EXPECT_EQ(pdfPages(pdf).size(), 4u);
    printer.setCopyCount(1);

    // A modeless preview: a second Preview only raises it, without a rebuild.
    engine.Preview(false);
    QPointer<TdxPreviewWindow> window = windows.previewWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    db.grid.GroupColumn(*db.grid.ColumnByFieldName("地区"), 0);
    engine.Preview(false);
    EXPECT_EQ(windows.previewWindow(), window.data());
    EXPECT_EQ(link.Layout().lines().size(), 300u);

    window->actLastPage->trigger();
    EXPECT_EQ(window->currentPage(), link.PageCount() - 1);
    EXPECT_EQ(window->edPageNumber->value(), link.PageCount());
    EXPECT_FALSE(window->actNextPage->isEnabled());
    window->edPageNumber->setValue(2);
    EXPECT_EQ(window->currentPage(), 1);
    window->setZoomPercent(100);
    const QSize full = window->PreviewPage->size();
    window->setZoomPercent(50);
    EXPECT_NEAR(window->PreviewPage->width(),
                (full.width() - 2 * TdxPreviewPageView::kGap) / 2 + 2 * TdxPreviewPageView::kGap,
                2);
    window->setZoomPercent(100);
    EXPECT_GT(inkOf(window->PreviewPage), 500);

    // The current page is what "current page" prints.
    printer.setPrintRange(QPrinter::CurrentPage);
    EXPECT_EQ(windows.chosenPages(link), (std::vector<int>{1}));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(windows.chosenPages(link), (std::vector<int>{0}));
}

TEST(PrintWindows, DesignerSampleFollowsTheEditedSettings) {
    qtApp();
    SalesDb db(40);
    db.groupByRegion(true);
    TdxDBGridReportLink link(&db.grid);
    TdxReportDesigner designer(link);
    designer.show();
    const int plain = inkOf(designer.SamplePage);
    EXPECT_GT(plain, 200);
    designer.chkOptions.at(TdxTreeListPaintOption::tlpoGrid)->setChecked(false);
    EXPECT_LT(inkOf(designer.SamplePage), plain); // no grid lines between cells
    EXPECT_FALSE(designer.working().Options.contains(TdxTreeListPaintOption::tlpoGrid));
    EXPECT_TRUE(link.Options.contains(TdxTreeListPaintOption::tlpoGrid));
    designer.cbDrawMode->setCurrentIndex(1);
    EXPECT_EQ(designer.working().DrawMode, TdxTreeListDrawMode::tldmOddEven);
    designer.btnRestoreDefaults->click();
    EXPECT_TRUE(designer.working() == link.Settings());
    EXPECT_FALSE(designer.btnApply->isEnabled());
    EXPECT_EQ(designer.result().applied, false);
}

// Printing reports its pages to the command's progress window; 取消 there stops before the
// next page and ends the command as cancelled. What the printer was handed stays handed.
TEST(PrintWindows, PrintingReportsPagesAndStopsAtACancel) {
    qtApp();
    SalesDb db(300);
    TdxComponentPrinter engine;
    PrintEngineWindows windows(nullptr);
    engine.SetWindows(&windows);
    TdxDBGridReportLink& link = engine.AddLink(&db.grid, "dxComponentPrinter1Link1");
    QPrinter& printer = windows.printer();
    const std::string pdf = db.file("printed.pdf");
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPrintRange(QPrinter::AllPages);

    struct Sink : ProgressSink {
        std::vector<std::string> heard;
        bool progress(const char* what, int64_t done, int64_t total) override {
            heard.push_back(std::string(what) + " " + std::to_string(done) + "/" +
                            std::to_string(total));
            return std::string(what) != "正在打印" || done < 2;
        }
    } sink;
    ProgressScope scope(&sink);
    EXPECT_EQ(rgtest::errorOf([&] { engine.Print(false); }), "操作已取消。");
    const std::string pages = std::to_string(link.PageCount());
    ASSERT_GT(link.PageCount(), 3);
    EXPECT_EQ(sink.heard, (std::vector<std::string>{"正在打印 0/" + pages, "正在打印 1/" + pages,
                                                    "正在打印 2/" + pages}));
    EXPECT_EQ(pdfPages(pdf).size(), 2u);
}
