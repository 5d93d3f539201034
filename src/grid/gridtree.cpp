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
    if (server_)
        return r.isGroup() ? server_->groupKey(tree_, r.index, keyFieldIndex_)
                           : server_->value(tree_, r.index, keyFieldIndex_);
    return dataSet_->value(RecordOf(r), keyFieldIndex_);
}

int TdxDBGrid::DataRowsBelow(RowHandle group) const {
    return group.isGroup() ? tree_.group(group.index).dataRows : 0;
}

const Value& TdxDBGrid::GroupValue(RowHandle group) const {
    return tree_.group(group.index).value;
}

const std::string& TdxDBGrid::GroupValueText(RowHandle group) const {
    return tree_.group(group.index).text;
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

const VisibleLines& TdxDBGrid::VisibleRows() const {
    if (!visibleDirty_)
        return visible_;
    visible_.clear();
    // Runs of data rows go in whole: a flat report of millions of server rows is one run.
    tree_.forEachSpan(
        [&](int g) {
            const RowHandle group = RowHandle::group(g);
            visible_.push({group, -1});
            const FooterRun after = FootersAfter(group);
            visible_.pushRun(after.row, after.first, after.count);
        },
        [&](int first, int count, int footers) {
            visible_.pushRun(RowHandle::data(first), -1, count);
            if (count > 0)
                visible_.pushRun(RowHandle::data(first + count - 1), 0, footers);
        },
        [this](RowHandle last) { return FooterRowCount(last); });
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
