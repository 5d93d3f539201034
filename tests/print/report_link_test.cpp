#include "printfixture.h"

#include "grid/rowwalk.h"
#include "print/componentprinter.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

using namespace rg;
using enum TdxTreeListPaintOption;

TEST(ReportLink, StartsWithTheMainWindowsSettings) {
    guiApp();
    TdxComponentPrinter engine;
    TdxDBGridReportLink& link = engine.AddLink(nullptr, "dxComponentPrinter1Link1");
    EXPECT_EQ(engine.Name, "dxComponentPrinter1");
    EXPECT_EQ(engine.CurrentLink, &link);
    for (auto o : {TdxComponentPrinterOption::cpoAutoRebuildBeforePreview,
                   TdxComponentPrinterOption::cpoAutoRebuildBeforePrint,
                   TdxComponentPrinterOption::cpoGenerateReportProgressEvent,
                   TdxComponentPrinterOption::cpoShowHourGlass})
        EXPECT_TRUE(engine.Options.contains(o));
    EXPECT_EQ(link.Caption, "dxComponentPrinter1Link1");

    const TdxPrinterPage& page = link.PrinterPage;
    EXPECT_EQ(page.PageWidth, 215900);
    EXPECT_EQ(page.PageHeight, 279400);
    EXPECT_EQ(page.PaperCode, 1);
    EXPECT_EQ(page.Orientation, QPageLayout::Portrait);
    EXPECT_EQ(page.Margins, (TdxMargins{12700, 12700, 12700, 12700}));
    EXPECT_EQ(page.MinMargins, (TdxMargins{0, 0, 0, 0}));
    EXPECT_EQ(page.Header, 6350);
    EXPECT_EQ(page.Footer, 6350);
    EXPECT_EQ(page.PageHeaderFont.font.family(), "Tahoma");
    EXPECT_EQ(page.PageHeaderFont.font.pointSize(), 8);
    EXPECT_EQ(layoutFont(page.PageFooterFont.font).pixelSize(), 11); // height -11 at 96 dpi
    EXPECT_EQ(page.ScaleMode, TdxScaleMode::smAdjust);
    EXPECT_EQ(page.ScaleFactor, 100);
    EXPECT_EQ(page.PageOrder, TdxPageOrder::poOverThenDown);
    EXPECT_FALSE(page.CenterOnPageH || page.CenterOnPageV || page.GrayShading);
    for (const QString& t : page.PageHeaderTexts)
        EXPECT_TRUE(t.isEmpty());
    EXPECT_EQ(page.pageSize().id(), QPageSize::Letter);

    EXPECT_EQ(link.ReportTitleFont.font.family(), "Times New Roman");
    EXPECT_EQ(link.ReportTitleFont.font.pointSize(), 14);
    EXPECT_TRUE(link.ReportTitleFont.font.bold());
    EXPECT_EQ(layoutFont(link.ReportTitleFont.font).pixelSize(), 19);
    for (const ReportFont* f :
         {&link.Font, &link.EvenFont, &link.OddFont, &link.BandFont, &link.HeaderFont,
          &link.GroupNodeFont, &link.FooterFont, &link.RowFooterFont, &link.PreviewFont}) {
        EXPECT_EQ(f->font.family(), "Times New Roman");
        EXPECT_EQ(f->font.pointSize(), 8);
        EXPECT_FALSE(f->font.bold());
        EXPECT_EQ(f->color, QGuiApplication::palette().color(QPalette::WindowText));
    }
    const QColor face = QGuiApplication::palette().color(QPalette::Button);
    EXPECT_EQ(link.BandColor, face);
    EXPECT_EQ(link.HeaderColor, face);
    EXPECT_EQ(link.GroupNodeColor, face);
    EXPECT_EQ(link.RowFooterColor, face);
    EXPECT_EQ(link.GridLineColor, QColor(Qt::black));
    EXPECT_EQ(link.Color, QColor(Qt::white));
    EXPECT_EQ(link.PreviewColor, QColor(Qt::white));
    EXPECT_EQ(link.TreeLineColor, QColor(128, 128, 128));

    for (auto o : {tlpoBands, tlpoHeaders, tlpoFooters, tlpoRowFooters, tlpoPreview,
                   tlpoPreviewGrid, tlpoGrid, tlpoFlatCheckMarks, tlpoSoft3D, tlpoRowFooterGrid})
        EXPECT_TRUE(link.Options.contains(o)) << static_cast<int>(o);
    for (auto o : {tlpoImages, tlpoStateImages, tlpoTransparentColumnGraphic, tlpoGraphicAsText,
                   tlpo3DEffects, tlpoCheckMarksAsText, tlpoTreeLines, tlpoExpandButtons})
        EXPECT_FALSE(link.Options.contains(o)) << static_cast<int>(o);
    EXPECT_TRUE(link.BandsOnEveryPage && link.HeadersOnEveryPage);
    EXPECT_FALSE(link.FootersOnEveryPage || link.AutoNodesExpand || link.OnlySelected);
    EXPECT_EQ(link.DrawMode, TdxTreeListDrawMode::tldmStrict);
    EXPECT_TRUE(link.ShowPageHeader && link.ShowPageFooter);
    EXPECT_EQ(link.ReportTitleMode, TdxReportTitleMode::tmOnEveryTopPage);
    EXPECT_TRUE(link.ReportTitleText.isEmpty());
}

