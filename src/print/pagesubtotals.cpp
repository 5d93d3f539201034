#include "print/pagesubtotals.h"

#include "grid/grid.h"
#include "grid/summary.h"
#include "print/reportlayout.h"

namespace rg {

namespace {

SummaryValue finished(SummaryValue v, int64_t rows) {
    v.finish(TdxSummaryType::cstSum, rows);
    return v;
}

} // namespace

void PageSubtotals::clear() {
    summed_.clear();
    page_.clear();
    through_.clear();
}

void PageSubtotals::compute(const TdxDBGrid& grid, const ReportLayout& layout) {
    clear();
    const std::vector<ReportColumn>& columns = layout.columns();
    for (const ReportColumn& c : columns)
        summed_.push_back(grid.SummaryFooterCellExists(*c.column) &&
                          c.column->SummaryFooterType() == TdxSummaryType::cstSum &&
                          grid.ColumnFormula(*c.column) < 0);
    // Sums start as the exact zero, as a footer's over no rows does.
    const std::vector<SummaryValue> zero(columns.size(), SummaryValue::exactValue(Decimal{}));
    std::vector<SummaryValue> total = zero;
    int64_t rowsSoFar = 0;
    for (int p = 0; p < layout.rowPageCount(); ++p) {
        const ReportRowPage& rows = layout.rowPageAt(p);
        std::vector<SummaryValue> sums = zero;
        int64_t pageRows = 0;
        for (int i = rows.firstLine; i < rows.firstLine + rows.lineCount; ++i) {
            const VisibleRow line = layout.lines()[static_cast<size_t>(i)];
            if (line.row.isGroup() || line.footer >= 0)
                continue;
            ++pageRows;
            for (size_t c = 0; c < columns.size(); ++c)
                if (summed_[c]) {
                    const Value v = grid.CellValue(line.row, *columns[c].column);
                    sums[c].add(TdxSummaryType::cstSum, v);
                    total[c].add(TdxSummaryType::cstSum, v);
                }
        }
        rowsSoFar += pageRows;
        std::vector<SummaryValue> pageDone, throughDone;
        for (size_t c = 0; c < columns.size(); ++c) {
            pageDone.push_back(finished(sums[c], pageRows));
            throughDone.push_back(finished(total[c], rowsSoFar));
        }
        page_.push_back(std::move(pageDone));
        through_.push_back(std::move(throughDone));
    }
}

bool PageSubtotals::summed(size_t column) const {
    return column < summed_.size() && summed_[column];
}

const SummaryValue& PageSubtotals::pageSum(int page, size_t column) const {
    return page_.at(static_cast<size_t>(page)).at(column);
}

const SummaryValue& PageSubtotals::sumThrough(int page, size_t column) const {
    return through_.at(static_cast<size_t>(page)).at(column);
}

std::string PageSubtotals::text(const TdxDBGrid& grid, const TdxDBGridColumn& column,
                                const SummaryValue& sum) {
    return FormatFooterValue(TdxSummaryType::cstSum, column.SummaryFooterFormat(),
                             grid.FooterValueKind(column), sum, false);
}

} // namespace rg
