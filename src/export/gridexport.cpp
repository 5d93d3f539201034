#include "export/gridexport.h"

#include "common/progress.h"

#include <algorithm>

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

void TdxDBGridExport::CommitFiles() { Stream->Commit(); }

std::vector<TdxDBGridColumn*> TdxDBGridExport::VisibleExportColumns() const {
    return Grid->VisibleColumns();
}

std::vector<RowHandle> TdxDBGridExport::RowsToExport() const {
    std::vector<RowHandle> rows;
    const TdxDBGrid& g = *Grid;
    rows.reserve(static_cast<size_t>(g.DataRowCount() + g.GroupRowCount()));
    // Every node in pre-order, collapsed groups included; with a selection only what lies
    // on a selected node's path or below it.
    std::vector<char> keepGroup, keepData;
    const bool all = SaveAll || SelectedNodes.empty();
    if (!all) {
        keepGroup.assign(static_cast<size_t>(g.GroupRowCount()), 0);
        keepData.assign(static_cast<size_t>(g.DataRowCount()), 0);
        auto mark = [&](RowHandle r) {
            auto& v = r.isGroup() ? keepGroup : keepData;
            if (r.index >= 0 && static_cast<size_t>(r.index) < v.size()) v[static_cast<size_t>(r.index)] = 1;
        };
        std::vector<RowHandle> stack;
        for (RowHandle s : SelectedNodes) {
            if (!s.valid()) continue;
            for (RowHandle p = s; p.valid(); p = g.Parent(p)) mark(p);
            stack.push_back(s);
            while (!stack.empty()) {
                const RowHandle r = stack.back();
                stack.pop_back();
                mark(r);
                for (int i = 0; i < g.ChildCount(r); ++i) stack.push_back(g.Child(r, i));
            }
        }
    }
    auto kept = [&](RowHandle r) {
        if (all) return true;
        const auto& v = r.isGroup() ? keepGroup : keepData;
        return r.index >= 0 && static_cast<size_t>(r.index) < v.size() && v[static_cast<size_t>(r.index)] != 0;
    };
    struct Frame {
        RowHandle parent;
        int next;
    };
    std::vector<Frame> stack;
    for (int t = 0; t < g.TopCount(); ++t) {
        const RowHandle top = g.Top(t);
        if (!kept(top)) continue;
        rows.push_back(top);
        stack.push_back({top, 0});
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next >= g.ChildCount(f.parent)) {
                stack.pop_back();
                continue;
            }
            const RowHandle child = g.Child(f.parent, f.next++);
            if (!kept(child)) continue;
            rows.push_back(child);
            if (child.isGroup()) stack.push_back({child, 0});
        }
    }
    return rows;
}

void TdxDBGridExport::WriteContent() {
    if (Grid == nullptr || Grid->dataSet() == nullptr) {
        if (Grid != nullptr) WriteEmptyDocument();
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
            if (i % kProgressStep == 0) reportProgress("正在导出", static_cast<int64_t>(i), total);
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
