#include "grid/grid.h"
#include "grid/serverrows.h"

#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "grid/gridutil.h"

#include <algorithm>

// Grouping levels: adding, moving and removing them, the drops of the group panel, and
// the sorts that reorder the loaded rows.

namespace rg {

void TdxDBGridColumn::SetGroupIndex(int level) {
    const int current = GroupIndex();
    if (level == current)
        return;
    if (level < 0) {
        grid_->UngroupColumn(current);
        return;
    }
    GroupingUpdate batch(*grid_);
    if (current >= 0)
        grid_->UngroupColumn(current);
    grid_->GroupColumn(*this, level);
}

template <class T> void TdxDBGridColumn::setGroupingAttribute(T& member, const T& value) {
    if (GroupIndex() < 0) {
        member = value;
        return;
    }
    const TdxDBGrid::GroupingState before = grid_->groupingState();
    member = value;
    grid_->reloadGrouping(before);
}
template void TdxDBGridColumn::setGroupingAttribute(IntervalSpec&, const IntervalSpec&);
template void TdxDBGridColumn::setGroupingAttribute(TopGroups&, const TopGroups&);

void TdxDBGridColumn::SetGroupInterval(const IntervalSpec& spec) {
    if (spec == interval_)
        return;
    if (spec.kind == rg::GroupInterval::Range && !(spec.width > 0))
        throw Error(format("无效的区间宽度: %s", formatShortest(spec.width).c_str()));
    if (const Field* f = field(); f && grid_->dataSet() && grid_->dataSet()->Active())
        CheckIntervalFits(*grid_->dataSet(), f->Index(), spec);
    setGroupingAttribute(interval_, spec);
}

std::vector<IntervalSpec> TdxDBGrid::levelIntervals() const {
    std::vector<IntervalSpec> intervals;
    for (const TdxDBGridColumn* c : groupColumns_) {
        const Field* f = c->field();
        IntervalSpec spec = c->GroupInterval();
        // Days of a date column are its values: its group rows stay as they are.
        if (!f || !intervalFits(spec.kind, f->Kind()) ||
            (spec.kind == GroupInterval::Day && f->Kind() == FieldKind::Date))
            spec = {};
        intervals.push_back(spec);
    }
    return intervals;
}

TdxDBGridColumn& TdxDBGrid::GroupColumns(int level) {
    if (level < 0 || level >= GroupColumnCount())
        throw Error(format("List index out of bounds (%d)", level));
    return *groupColumns_[static_cast<size_t>(level)];
}

const TdxDBGridColumn& TdxDBGrid::GroupColumns(int level) const {
    return const_cast<TdxDBGrid*>(this)->GroupColumns(level);
}

bool TdxDBGrid::GroupColumn(TdxDBGridColumn& c, int position) {
    if (const Field* f = c.field(); f && isBlobKind(f->Kind()))
        return false;
    if (c.Visible()) {
        int visible = 0;
        for (const auto& col : columns_)
            visible += col->Visible() ? 1 : 0;
        if (visible == 1)
            return false;
    }
    if (c.GroupIndex() >= 0)
        return false;
    for (TdxDBGridColumn* g : groupColumns_)
        if (equalsIgnoringCase(g->FieldName(), c.FieldName()))
            return false;

    const GroupingState before = groupingState();
    position = std::clamp(position, 0, GroupColumnCount());
    groupColumns_.insert(groupColumns_.begin() + position, &c);
    if (c.sorted_ == TdxTreeListColumnSort::csNone)
        c.sorted_ = TdxTreeListColumnSort::csUp;
    c.visible_ = false;
    reloadGrouping(before);
    return true;
}

void TdxDBGrid::UngroupColumn(int level) {
    TdxDBGridColumn& c = GroupColumns(level);
    const GroupingState before = groupingState();
    c.visible_ = true;
    c.sorted_ = TdxTreeListColumnSort::csNone;
    groupColumns_.erase(groupColumns_.begin() + level);
    reloadGrouping(before);
}

void TdxDBGrid::ClearGrouping() {
    GroupingUpdate batch(*this);
    while (GroupColumnCount() > 0)
        UngroupColumn(0);
}

void TdxDBGrid::SortByClick(TdxDBGridColumn& c, bool ctrl) {
    using S = TdxTreeListColumnSort;
    if (c.GroupIndex() >= 0) {
        c.SetSorted(c.Sorted() == S::csUp ? S::csDown : S::csUp);
        return;
    }
    const S next = ctrl ? S::csNone : (c.Sorted() == S::csUp ? S::csDown : S::csUp);
    if (next == c.Sorted())
        return;
    // One sort for the column that gives up its order and the one that takes it.
    const GroupingState before = groupingState();
    if (next != S::csNone)
        for (auto& other : columns_)
            if (other.get() != &c && other->GroupIndex() < 0)
                other->sorted_ = S::csNone;
    c.sorted_ = next;
    if (loading_)
        return;
    try {
        sortAll();
    } catch (const Cancelled&) {
        restoreGrouping(before);
        throw;
    }
    changed();
}

TdxDBGrid::GroupingState TdxDBGrid::groupingState() const {
    GroupingState s;
    s.groupColumns = groupColumns_;
    for (const auto& c : columns_)
        s.columns.push_back({c.get(), c->visible_, c->sorted_, c->interval_, c->top_});
    return s;
}

void TdxDBGrid::restoreGrouping(const GroupingState& s) {
    auto exists = [&](const TdxDBGridColumn* c) {
        return std::any_of(columns_.begin(), columns_.end(),
                           [&](const auto& own) { return own.get() == c; });
    };
    groupColumns_.clear();
    for (TdxDBGridColumn* c : s.groupColumns)
        if (exists(c))
            groupColumns_.push_back(c);
    for (const ColumnState& c : s.columns)
        if (exists(c.column)) {
            c.column->visible_ = c.visible;
            c.column->sorted_ = c.sorted;
            c.column->interval_ = c.interval;
            c.column->top_ = c.top;
        }
    invalidateVisible();
    changed();
}

void TdxDBGrid::reloadGrouping(const GroupingState& before) {
    if (groupingUpdateCount_ > 0) {
        changed();
        return;
    }
    // A cancelled reload, or one that fails (a grouping the server refuses), leaves the
    // grouping, rows and footers as they were.
    try {
        load(LoadReason::KeepExpanded, OnFailure::KeepRows);
    } catch (...) {
        restoreGrouping(before);
        throw;
    }
}

void TdxDBGrid::sortAll() {
    RowTree t = tree_;
    if (dataSet_)
        t.sort(*dataSet_, rowOrder()); // without one there are no rows
    // The server reads the data rows in the new order; groups are ordered here.
    if (server_)
        server_->setOrder(pageOrderOf(rowOrder(), keyFieldIndex_));
    const int focusedRecord = focused_.isData() ? RecordOf(focused_) : -1;
    tree_ = std::move(t);
    applyShowAs();
    if (focusedRecord >= 0)
        focused_ = tree_.dataRowOf(focusedRecord);
    invalidateVisible();
}

int TdxDBGrid::GroupDropPosition(int x, bool alreadyGrouped) const {
    int pos = 0;
    for (int i = 0; i < GroupColumnCount(); ++i)
        if (8 + 104 * i + 50 <= x)
            ++pos;
    if (alreadyGrouped)
        pos = std::min(pos, std::max(GroupColumnCount() - 1, 0));
    return pos;
}

void TdxDBGrid::DropColumn(TdxDBGridColumn& c, bool fromGroupPanel, DropPlace place, int x,
                           int headerPosition) {
    if (place == DropPlace::GroupPanel) {
        const int position = GroupDropPosition(x, c.GroupIndex() >= 0);
        // A refused grouping must not cost a reload of every row.
        if (c.GroupIndex() < 0)
            GroupColumn(c, position);
        else
            c.SetGroupIndex(position);
        return;
    }
    if (fromGroupPanel) {
        if (c.GroupIndex() < 0)
            return;
        // One reload for ungrouping and placing the column.
        GroupingUpdate batch(*this);
        UngroupColumn(c.GroupIndex());
        if (place == DropPlace::HeaderRow)
            MoveColumn(c, headerPosition);
        else if (place == DropPlace::Outside)
            c.SetVisible(false);
        return;
    }
    if (place == DropPlace::HeaderRow) {
        MoveColumn(c, headerPosition);
    } else if (place == DropPlace::Outside && c.Visible() && VisibleColumns().size() > 1) {
        c.SetVisible(false);
    }
}

} // namespace rg
