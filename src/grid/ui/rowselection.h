#pragma once

#include "grid/grid.h"

#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace rg {

// The rows the user has selected in the grid view. A row is kept by what identifies it
// across reloads and sorts (its level, its record and that record's key value), not by its
// handle, which a sort or reload hands to another row. Selecting all is a state of its
// own, so that it costs nothing on a million rows. A selected group row stands for every
// row under it.
class RowSelection {
public:
    explicit RowSelection(const TdxDBGrid& grid) : grid_(grid) {}

    bool empty() const { return !all_ && rows_.empty(); }
    bool all() const { return all_; }
    // The row itself is selected.
    bool contains(RowHandle r) const;
    // The row or a group row above it is selected: it is shown selected.
    bool covers(RowHandle r) const;
    // The row where a range taken with Shift starts; invalid when it is not shown.
    RowHandle anchor() const;

    void clear();
    // A plain click or move: only this row, which anchors later ranges.
    void selectOnly(RowHandle r);
    // Ctrl+click: the row in or out; it anchors later ranges.
    void toggle(RowHandle r);
    // Shift+click or Shift+move: the shown rows from the anchor to `r`, besides what was
    // selected when the anchor was set.
    void selectRange(RowHandle r);
    void selectAll();
    // Forgets everything once the key field or the grouping has changed, since the rows
    // kept no longer mean the same.
    void followGrid();

private:
    using Id = std::tuple<int, int, std::string>; // level (-1: data row), record, key text
    Id idOf(RowHandle r) const;
    std::string shape() const;

    const TdxDBGrid& grid_;
    std::set<Id> rows_;
    std::set<Id> base_; // selected when the anchor was set
    std::optional<Id> anchor_;
    bool all_ = false;
    std::string shape_;
};

} // namespace rg
