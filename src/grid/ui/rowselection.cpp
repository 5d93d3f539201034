#include "grid/ui/rowselection.h"

#include <algorithm>

namespace rg {

RowSelection::Id RowSelection::idOf(RowHandle r) const {
    return {r.isGroup() ? grid_.Level(r) : -1, grid_.RecordOf(r),
            grid_.KeyValueOf(r).displayText()};
}

std::string RowSelection::shape() const {
    std::string s = grid_.KeyField();
    for (int i = 0; i < grid_.ColumnCount(); ++i)
        if (grid_.Columns(i).GroupIndex() >= 0)
            s +=
                '\n' + std::to_string(grid_.Columns(i).GroupIndex()) + grid_.Columns(i).FieldName();
    return s;
}

bool RowSelection::contains(RowHandle r) const {
    if (!r.valid())
        return false;
    if (all_)
        return true;
    return !rows_.empty() && rows_.count(idOf(r)) > 0;
}

bool RowSelection::covers(RowHandle r) const {
    if (empty())
        return false;
    for (; r.valid(); r = grid_.Parent(r))
        if (contains(r))
            return true;
    return false;
}

RowHandle RowSelection::anchor() const {
    if (!anchor_)
        return {};
    for (const VisibleRow& line : grid_.VisibleRows())
        if (line.footer < 0 && idOf(line.row) == *anchor_)
            return line.row;
    return {};
}

void RowSelection::clear() {
    rows_.clear();
    base_.clear();
    anchor_.reset();
    all_ = false;
}

void RowSelection::selectOnly(RowHandle r) {
    clear();
    if (!r.valid())
        return;
    anchor_ = idOf(r);
    rows_.insert(*anchor_);
}

void RowSelection::toggle(RowHandle r) {
    if (!r.valid())
        return;
    if (all_) {
        // From "everything" to the top rows one by one, so that one can be taken out.
        all_ = false;
        for (int i = 0; i < grid_.TopCount(); ++i)
            rows_.insert(idOf(grid_.Top(i)));
    }
    const Id id = idOf(r);
    if (!rows_.erase(id))
        rows_.insert(id);
    base_ = rows_;
    anchor_ = id;
}

void RowSelection::selectRange(RowHandle r) {
    const RowHandle from = anchor();
    if (!from.valid())
        return selectOnly(r);
    all_ = false;
    rows_ = base_;
    const auto& lines = grid_.VisibleRows();
    bool inside = false;
    for (const VisibleRow& line : lines) {
        if (line.footer >= 0)
            continue;
        const bool end = line.row == from || line.row == r;
        if (end || inside)
            rows_.insert(idOf(line.row));
        if (end && (inside || from == r))
            break;
        if (end)
            inside = true;
    }
}

void RowSelection::selectAll() {
    clear();
    all_ = true;
}

void RowSelection::followGrid() {
    std::string now = shape();
    if (now == shape_)
        return;
    shape_ = std::move(now);
    clear();
}

} // namespace rg
