#pragma once

#include "export/biffwriter.h"
#include "export/cellnumber.h"
#include "export/gridexport.h"
#include "export/summarycell.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace rg {

// The spreadsheet writer: one BIFF4 worksheet.
class TdxDBGridExportExcel : public TdxDBGridExport {
public:
    struct ExportedColumnTable {
        std::array<int32_t, 256> Items{};
        int32_t Count = 0;
    } ExportedColumns;

    void BeginDocument() override;
    void EndDocument() override;
    void WriteHeaderRows() override;
    void WriteFooterRows() override;
    void WriteNode(RowHandle node) override;

    // Cells whose text the file could not carry whole: characters outside GBK written as
    // "?", texts cut at the cell limit.
    int64_t LossyCells = 0;

    // Sheet limits of the format: BIFF4 holds 16,384 rows (readers refuse more), so that
    // the summary formulas' references reach every row.
    static constexpr int kMaxSheetRows = 16384;
    static constexpr int kMaxSheetColumns = 256;
    // Only this many columns get a font of their own: the font index is one byte.
    static constexpr int kColumnsWithOwnFont = 246;

protected:
    void CheckLimits(const RowWalk::Count& count) override;

private:
    struct Col {
        TdxDBGridColumn* column;
        CellKind kind;
    };
    static CellKind kindOf(const TdxDBGridColumn& c);
    biff::Writer& out();
    // The text in code page 936 within the cell limit, counted in LossyCells when it is not whole.
    std::string ansiLabel(const std::string& utf8, size_t maxBytes = biff::kMaxLabelText);
    uint16_t row() const { return static_cast<uint16_t>(CurrentRow & 0xFFFF); }
    void writeDataCell(RowHandle node, int i);
    void writeSummaryCell(int i, const Col& c);
    void label(uint16_t col, uint16_t xf, const std::string& ansi);
    void number(uint16_t col, uint16_t xf, double v);

    std::optional<biff::Writer> writer_;
    std::vector<Col> cols_;
    std::vector<TdxDBGridColumn*> columns_; // those of cols_
    int groupLevels_ = 0;
    // What each sheet column holds below the header rows, for the summary row.
    std::vector<SheetColumnTally> tallies_;
};

// Writes the grid as a spreadsheet file (the result grid's own export operation).
void ExportToSpreadsheet(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                         const GridAppearance& look = GridAppearance::current());

} // namespace rg
