#include "grid/grid.h"

#include "common/progress.h"

// The grid's cross table: its definition, computed with every load of the rows.

namespace rg {

std::unique_ptr<CrossTable> TdxDBGrid::computeCrossTable(const RowTree& tree) const {
    if (!crossDef_ || !dataSet_ || !dataSet_->Active())
        return nullptr;
    const int cross = resolveField(crossDef_->field);
    const bool counts = crossDef_->kind == TdxSummaryType::cstCount;
    const int value = counts ? -1 : resolveField(crossDef_->summaryField);
    if (cross < 0 || isBlobKind(dataSet_->Fields(cross).Kind()) || (!counts && value < 0))
        return nullptr;
    return std::make_unique<CrossTable>(
        CrossTable::compute(*dataSet_, tree, cross, crossDef_->kind, value));
}

void TdxDBGrid::addCrossTable(LoadedRows& rows) const {
    try {
        rows.cross = computeCrossTable(rows.tree);
    } catch (const Cancelled&) {
        throw;
    } catch (...) {
        if (!rows.summaryError)
            rows.summaryError = std::current_exception();
    }
}

void TdxDBGrid::SetCrossTable(const CrossTableDef& def) {
    std::optional<CrossTableDef> before = std::move(crossDef_);
    crossDef_ = def;
    try {
        cross_ = computeCrossTable(tree_);
    } catch (...) {
        crossDef_ = std::move(before);
        throw;
    }
    if (!before || before->field != def.field)
        crossSortColumn_ = -1;
    changed();
}

void TdxDBGrid::ClearCrossTable() {
    crossDef_.reset();
    cross_.reset();
    crossSortColumn_ = -1;
    changed();
}

void TdxDBGrid::SetCrossSort(int column, bool down) {
    crossSortColumn_ = column;
    crossSortDown_ = down;
    changed();
}

std::vector<RowHandle> TdxDBGrid::CrossChildren(RowHandle parent) const {
    std::vector<RowHandle> out;
    if (!cross_ || (parent.valid() && !parent.isGroup()))
        return out;
    for (const int g : cross_->children(tree_, parent.valid() ? parent.index : -1, crossSortColumn_,
                                        crossSortDown_))
        out.push_back(RowHandle::group(g));
    return out;
}

} // namespace rg
