#include "export/gridexport.h"

#include "common/progress.h"
#include "datasource/dataset.h"
#include "grid/summaryrules.h"

#include <algorithm>

namespace rg {

namespace {
// Rows written between two progress reports.
constexpr int64_t kProgressStep = 4096;
} // namespace

void TdxDBGridExport::Execute() {
    Stream = std::make_unique<ExportFile>(FileName);
    try {
        WriteContent();
        CommitFiles();
    } catch (...) {
        Stream.reset();
        throw;
    }
    Stream.reset();
}

void TdxDBGridExport::CommitFiles() {
    Stream->Commit();
}

std::string TdxDBGridExport::Heading() const {
    const DataSet* ds = Grid ? Grid->dataSet() : nullptr;
    return ds ? ds->ParameterCaption() : std::string();
}

std::vector<TdxDBGridColumn*> TdxDBGridExport::VisibleExportColumns() const {
    return Grid->VisibleColumns();
}

bool TdxDBGridExport::WritesSummaryRow() const {
    if (!Grid->ShowSummaryFooter())
        return false;
    const std::vector<TdxDBGridColumn*> columns = VisibleExportColumns();
    return std::any_of(columns.begin(), columns.end(),
                       [&](const TdxDBGridColumn* c) { return Grid->SummaryFooterCellExists(*c); });
}

int TdxDBGridExport::SummaryLabelCell(int leading) const {
    if (leading > 0)
        return 0;
    return Grid->SummaryFooterLabelColumn(VisibleExportColumns());
}

int64_t TdxDBGridExport::SheetRows(const RowWalk::Count& count) const {
    return HeadingRows() + (Look.showBands ? 1 : 0) + (Look.showHeader ? 1 : 0) + count.lines +
           (WritesSummaryRow() ? 1 : 0);
}

std::string GroupFooterLabel(const TdxDBGrid& grid, RowHandle dataRow, int footer,
                             std::span<const TdxDBGridColumn* const> columns,
                             const std::string& groupText) {
    // What each cell totals: its summary's kind, a formula's name.
    std::vector<std::pair<const TdxDBGridColumn*, std::string>> kinds;
    bool same = true;
    for (const TdxDBGridColumn* c : columns) {
        if (!grid.FooterCellExists(dataRow, *c, footer))
            continue;
        const int f = grid.ColumnFormula(*c);
        kinds.emplace_back(c, f >= 0
                                  ? grid.SummaryFormulas()[static_cast<size_t>(f)].name
                                  : SummaryKindCaption(grid.FooterCellKind(dataRow, *c, footer)));
        same = same && kinds.back().second == kinds.front().second;
    }
    std::string label = groupText;
    if (kinds.empty())
        return label;
    if (same)
        return label + " " + kinds.front().second;
    for (size_t k = 0; k < kinds.size(); ++k)
        label += (k ? "，" : " ") + kinds[k].first->Caption() + " " + kinds[k].second;
    return label;
}

RowWalk TdxDBGridExport::ExportWalk() const {
    RowWalk walk;
    if (!SaveAll)
        walk.selected = SelectedNodes;
    return walk;
}

void TdxDBGridExport::WriteContent() {
    if (Grid == nullptr || Grid->dataSet() == nullptr) {
        if (Grid != nullptr)
            WriteEmptyDocument();
        return;
    }
    const RowWalk walk = ExportWalk();
    const RowWalk::Count count = walk.count(*Grid);
    CheckLimits(count);
    BeginDocument();
    try {
        CurrentRow = 0;
        WriteHeaderRows();
        int64_t done = 0;
        walk.forEachRow(*Grid, [&](RowHandle node) {
            if (done % kProgressStep == 0)
                reportProgress("正在导出", done, count.rows);
            WriteNode(node);
            ++CurrentRow;
            ++done;
        });
        WriteFooterRows();
    } catch (...) {
        try {
            EndDocument();
        } catch (...) {
            // the first error is the one the caller hears
        }
        throw;
    }
    EndDocument();
}

} // namespace rg