TEST(ReportLink, CollapsedGroupPrintsItsRowOnlyWhileExportStillHasItsData) {
    guiApp();
    SalesDb db(12);
    db.groupByRegion(true);
    // Groups in value order: 华东, 华北, 华南 (code page order); collapse 华北.
    RowHandle north;
    for (int i = 0; i < db.grid.TopCount(); ++i)
        if (db.grid.GroupRowText(db.grid.Top(i)) == "地区 : 华北 ")
            north = db.grid.Top(i);
    ASSERT_TRUE(north.valid());
    db.grid.SetExpanded(north, false);

    TdxDBGridReportLink link(&db.grid);
    ASSERT_TRUE(link.RebuildReport());
    int northData = 0, data = 0, footers = 0;
    for (const VisibleRow& l : link.Layout().lines()) {
        if (l.row.isData() && l.footer < 0)
            ++data;
        if (l.footer >= 0)
            ++footers;
        if (l.row.isData() && db.grid.Parent(l.row) == north)
            ++northData;
    }
    EXPECT_EQ(northData, 0);
    EXPECT_EQ(data, 8);
    EXPECT_EQ(footers, 2); // the collapsed group's footer follows a row that is not printed
    EXPECT_EQ(db.grid.DataRowCount(), 12);
    EXPECT_EQ(RowWalk{}.count(db.grid).rows, 15); // the spreadsheet writes all rows

    const std::string pdf = db.file("collapsed.pdf");
    printToPdf(link, pdf);
    const std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    const std::string& text = pages[0];
    EXPECT_EQ(count(text, "地区 : 华北"), 1);
    EXPECT_EQ(count(text, "地区 : 华东"), 1);
    EXPECT_EQ(count(text, "北京"), 0) << text;
    EXPECT_EQ(count(text, "上海"), 4) << text;
    EXPECT_EQ(count(text, "广州"), 4) << text;
    // 华东: 2.5 + 5.5 + 8.5 + 11.5; all: 12 * 13 / 2 + 6.
    EXPECT_NE(text.find("28.00"), std::string::npos);
    EXPECT_NE(text.find("84.00"), std::string::npos);
    for (const char* caption : {"编号", "城市", "金额"})
        EXPECT_EQ(count(text, caption), 1) << caption;
    EXPECT_EQ(count(text, "地区"), 3); // grouped column: group rows only, no header
    // Each group footer says what it totals, as a spreadsheet's subtotals do.
    EXPECT_EQ(count(text, "华东 合计"), 1) << text;
    EXPECT_EQ(count(text, "华南 合计"), 1) << text;

    // Expanding every node prints the collapsed group's rows without touching the grid.
    link.AutoNodesExpand = true;
    link.RebuildReport();
    EXPECT_EQ(link.Layout().lines().size(), 18u);
    EXPECT_FALSE(db.grid.Expanded(north));
    // Without row footers the group footers go.
    link.AutoNodesExpand = false;
    link.Options.set(tlpoRowFooters, false);
    link.RebuildReport();
    EXPECT_EQ(link.Layout().lines().size(), 11u);
}

