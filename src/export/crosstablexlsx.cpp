#include "export/crosstableexport.h"

#include "export/exportfile.h"
#include "export/workbookwriter.h"
#include "export/xlsxchart.h"
#include "grid/grid.h"

#include <memory>

// The cross table as an .xlsx sheet. Sums and counts add up: a row total is the SUM of
// its cells, and a cell of a group with subgroups the SUMIF of its subgroups' cells below
// it, found by their text in the next level's leading column; the totals row adds up the
// top groups the same way. Averages, minima and maxima do not add up: their totals are the
// values themselves.

namespace rg {
namespace {

std::string numberFormatOf(SummaryValueKind k) {
    switch (k) {
    case SummaryValueKind::Date:
        return "yyyy-mm-dd";
    case SummaryValueKind::Time:
        return "hh:mm:ss";
    case SummaryValueKind::DateTime:
        return "yyyy-mm-dd hh:mm:ss";
    default:
        return {};
    }
}

class CrossXlsx {
public:
    CrossXlsx(TdxDBGrid& grid, ExportFile& out)
        : sheet_(crossSheetOf(grid)), x_(*sheet_.table), w_(out) {
        // The chart shown beside the cross table: a series per cross column, its values
        // written as values.
        if (const GroupChart* chart = GroupChart::shownFor(grid); chart && !chart->data().empty())
            chart_ = std::make_unique<XlsxChart>(*chart, -1);
        adds_ = x_.kind() == TdxSummaryType::cstSum || x_.kind() == TdxSummaryType::cstCount;
        lastRowBelow_.resize(sheet_.rows.size());
        // Each group's rows reach to the row before the next one of its level or above.
        std::vector<size_t> open;
        for (size_t i = 0; i < sheet_.rows.size(); ++i) {
            const bool total = sheet_.rows[i].group == CrossTable::kTotals;
            while (!open.empty() &&
                   (total || sheet_.rows[open.back()].level >= sheet_.rows[i].level)) {
                lastRowBelow_[open.back()] = i - 1;
                open.pop_back();
            }
            if (!total)
                open.push_back(i);
            lastRowBelow_[i] = i;
        }
    }

    void write() {
        const int columns = x_.columnCount();
        CellStyle header;
        header.bold = true;
        header.fill = 0xE0E0E0;
        header.border = true;
        headerStyle_ = w_.addStyle(header);
        CellStyle group;
        group.bold = true;
        groupStyle_ = w_.addStyle(group);
        CellStyle number;
        number.numberFormat = numberFormatOf(x_.valueKind());
        numberStyle_ = w_.addStyle(number);
        number.bold = true;
        totalStyle_ = w_.addStyle(number);
        w_.setColumnPixels(0, sheet_.leading - 1, 120);
        w_.setColumnPixels(sheet_.leading, sheet_.leading + columns, 90);
        w_.freezeRows(static_cast<int>(top_) + 1);
        w_.freezeColumns(sheet_.leading);
        w_.setMaxOutlineLevel(std::min(std::max(sheet_.levels - 1, 0), 7));
        w_.setSummaryRowsAbove(true);
        if (chart_)
            w_.setDrawing([this, columns] {
                return WorkbookWriter::DrawingParts{
                    chart_->drawingXml(sheet_.leading + columns + 2), chart_->chartXml()};
            });

        if (top_ > 0) {
            w_.row(0, 0);
            w_.text(0, sheet_.heading, groupStyle_);
        }
        w_.row(static_cast<int64_t>(top_), 0);
        for (int l = 0; l < sheet_.leading; ++l)
            w_.text(l, sheet_.captions[static_cast<size_t>(l)], headerStyle_);
        for (int c = 0; c < columns; ++c)
            w_.text(sheet_.leading + c, x_.columnText(c), headerStyle_);
        w_.text(sheet_.leading + columns, kCrossTotalText, headerStyle_);
        for (size_t i = 0; i < sheet_.rows.size(); ++i)
            writeRow(i);
        w_.finish();
    }

private:
    // A1 reference of sheet row i (0: the first) and column c.
    static std::string ref(int c, size_t i) {
        return WorkbookWriter::columnName(c) + std::to_string(i + 1);
    }

    void value(int col, const SummaryValue& v, const std::string& formula, int style) {
        switch (v.kind()) {
        case SummaryValue::Kind::Exact:
        case SummaryValue::Kind::Float:
            if (formula.empty())
                w_.number(col, v.toDouble(), style);
            else
                w_.formula(col, formula, v.toDouble(), style);
            break;
        case SummaryValue::Kind::Text:
            w_.text(col, v.text(), style);
            break;
        default:
            w_.blank(col, style);
        }
    }

    void writeRow(size_t i) {
        const CrossSheetRow& row = sheet_.rows[i];
        const bool total = row.group == CrossTable::kTotals;
        const size_t sheetRow = top_ + i + 1;
        const int columns = x_.columnCount(), lead = sheet_.leading;
        w_.row(static_cast<int64_t>(sheetRow), total ? 0 : std::min(row.level, 7));
        w_.text(total ? 0 : row.level, row.text, groupStyle_);
        // The rows a cell adds up: those of the next level below a group, the top groups
        // below none.
        const bool hasParts =
            adds_ && (total ? sheet_.levels > 0 && i > 0 : row.level < sheet_.levels - 1);
        const size_t first = total ? top_ + 1 : sheetRow + 1;
        const size_t last = total ? sheetRow - 1 : top_ + lastRowBelow_[i] + 1;
        const int keyColumn = total ? 0 : row.level + 1;
        const int style = total ? totalStyle_ : numberStyle_;
        for (int c = 0; c < columns; ++c) {
            std::string formula;
            if (hasParts) {
                const std::string key = WorkbookWriter::columnName(keyColumn);
                formula = "SUMIF($" + key + "$" + std::to_string(first + 1) + ":$" + key + "$" +
                          std::to_string(last + 1) + ",\"<>\"," + ref(lead + c, first) + ":" +
                          ref(lead + c, last) + ")";
            }
            value(lead + c, x_.cell(row.group, c), formula, style);
        }
        const std::string sum = adds_ && columns > 0 ? "SUM(" + ref(lead, sheetRow) + ":" +
                                                           ref(lead + columns - 1, sheetRow) + ")"
                                                     : std::string();
        value(lead + columns, x_.rowTotal(row.group), sum, totalStyle_);
    }

    CrossSheet sheet_;
    const size_t top_ = sheet_.heading.empty() ? 0 : 1; // the heading's row above the header
    const CrossTable& x_;
    WorkbookWriter w_;
    std::unique_ptr<XlsxChart> chart_;
    bool adds_ = false;
    std::vector<size_t> lastRowBelow_; // the last sheet row (in rows) of each group's subtree
    int headerStyle_ = 0, groupStyle_ = 0, numberStyle_ = 0, totalStyle_ = 0;
};

} // namespace

void ExportCrossTableXlsx(TdxDBGrid& grid, const std::string& path) {
    ExportFile out(path);
    CrossXlsx(grid, out).write();
    out.Commit();
}

} // namespace rg
