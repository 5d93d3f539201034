#include "export/gridexport.h"

#include "common/progress.h"
#include "grid/rowwalk.h"

namespace rg {

namespace {
// Rows written between two progress reports.
constexpr size_t kProgressStep = 4096;
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

std::vector<TdxDBGridColumn*> TdxDBGridExport::VisibleExportColumns() const {
    return Grid->VisibleColumns();
}

std::vector<RowHandle> TdxDBGridExport::RowsToExport() const {
    RowWalk walk;
    if (!SaveAll)
        walk.selected = SelectedNodes;
    return walk.Rows(*Grid);
}

void TdxDBGridExport::WriteContent() {
    if (Grid == nullptr || Grid->dataSet() == nullptr) {
        if (Grid != nullptr)
            WriteEmptyDocument();
        return;
    }
    const std::vector<RowHandle> nodes = RowsToExport();
    CheckLimits(nodes);
    BeginDocument();
    try {
        CurrentRow = 0;
        WriteHeaderRows();
        const auto total = static_cast<int64_t>(nodes.size());
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (i % kProgressStep == 0)
                reportProgress("正在导出", static_cast<int64_t>(i), total);
            WriteNode(nodes[i]);
            ++CurrentRow;
        }
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
