#include "printfixture.h"

#include "grid/summary.h"
#include "print/reportformats.h"
#include "setup/reportdefinition.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace rg;

namespace {

// Sets LC_PAPER for one scope; the C locale comes back at its end.
class PaperLocale {
public:
    explicit PaperLocale(const char* name) : ok_(std::setlocale(LC_PAPER, name) != nullptr) {}
    ~PaperLocale() { std::setlocale(LC_PAPER, "C"); }
    bool ok() const { return ok_; }

private:
    bool ok_;
};

} // namespace

// Letter where the locale names no paper, the locale's paper (A4 in China) elsewhere; the
// names a setup keeps read back as the same paper, and a name of no paper is refused.
TEST(PrintChoices, PaperFollowsTheLocaleAndItsNameReadsBack) {
    guiApp();
    {
        PaperLocale c("C");
        EXPECT_EQ(TdxPrinterPage().paperName(), "Letter");
    }
    {
        PaperLocale chinese("zh_CN.UTF-8");
        if (!chinese.ok())
            GTEST_SKIP() << "the zh_CN.UTF-8 locale is missing (scripts/install-deps.sh makes it)";
        const TdxPrinterPage page;
        EXPECT_EQ(page.paperName(), "A4");
        EXPECT_EQ(page.PageWidth, 210000);
        EXPECT_EQ(page.PageHeight, 297000);
        EXPECT_EQ(TdxGridReportSettings::Defaults().PrinterPage.paperName(), "A4");
    }
    TdxPrinterPage page;
    ASSERT_TRUE(page.setPaperName("a3"));
    EXPECT_EQ(page.paperName(), "A3");
    ASSERT_TRUE(page.setPaperName("200x300"));
    EXPECT_EQ(page.PageWidth, 200000);
    EXPECT_EQ(page.PageHeight, 300000);
    EXPECT_EQ(page.paperName(), "200x300");
    for (const char* bad : {"", "A99", "3x3", "200x", "x300"})
        EXPECT_FALSE(page.setPaperName(bad)) << bad;
    EXPECT_EQ(page.paperName(), "200x300");
}

// The designer's and page setup's choices a report keeps go into its setup and come back on
// load, to the grid and from there to any link that prints it: the runner's PDF shows the
// page subtotals and the amount in capitals. A report that keeps the defaults writes none.
TEST(PrintChoices, KeptWithTheSetupAndPrintedByTheRunnersPdf) {
    guiApp();
    SalesDb db(400);
    TdxDBGridColumn& amount = *db.grid.ColumnByFieldName("金额");
    addSummary(db.grid, amount, TdxSummaryType::cstSum);
    db.grid.ReloadRows();
    const std::string plain = db.file("plain.ini");
    SaveSetup({db.conn, db.ds, db.grid}, plain);
    const std::string plainText = readFile(plain);
    EXPECT_EQ(plainText.find("[PrintOptions]"), std::string::npos);
    EXPECT_EQ(plainText.find("[FooterFormats]"), std::string::npos);

    TdxDBGridReportLink link(&db.grid);
    link.PageSubtotals = true;
    link.HeadersOnEveryPage = false;
    ASSERT_TRUE(link.PrinterPage.setPaperName("A5"));
    link.PrinterPage.Orientation = QPageLayout::Landscape;
    link.GiveGridChoices();
    amount.SetSummaryFooterFormat(kCapitalAmountPattern);
    const std::string saved = db.file("choices.ini");
    SaveSetup({db.conn, db.ds, db.grid}, saved);
    const std::string text = readFile(saved);
    EXPECT_NE(text.find("[PrintOptions]"), std::string::npos) << text;
    EXPECT_NE(text.find("[FooterFormats]"), std::string::npos) << text;

    ExportDb loaded("");
    LoadSetup({loaded.conn, loaded.ds, loaded.grid}, saved);
    const TdxDBGrid::PrintChoices& c = loaded.grid.ReportPrintChoices();
    EXPECT_TRUE(c.pageSubtotals);
    EXPECT_FALSE(c.headersOnEveryPage);
    EXPECT_EQ(c.paper, "A5");
    EXPECT_EQ(c.orientation, "Landscape");
    const TdxDBGridColumn* loadedAmount = loaded.grid.ColumnByFieldName("金额");
    ASSERT_NE(loadedAmount, nullptr);
    EXPECT_EQ(loadedAmount->SummaryFooterFormat(), kCapitalAmountPattern);
    // 400 * 401 / 2 + 400 * 0.5 = 80400.00
    EXPECT_EQ(loaded.grid.SummaryFooterText(*loadedAmount), "捌万零肆佰元整");

    const ExportFormat* pdf = ReportFormats().find("pdf");
    ASSERT_NE(pdf, nullptr);
    ExportJob job;
    job.grid = &loaded.grid;
    job.path = loaded.file("runner.pdf");
    pdf->write(job);
    const std::vector<std::string> pages = pdfPages(job.path);
    ASSERT_GE(pages.size(), 2u);
    EXPECT_NE(pages.front().find("过次页"), std::string::npos);
    EXPECT_NE(pages[1].find("承前页"), std::string::npos);
    EXPECT_NE(pages.back().find("捌万零肆佰元整"), std::string::npos);
    EXPECT_NE(pdfPageSize(job.path).find("595 x 420"), std::string::npos) << pdfPageSize(job.path);
    // The column headers head the first page alone.
    EXPECT_NE(pages[0].find("城市"), std::string::npos);
    EXPECT_EQ(pages[1].find("城市"), std::string::npos);

    // Loading a report without them puts the print engine's own back.
    LoadSetup({loaded.conn, loaded.ds, loaded.grid}, plain);
    EXPECT_EQ(loaded.grid.ReportPrintChoices(), TdxDBGrid::PrintChoices{});
    EXPECT_EQ(loaded.grid.ColumnByFieldName("金额")->SummaryFooterFormat(), "");
}

// A name with a character of the CJK extension planes (𠮷, U+20BB7) prints as itself, not as a
// box: the font that has it is embedded in the PDF.
TEST(PrintFonts, ExtensionPlaneCharactersPrintWithAnEmbeddedFont) {
    guiApp();
    ExportDb db("CREATE TABLE shops (id INTEGER PRIMARY KEY, name TEXT);"
                "INSERT INTO shops VALUES (1, '𠮷野家'), (2, '吉野家');");
    db.open("SELECT id, name FROM shops ORDER BY id");
    db.grid.SetKeyField("id");
    TdxDBGridReportLink link(&db.grid);
    link.RebuildReport();
    const std::string pdf = db.file("shops.pdf");
    printToPdf(link, pdf);
    const std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 1u);
    // Qt's PDF text layer maps no character beyond the first plane back to text, so the
    // reader finds the rest of the name; the glyph itself comes from the embedded font.
    EXPECT_NE(pages[0].find("野家"), std::string::npos) << pages[0];
    std::string fonts;
    ASSERT_EQ(run("pdffonts '" + pdf + "'", &fonts), 0);
    EXPECT_NE(fonts.find("HanaMinB"), std::string::npos) << fonts;
}
