#pragma once

#include "export/gridexport.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rg {

// The grid as an Office Open XML workbook, every group expanded: group rows with their
// data rows as outline levels below them and their footers at their own level, as a
// spreadsheet's subtotals are: labelled ("华东 合计"), SUBTOTAL formulas where those give
// the grid's value, in the footer pattern's number format. Typed cells, a frozen header
// with an autofilter. Rows are streamed, so memory does not grow with the report.
class TdxDBGridExportXlsx : public TdxDBGridExport {
public:
    TdxDBGridExportXlsx();
    ~TdxDBGridExportXlsx() override;

    void BeginDocument() override;
    void EndDocument() override;
    void WriteHeaderRows() override;
    void WriteFooterRows() override;
    void WriteNode(RowHandle node) override;

    static constexpr int64_t kMaxSheetRows = 1048576;
    // Rows of a sheet: a report beyond them goes on in further sheets, each beginning with
    // the header rows again. Above the header rows; smaller only to test the split.
    int64_t SheetRowLimit = kMaxSheetRows;
    // The rows the writer counts in.
    static constexpr int64_t kMaxWorkbookRows = INT32_MAX;

    // Texts cut at the cell limit of 32,767 UTF-16 units.
    int64_t CutTexts = 0;
    static constexpr int64_t kMaxSheetColumns = 16384;

protected:
    void WriteEmptyDocument() override {
        BeginDocument();
        EndDocument();
    }
    void CheckLimits(const RowWalk::Count& count) override;

private:
    // The group footer rows that follow a data row.
    void writeGroupFooters(RowHandle node);
    // The heading, band and header rows from sheet row `first`; how many.
    int writeHeader(int64_t first);
    // Begins the sheet row of the workbook's row CurrentRow, on a new sheet when the current
    // one is full; the row on its sheet.
    int64_t startRow(int level);
    void addChart();
    struct Sheet;
    std::unique_ptr<Sheet> sheet_;
    int64_t rowsBeforeSummary_ = 0; // header, group, data and footer rows, as counted up front
};

void ExportToXlsx(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                  const GridAppearance& look = GridAppearance::current());

} // namespace rg