TEST(ReportLink, LongReportRepeatsHeadersAndPrintsTheSummaryFooterOnce) {
    guiApp();
    SalesDb db(300);
    addSummary(db.grid, *db.grid.ColumnByFieldName("金额"), TdxSummaryType::cstSum);
    db.grid.ReloadRows();
    TdxDBGridReportLink link(&db.grid);
    link.RebuildReport();
    ASSERT_GE(link.PageCount(), 5);
    EXPECT_GE(link.Layout().heights().band, link.Layout().heights().row); // the empty band strip

    const std::string pdf = db.file("long.pdf");
    printToPdf(link, pdf);
    EXPECT_EQ(pdfPageSize(pdf), "612 x 792 pts (letter)");
    std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(static_cast<int>(pages.size()), link.PageCount());
    const std::string total = "45300.00"; // 300 * 301 / 2 + 150
    int rowsSeen = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(count(pages[i], "编号"), 1);
        EXPECT_EQ(count(pages[i], "金额"), 1);
        EXPECT_LT(pages[i].find("编号"), pages[i].find("华")); // header above the rows
        EXPECT_EQ(count(pages[i], total), i + 1 == pages.size() ? 1 : 0);
        rowsSeen += count(pages[i], "华");
    }
    EXPECT_EQ(rowsSeen, 300);
    EXPECT_NE(pages.back().find(" 300.5\n"), std::string::npos);

    // Headers on the first page only; the footer on every page.
    link.HeadersOnEveryPage = false;
    link.FootersOnEveryPage = true;
    link.Paginate();
    printToPdf(link, pdf);
    pages = pdfPages(pdf);
    ASSERT_GE(pages.size(), 2u);
    EXPECT_EQ(count(pages[0], "编号"), 1);
    EXPECT_EQ(count(pages[1], "编号"), 0);
    for (const std::string& p : pages)
        EXPECT_EQ(count(p, total), 1);
}

TEST(ReportLink, PageSetupShapesThePages) {
    guiApp();
    SalesDb db(300);
    TdxDBGridReportLink link(&db.grid);
    link.RebuildReport();
    const int portrait = link.PageCount();

    link.PrinterPage.Orientation = QPageLayout::Landscape;
    link.Paginate();
    EXPECT_GT(link.PageCount(), portrait);
    std::string pdf = db.file("landscape.pdf");
    printToPdf(link, pdf);
    EXPECT_EQ(pdfPageSize(pdf), "792 x 612 pts (letter)");

    link.PrinterPage.Orientation = QPageLayout::Portrait;
    link.PrinterPage.ScaleFactor = 50;
    link.Paginate();
    EXPECT_LE(link.PageCount(), (portrait + 1) / 2 + 1);

    link.PrinterPage.ScaleMode = TdxScaleMode::smFit;
    link.PrinterPage.FitToPagesHorizontally = 1;
    link.PrinterPage.FitToPagesVertically = 2;
    link.Paginate();
    EXPECT_EQ(link.PageCount(), 2);

    // Columns wider than the paper continue on pages to the right, in the page order set.
    link.PrinterPage.ScaleMode = TdxScaleMode::smAdjust;
    link.PrinterPage.ScaleFactor = 100;
    db.grid.ColumnByFieldName("城市")->SetWidth(500);
    link.RebuildReport();
    ASSERT_EQ(link.Layout().stripCount(), 2);
    const int rowPages = link.Layout().rowPageCount();
    EXPECT_EQ(link.PageCount(), 2 * rowPages);
    EXPECT_EQ(link.Layout().stripIndex(1), 1);
    link.PrinterPage.PageOrder = TdxPageOrder::poDownThenOver;
    link.Paginate();
    EXPECT_EQ(link.Layout().stripIndex(1), 0);
    EXPECT_EQ(link.Layout().stripIndex(rowPages), 1);
    pdf = db.file("wide.pdf");
    printToPdf(link, pdf);
    const std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(static_cast<int>(pages.size()), link.PageCount());
    EXPECT_EQ(count(pages[0], "金额"), 0);
    EXPECT_EQ(count(pages[static_cast<size_t>(rowPages)], "金额"), 1);

    // Page header and footer texts with page numbers, a title on the first page.
    link.PrinterPage.PageFooterTexts[1] = "第 [Page #] 页 共 [Total Pages] 页";
    link.ReportTitleText = "销售报表";
    link.ReportTitleMode = TdxReportTitleMode::tmOnFirstPage;
    link.Paginate();
    printToPdf(link, pdf);
    const std::vector<std::string> titled = pdfPages(pdf);
    ASSERT_EQ(static_cast<int>(titled.size()), link.PageCount());
    EXPECT_NE(titled[1].find("第 2 页 共 " + std::to_string(link.PageCount()) + " 页"),
              std::string::npos);
    EXPECT_EQ(count(titled[0], "销售报表"), 1);
    for (size_t i = 1; i < titled.size(); ++i)
        EXPECT_EQ(count(titled[i], "销售报表"), 0);
}

