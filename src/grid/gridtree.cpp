#include "grid/grid.h"

#include "grid/gridkeys.h"

#include <algorithm>

// Reading the tree of the last load: rows, their parents and children, values, the rows
// as shown and the focused row.

namespace rg {

int TdxDBGrid::TopCount() const {
    return static_cast<int>(tree_.levels == 0 ? tree_.data.size() : tree_.top.size());
}

RowHandle TdxDBGrid::Top(int i) const {
    return tree_.levels == 0 ? RowHandle::data(i) : RowHandle::group(tree_.top[static_cast<size_t>(i)]);
}

int TdxDBGrid::ChildCount(RowHandle r) const {
    if (!r.isGroup()) return 0;
    const GroupRow& g = tree_.groups[static_cast<size_t>(r.index)];
    return g.level == tree_.levels - 1 ? g.dataRows : static_cast<int>(g.groups.size());
}

RowHandle TdxDBGrid::Child(RowHandle r, int i) const {
    const GroupRow& g = tree_.groups[static_cast<size_t>(r.index)];
    return g.level == tree_.levels - 1 ? RowHandle::data(g.firstData + i) : RowHandle::group(g.groups[static_cast<size_t>(i)]);
}

RowHandle TdxDBGrid::Parent(RowHandle r) const {
    if (r.isGroup()) {
        const int p = tree_.groups[static_cast<size_t>(r.index)].parent;
        return p < 0 ? RowHandle{} : RowHandle::group(p);
    }
    if (!r.isData() || tree_.innermost.empty()) return {};
    // The last innermost group starting at or before the row.
    const auto it = std::upper_bound(tree_.innermost.begin(), tree_.innermost.end(), r.index, [&](int d, int g) {
        return d < tree_.groups[static_cast<size_t>(g)].firstData;
    });
    return RowHandle::group(*std::prev(it));
}

bool TdxDBGrid::IsLastChild(RowHandle r) const {
    const RowHandle p = Parent(r);
    if (r.isData()) {
        if (!p.valid()) return r.index == static_cast<int>(tree_.data.size()) - 1;
        const GroupRow& g = tree_.groups[static_cast<size_t>(p.index)];
        return r.index == g.firstData + g.dataRows - 1;
    }
    const std::vector<int>& siblings = p.valid() ? tree_.groups[static_cast<size_t>(p.index)].groups : tree_.top;
    return !siblings.empty() && siblings.back() == r.index;
}

int TdxDBGrid::Level(RowHandle r) const {
    if (r.isGroup()) return tree_.groups[static_cast<size_t>(r.index)].level;
    return static_cast<int>(lastGroupFields_.size());
}

bool TdxDBGrid::Expanded(RowHandle r) const { return r.isGroup() && tree_.groups[static_cast<size_t>(r.index)].expanded; }

void TdxDBGrid::SetExpanded(RowHandle r, bool on) {
    if (!r.isGroup() || tree_.groups[static_cast<size_t>(r.index)].expanded == on) return;
    tree_.groups[static_cast<size_t>(r.index)].expanded = on;
    invalidateVisible();
    changed();
}

int TdxDBGrid::RecordOf(RowHandle r) const {
    if (r.isGroup()) return tree_.groups[static_cast<size_t>(r.index)].firstRecord;
    if (r.isData()) return tree_.data[static_cast<size_t>(r.index)];
    return -1;
}

Value TdxDBGrid::KeyValueOf(RowHandle r) const {
    if (!r.valid() || keyFieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->value(RecordOf(r), keyFieldIndex_);
}

int TdxDBGrid::DataRowsBelow(RowHandle group) const {
    return group.isGroup() ? tree_.groups[static_cast<size_t>(group.index)].dataRows : 0;
}

const Value& TdxDBGrid::GroupValue(RowHandle group) const { return tree_.groups[static_cast<size_t>(group.index)].value; }

std::string TdxDBGrid::CellText(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->displayText(tree_.data[static_cast<size_t>(dataRow.index)], c.fieldIndex_);
}

Value TdxDBGrid::CellValue(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->value(tree_.data[static_cast<size_t>(dataRow.index)], c.fieldIndex_);
}

// ---- shown rows and focus ----

template <typename Emit>
void TdxDBGrid::forEachLine(Emit&& emit) const {
    auto addData = [&](int first, int count) {
        for (int d = first; d < first + count; ++d) emit(VisibleRow{RowHandle::data(d), -1});
        // Only the last row of a group closes groups: only it is followed by footer rows.
        if (count == 0 || tree_.levels == 0) return;
        const RowHandle last = RowHandle::data(first + count - 1);
        const int footers = FooterRowCount(last);
        for (int j = 0; j < footers; ++j) emit(VisibleRow{last, j});
    };
    if (tree_.levels == 0) {
        addData(0, static_cast<int>(tree_.data.size()));
        return;
    }
    tree_.walkGroups([&](int g) {
        const GroupRow& row = tree_.groups[static_cast<size_t>(g)];
        emit(VisibleRow{RowHandle::group(g), -1});
        if (!row.expanded) return false;
        if (row.level < tree_.levels - 1) return true;
        addData(row.firstData, row.dataRows);
        return false;
    });
}

const std::vector<VisibleRow>& TdxDBGrid::VisibleRows() const {
    if (!visibleDirty_) return visible_;
    // Counted first and held at their exact size: with every group of ten million rows
    // open, a vector left to grow by doubling would hold up to twice its lines at once.
    size_t lines = 0;
    forEachLine([&](const VisibleRow&) { ++lines; });
    if (visible_.capacity() > 2 * lines) std::vector<VisibleRow>().swap(visible_);
    visible_.clear();
    visible_.reserve(lines);
    forEachLine([&](const VisibleRow& v) { visible_.push_back(v); });
    visibleDirty_ = false;
    return visible_;
}

void TdxDBGrid::SetFocusedRow(RowHandle r) {
    if (r == focused_) return;
    focused_ = r;
    if (r.valid() && dataSet_ && dataSet_->Active() && !loading_) {
        movingDataSet_ = true;
        try {
            dataSet_->SetRecNo(RecordOf(r));
        } catch (...) {
            movingDataSet_ = false;
            throw;
        }
        movingDataSet_ = false;
    }
    for (GridListener* l : std::vector<GridListener*>(listeners_)) l->focusChanged();
}

void TdxDBGrid::focusFromDataSet() {
    if (movingDataSet_ || loading_ || keyFieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return;
    const int rec = dataSet_->RecNo();
    if (rec < 0) return;
    // The first row in tree order with that key value.
    const int d = dataRowOfKey(*dataSet_, keyFieldIndex_, tree_.data, dataSet_->value(rec, keyFieldIndex_));
    if (d < 0) return;
    const RowHandle r = RowHandle::data(d);
    for (RowHandle p = Parent(r); p.valid(); p = Parent(p)) tree_.groups[static_cast<size_t>(p.index)].expanded = true;
    invalidateVisible();
    focused_ = r;
    changed();
    for (GridListener* l : std::vector<GridListener*>(listeners_)) l->focusChanged();
}

} // namespace rg
