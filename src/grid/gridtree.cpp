#include "grid/grid.h"

#include "grid/gridkeys.h"
#include "grid/serverrows.h"

// Reading the rows of the last load: their parents and children, values, the rows as shown
// and the focused row.

namespace rg {

int TdxDBGrid::TopCount() const {
    return tree_.topCount();
}
RowHandle TdxDBGrid::Top(int i) const {
    return tree_.top(i);
}
int TdxDBGrid::ChildCount(RowHandle r) const {
    return tree_.childCount(r);
}
RowHandle TdxDBGrid::Child(RowHandle r, int i) const {
    return tree_.child(r, i);
}
RowHandle TdxDBGrid::Parent(RowHandle r) const {
    return tree_.parent(r);
}
bool TdxDBGrid::IsLastChild(RowHandle r) const {
    return tree_.isLastChild(r);
}

int TdxDBGrid::Level(RowHandle r) const {
    if (r.isGroup())
        return tree_.group(r.index).level;
    return static_cast<int>(lastGroupFields_.size());
}

bool TdxDBGrid::Expanded(RowHandle r) const {
    return r.isGroup() && tree_.group(r.index).expanded;
}

void TdxDBGrid::SetExpanded(RowHandle r, bool on) {
    if (!r.isGroup() || tree_.group(r.index).expanded == on)
        return;
    tree_.group(r.index).expanded = on;
    invalidateVisible();
    changed();
}

int TdxDBGrid::RecordOf(RowHandle r) const {
    return tree_.recordOf(r);
}

Value TdxDBGrid::KeyValueOf(RowHandle r) const {
    if (!r.valid() || keyFieldIndex_ < 0 || !dataSet_ || !dataSet_->Active())
        return {};
    if (server_) {
        // A group row's key is that of its first data row, as in memory.
        const int d = r.isGroup() ? tree_.group(r.index).firstData : r.index;
        return d < tree_.dataCount() ? server_->value(tree_, d, keyFieldIndex_) : Value{};
    }
    return dataSet_->value(RecordOf(r), keyFieldIndex_);
}

int TdxDBGrid::DataRowsBelow(RowHandle group) const {
    return group.isGroup() ? tree_.group(group.index).dataRows : 0;
}

const Value& TdxDBGrid::GroupValue(RowHandle group) const {
    return tree_.group(group.index).value;
}

std::string TdxDBGrid::CellText(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active())
        return {};
    if (server_)
        return server_->text(tree_, dataRow.index, c.fieldIndex_);
    return dataSet_->displayText(tree_.recordOf(dataRow), c.fieldIndex_);
}

Value TdxDBGrid::CellValue(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active())
        return {};
    if (server_)
        return server_->value(tree_, dataRow.index, c.fieldIndex_);
    return dataSet_->value(tree_.recordOf(dataRow), c.fieldIndex_);
}

// ---- shown rows and focus ----

const std::vector<VisibleRow>& TdxDBGrid::VisibleRows() const {
    if (!visibleDirty_)
        return visible_;
    auto footerRows = [this](RowHandle last) { return FooterRowCount(last); };
    // Counted first and held at their exact size: with every group of ten million rows
    // open, a vector left to grow by doubling would hold up to twice its lines at once.
    size_t lines = 0;
    tree_.forEachLine([&](const VisibleRow&) { ++lines; }, footerRows);
    if (visible_.capacity() > 2 * lines)
        std::vector<VisibleRow>().swap(visible_);
    visible_.clear();
    visible_.reserve(lines);
    tree_.forEachLine([&](const VisibleRow& v) { visible_.push_back(v); }, footerRows);
    visibleDirty_ = false;
    return visible_;
}

void TdxDBGrid::SetFocusedRow(RowHandle r) {
    if (r == focused_)
        return;
    focused_ = r;
    // The server's rows have no record in the data set's cursor to move to.
    if (r.valid() && dataSet_ && dataSet_->Active() && !loading_ && !server_) {
        movingDataSet_ = true;
        try {
            dataSet_->SetRecNo(RecordOf(r));
        } catch (...) {
            movingDataSet_ = false;
            throw;
        }
        movingDataSet_ = false;
    }
    focusChanged();
}

void TdxDBGrid::focusFromDataSet() {
    if (movingDataSet_ || loading_ || keyFieldIndex_ < 0 || !dataSet_ || !dataSet_->Active())
        return;
    const int rec = dataSet_->RecNo();
    if (rec < 0)
        return;
    // The first row in tree order with that key value.
    const int d = dataRowOfKey(*dataSet_, keyFieldIndex_, tree_.records(),
                               dataSet_->value(rec, keyFieldIndex_));
    if (d < 0)
        return;
    const RowHandle r = RowHandle::data(d);
    for (RowHandle p = Parent(r); p.valid(); p = Parent(p))
        tree_.group(p.index).expanded = true;
    invalidateVisible();
    focused_ = r;
    changed();
    focusChanged();
}

} // namespace rg