// Doubles go on paper with the shortest digits that read back as the same double, where the
// grid shows 15.
TEST(ReportLink, DoublesPrintWithTheirShortestDigits) {
    guiApp();
    ExportDb db(
        "CREATE TABLE p (id INTEGER PRIMARY KEY, price REAL);"
        "INSERT INTO p VALUES (1, 12345678.123456789), (2, 0.1), (3, 1.7976931348623157e308);");
    db.open("SELECT * FROM p");
    db.grid.SetKeyField("id");
    const TdxDBGridColumn& price = *db.grid.ColumnByFieldName("price");
    ASSERT_EQ(db.grid.CellText(db.grid.Top(0), price), "12345678.1234568");
    TdxDBGridReportLink link(&db.grid);
    link.RebuildReport();
    const std::string pdf = db.file("doubles.pdf");
    printToPdf(link, pdf);
    const std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    for (const char* shortest : {"12345678.12345679", " 0.1\n", "1.7976931348623157e+308"})
        EXPECT_EQ(count(pages[0], shortest), 1) << shortest << "\n" << pages[0];
}

// A text column holding ID numbers prints them whole, as numbers are, where other texts in
// too narrow a column end in "…".
TEST(ReportLink, CodesInATextColumnPrintWhole) {
    guiApp();
    ExportDb db("CREATE TABLE c (id INTEGER PRIMARY KEY, code TEXT, note TEXT);"
                "INSERT INTO c VALUES (1, '330102197512121234', 'a note far too long'),"
                " (2, '007', 'b');");
    db.open("SELECT * FROM c");
    db.grid.SetKeyField("id");
    for (const char* field : {"code", "note"})
        db.grid.ColumnByFieldName(field)->SetWidth(40);
    TdxDBGridReportLink link(&db.grid);
    link.RebuildReport();
    EXPECT_GT(link.Layout().columns()[1].width, 80);
    EXPECT_EQ(link.Layout().columns()[2].width, 40);
    const std::string pdf = db.file("codes.pdf");
    printToPdf(link, pdf);
    const std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(count(pages[0], "330102197512121234"), 1) << pages[0];
    EXPECT_EQ(count(pages[0], "…"), 1) << pages[0]; // the note alone
}

// A report without pages (the grid before any data source) still gives a PDF that opens.
TEST(ReportLink, PdfOfAnEmptyGridOpens) {
    guiApp();
    SalesDb db(1);
    TdxDBGrid empty;
    TdxDBGridReportLink link(&empty);
    link.RebuildReport();
    const std::string pdf = db.file("empty.pdf");
    printToPdf(link, pdf);
    EXPECT_EQ(pdfPageSize(pdf), "612 x 792 pts (letter)");
    EXPECT_EQ(pdfPages(pdf).size(), 1u);
}

namespace {

// Sums of 18-digit integers in three regions; a note too long for its column.
struct BigTotals : ExportDb {
    BigTotals()
        : ExportDb("CREATE TABLE big (id INTEGER PRIMARY KEY, region TEXT, qty INTEGER, note TEXT);"
                   "INSERT INTO big VALUES (1, '华东', 123456789012345678, 'a note far too long'),"
                   " (2, '华东', 111111111111111111, 'b'), (3, '华北', 100000000000000001, 'c'),"
                   " (4, '华北', 200000000000000002, 'd'), (5, '华南', 9007199254740992, 'e'),"
                   " (6, '华南', 9007199254740993, 'f');") {
        open("SELECT * FROM big");
        grid.SetKeyField("id");
        addSummary(grid, qty(), TdxSummaryType::cstSum);
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
        grid.ExpandAll();
        for (const char* field : {"id", "qty", "note"})
            grid.ColumnByFieldName(field)->SetWidth(40);
    }
    TdxDBGridColumn& qty() { return *grid.ColumnByFieldName("qty"); }
};

std::string digitsOf(const std::string& text) {
    std::string out;
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == '.')
            out += c;
    return out;
}

} // namespace

