#include "grid/grid.h"
#include "grid/serverrows.h"
#include "server/serverquery.h"

#include "common/error.h"
#include "common/progress.h"
#include "grid/summaryrules.h"

// The grid's cross table: its definition, computed with every load of the rows.

namespace rg {

std::unique_ptr<CrossTable> TdxDBGrid::computeCrossTable(const RowTree& tree,
                                                         const ServerRows* server) const {
    if (!crossDef_ || !dataSet_ || !dataSet_->Active())
        return nullptr;
    const int cross = resolveField(crossDef_->field);
    const bool counts = crossDef_->kind == TdxSummaryType::cstCount;
    const int value = counts ? -1 : resolveField(crossDef_->summaryField);
    if (cross < 0 || (!counts && value < 0))
        return nullptr;
    const Field& f = dataSet_->Fields(cross);
    if (isBlobKind(f.Kind()))
        throw Error("不能按字段“" + f.DisplayName() + "”列出交叉表：它的值是二进制数据");
    CheckIntervalFits(*dataSet_, cross, crossDef_->interval);
    if (!counts && !SummaryComputable(*dataSet_, value, crossDef_->kind)) {
        const std::string name = dataSet_->Fields(value).DisplayName();
        throw Error(std::string("交叉表的“") + SummaryKindCaption(crossDef_->kind) + " " + name +
                    "”无法计算：字段“" + name + "”的值不是数字，不能" +
                    (crossDef_->kind == TdxSummaryType::cstSum ? "求和。" : "求平均。"));
    }
    if (dataSet_->ServerSide()) {
        if (!server)
            throw ServerRefusal("在服务器上汇总时交叉表要在分组之后计算");
        return server->crossTable(tree, cross, crossDef_->interval, crossDef_->kind, value);
    }
    return std::make_unique<CrossTable>(
        CrossTable::compute(*dataSet_, tree, cross, crossDef_->interval, crossDef_->kind, value));
}

void TdxDBGrid::addCrossTable(LoadedRows& rows) const {
    try {
        rows.cross = computeCrossTable(rows.tree, rows.server.get());
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
        cross_ = computeCrossTable(tree_, server_.get());
    } catch (...) {
        crossDef_ = std::move(before);
        throw;
    }
    if (!before || before->field != def.field || before->interval != def.interval)
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
