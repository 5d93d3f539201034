#pragma once

// Page subtotals as Chinese account books print them: every page ends with the sum of its
// own rows ("本页小计") and the sum so far, carried to the next page ("过次页"), which heads
// that page again ("承前页"). The columns whose summary footer adds up their values have
// these cells; the sums are exact, as the footers are.

#include "grid/summaryvalue.h"

#include <string>
#include <vector>

namespace rg {

class ReportLayout;
class TdxDBGrid;
class TdxDBGridColumn;

class PageSubtotals {
public:
    static constexpr const char* kPageLabel = "本页小计";
    static constexpr const char* kCarriedOutLabel = "过次页";
    static constexpr const char* kCarriedInLabel = "承前页";

    // The sums of every row page of `layout`, paginated already.
    void compute(const TdxDBGrid& grid, const ReportLayout& layout);
    void clear();

    // Whether layout column `column` has subtotal cells.
    bool summed(size_t column) const;
    // The sum of the data rows of row page `page`, and of those of every page up to it.
    const SummaryValue& pageSum(int page, size_t column) const;
    const SummaryValue& sumThrough(int page, size_t column) const;
    // A sum as the column's summary footer shows its total.
    static std::string text(const TdxDBGrid& grid, const TdxDBGridColumn& column,
                            const SummaryValue& sum);

private:
    std::vector<char> summed_;                       // by layout column
    std::vector<std::vector<SummaryValue>> page_;    // by row page, then column
    std::vector<std::vector<SummaryValue>> through_; // the same, summed from the first page
};

} // namespace rg