// A number or a footer never loses digits on paper: its column is laid out as wide as its
// widest value, and where the page cannot hold one the whole value wraps. Texts still end
// in "…".
TEST(ReportLink, NumbersAndTotalsPrintWithEveryDigit) {
    guiApp();
    BigTotals db;
    const std::vector<std::string> totals = {"234567900123456789.00", "300000000000000003.00",
                                             "18014398509481985.00", "552582298632938777.00"};
    std::string footers;
    for (const VisibleRow& v : db.grid.VisibleRows())
        if (v.footer >= 0)
            footers += db.grid.FooterCellText(v.row, db.qty(), v.footer) + " ";
    footers += db.grid.SummaryFooterText(db.qty());
    for (const std::string& t : totals)
        ASSERT_NE(footers.find(t), std::string::npos) << footers; // the grid's own texts

    TdxDBGridReportLink link(&db.grid);
    link.RebuildReport();
    const std::string pdf = db.file("big.pdf");
    printToPdf(link, pdf);
    std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    for (const std::string& t : totals)
        EXPECT_EQ(count(pages[0], t), 1) << t << "\n" << pages[0];
    for (const char* value : {"123456789012345678", "9007199254740993"})
        EXPECT_EQ(count(pages[0], value), 1) << value;
    // The long note and the group footers' labels, texts in narrow columns.
    EXPECT_EQ(count(pages[0], "…"), 4) << pages[0];
    EXPECT_EQ(count(pages[0], "华北…"), 1) << pages[0];
    EXPECT_EQ(count(pages[0], "a note far too long"), 0);
    EXPECT_EQ(link.Layout().columns()[0].width, 40); // id: its values fit as the grid has it
    EXPECT_GT(link.Layout().columns()[1].width, 80);
    EXPECT_EQ(link.Layout().columns()[2].width, 40);

    // Fitted to a page's width, the scale follows the widened columns.
    for (const char* field : {"id", "note"})
        db.grid.ColumnByFieldName(field)->SetWidth(330);
    link.PrinterPage.ScaleMode = TdxScaleMode::smFit;
    link.RebuildReport();
    EXPECT_NEAR(link.Layout().scale(), link.Layout().body().width() / link.Layout().tableWidth(),
                1e-9);
    printToPdf(link, pdf);
    pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    for (const std::string& t : totals)
        EXPECT_EQ(count(pages[0], t), 1) << t;

    // A page too narrow for a total at this size: the totals wrap onto more lines of their
    // row, every digit kept in order. A number column the grid shows wider than the page
    // keeps its right-aligned numbers on the page.
    db.qty().SetWidth(1000);
    link.PrinterPage.ScaleMode = TdxScaleMode::smAdjust;
    link.PrinterPage.ScaleFactor = 300;
    link.FooterFont.font.setPointSize(40);
    link.RowFooterFont.font.setPointSize(40);
    link.RebuildReport();
    EXPECT_GT(link.Layout().heights().footerLines, 1);
    EXPECT_GT(link.Layout().heights().rowFooterLines, 1);
    EXPECT_EQ(link.Layout().heights().rowLines, 1);
    printToPdf(link, pdf);
    pages = pdfPages(pdf);
    std::string all;
    for (const std::string& p : pages)
        all += p;
    const std::string digits = digitsOf(all);
    for (const std::string& t : totals)
        EXPECT_EQ(count(digits, t), 1) << t << "\n" << all;
    for (const char* value : {"123456789012345678", "9007199254740993"})
        EXPECT_EQ(count(all, value), 1) << value;
    EXPECT_EQ(count(all, "…"), 3) << all; // the three group footers' labels alone
    EXPECT_EQ(count(all, "a note far too long"), 1) << all;
}
