#include "printfixture.h"

#include "common/decimal.h"

#include <gtest/gtest.h>

#include <regex>

using namespace rg;

namespace {

// The amount a page's line with `label` shows: its last number.
std::optional<std::string> amountAfter(const std::string& page, const std::string& label) {
    const size_t at = page.find(label);
    if (at == std::string::npos)
        return std::nullopt;
    const std::string line = page.substr(at, page.find('\n', at) - at);
    static const std::regex number(R"(-?[0-9]+\.[0-9]{2})");
    std::string last;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), number);
         it != std::sregex_iterator(); ++it)
        last = it->str();
    return last;
}

Decimal decimal(const std::string& text) {
    return Decimal::parse(text).value();
}

Decimal plus(const Decimal& a, const Decimal& b) {
    return Decimal::add(a, b).value();
}

} // namespace

// Each page's own sum, the sum carried on and the sum carried in agree with each other and
// add up to the grand total, to the last digit, over a report of about fifty pages.
TEST(PageSubtotals, PagesAddUpToTheGrandTotalAndCarryTheirSums) {
    guiApp();
    SalesDb db(2700);
    addSummary(db.grid, *db.grid.ColumnByFieldName("金额"), TdxSummaryType::cstSum);
    db.grid.ReloadRows();
    TdxDBGridReportLink link(&db.grid);
    link.PageSubtotals = true;
    link.RebuildReport();
    const ReportLayout& layout = link.Layout();
    ASSERT_GE(layout.rowPageCount(), 40);
    const std::string total = "3647700.00"; // 2700 * 2701 / 2 + 2700 * 0.5

    const PageSubtotals& sums = layout.pageSubtotals();
    size_t amount = 0;
    while (!sums.summed(amount))
        ++amount;
    const TdxDBGridColumn& column = *layout.columns()[amount].column;
    Decimal added;
    for (int v = 0; v < layout.rowPageCount(); ++v) {
        added = plus(added, decimal(PageSubtotals::text(db.grid, column, sums.pageSum(v, amount))));
        EXPECT_EQ(PageSubtotals::text(db.grid, column, sums.sumThrough(v, amount)),
                  added.toString());
    }
    EXPECT_EQ(added.toString(), total);

    const std::string pdf = db.file("subtotals.pdf");
    printToPdf(link, pdf);
    const std::vector<std::string> pages = pdfPages(pdf);
    ASSERT_EQ(static_cast<int>(pages.size()), layout.rowPageCount());
    Decimal printed;
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(i);
        const bool last = i + 1 == pages.size();
        const std::optional<std::string> own = amountAfter(pages[i], "本页小计");
        ASSERT_TRUE(own);
        printed = plus(printed, decimal(*own));
        const std::optional<std::string> out = amountAfter(pages[i], "过次页");
        EXPECT_EQ(out.has_value(), !last);
        if (out) {
            EXPECT_EQ(*out, printed.toString());
            EXPECT_EQ(amountAfter(pages[i + 1], "承前页"), out);
        }
        if (i == 0)
            EXPECT_FALSE(amountAfter(pages[i], "承前页"));
        // Head above the rows, the page's sum below them.
        EXPECT_LT(pages[i].find("编号"), pages[i].find("本页小计"));
        if (i > 0)
            EXPECT_LT(pages[i].find("承前页"), pages[i].find("华"));
    }
    EXPECT_EQ(printed.toString(), total);
    EXPECT_EQ(amountAfter(pages.back(), "总计"), total);

    // Off, the pages show none of it.
    link.PageSubtotals = false;
    link.Paginate();
    printToPdf(link, pdf);
    for (const std::string& page : pdfPages(pdf))
        EXPECT_EQ(count(page, "本页小计"), 0);
}
