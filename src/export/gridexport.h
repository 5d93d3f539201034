#pragma once

// The base of the writers that stream the grid's rows into one file: it owns the output file
// and hands every row of the row walk to WriteNode as it walks; each format fills in its document.

#include "export/appearance.h"
#include "export/exportfile.h"
#include "grid/grid.h"
#include "grid/rowwalk.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace rg {

class TdxDBGridExport {
public:
    virtual ~TdxDBGridExport() = default;

    std::string FileName;
    TdxDBGrid* Grid = nullptr;
    bool SaveAll = true;
    int32_t CurrentRow = 0;
    std::unique_ptr<ExportFile> Stream;

    // The grid's selected rows, used when SaveAll is off; none means every row.
    std::vector<RowHandle> SelectedNodes;
    GridAppearance Look;

    virtual void BeginDocument() {}
    virtual void EndDocument() {}
    virtual void WriteHeaderRows() {}
    virtual void WriteFooterRows() {}
    virtual void WriteNode(RowHandle node) {}

    // Creates the file, writes the content and replaces the target with it; on failure the
    // target stays as it was.
    virtual void Execute();
    // Reports the rows written to the thread's progress sink ("正在导出"); a cancel there
    // fails the export like any other error.
    virtual void WriteContent();

    // The walk over the rows to visit, in tree order: every row, or with SaveAll off what the
    // selection keeps.
    RowWalk ExportWalk() const;

protected:
    // Called with the number of rows and lines to visit before anything is written: refuse
    // what the format cannot hold.
    virtual void CheckLimits(const RowWalk::Count& count) {}
    // The summary footer is a sheet row only when a column shows a summary in it: a band
    // without summaries would be an empty row.
    bool WritesSummaryRow() const;
    // The cell of the summary row that says kGrandTotalLabel, counted from the row's first
    // cell: the first of `leading` cells before the columns (where group footers say what
    // they total), else the first column without a footer (SummaryFooterLabelColumn); -1
    // for none.
    int SummaryLabelCell(int leading) const;
    // The sheet rows a spreadsheet gets for the counted rows: heading, band caption, header, the
    // rows with their footers and the summary row.
    int64_t SheetRows(const RowWalk::Count& count) const;
    // Moves the finished file(s) over their targets.
    virtual void CommitFiles();
    // What a grid without a data set gives: nothing, or for formats that cannot be empty
    // files, a document without rows.
    virtual void WriteEmptyDocument() {}

    // The line above the header of a report run with parameter values, saying them
    // ("2026年2月"), taken from the data set as it was opened; empty without parameters, so
    // that such a report's files stay as they were.
    std::string Heading() const;
    int HeadingRows() const { return Heading().empty() ? 0 : 1; }

    // Visible columns in header order (all columns sit in the grid's one band).
    std::vector<TdxDBGridColumn*> VisibleExportColumns() const;
    bool CaptionDisabled(const TdxDBGridColumn& c) const {
        return Look.disabledCaptions.count(c.Name()) > 0;
    }
};

// What a group footer row says, as a spreadsheet's subtotal rows do: the group's text and what
// its footers are ("华东 合计", or "华东 金额 合计，数量 计数" for footers of several kinds).
std::string GroupFooterLabel(const TdxDBGrid& grid, RowHandle dataRow, int footer,
                             std::span<const TdxDBGridColumn* const> columns,
                             const std::string& groupText);

// Runs a fresh exporter of kind E over the grid into a file: every row (saveAll) or the
// grid's selected ones.
template <class E>
void RunExport(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
               const GridAppearance& look) {
    auto exporter = std::make_unique<E>();
    exporter->FileName = fileName;
    exporter->Grid = &grid;
    exporter->SaveAll = saveAll;
    exporter->Look = look;
    exporter->Execute();
}

} // namespace rg
