#pragma once

// The rows of one load: the group rows in one table, level after level, and the data rows
// held in shown order as their records, so that the data rows of every group are one range
// and a data row costs four bytes. Built from a data set's records and ordered by the
// grid's sorts; it knows fields only by their index. A tree whose rows stay on a server
// holds no records at all: data row d of an innermost group is its place d - firstData in
// the group's server order, and the server orders them.

#include "common/value.h"
#include "grid/groupinterval.h"
#include "grid/summaryvalue.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace rg {

class DataSet;

// A row of the tree: a group row (index into the group table) or a data row (index into
// the data rows in shown order). Handles stay valid until the next load or sort; the
// focused row follows its record through a sort.
struct RowHandle {
    enum class Kind : uint8_t { None, Group, Data };
    Kind kind = Kind::None;
    int32_t index = -1;
    bool isGroup() const { return kind == Kind::Group; }
    bool isData() const { return kind == Kind::Data; }
    bool valid() const { return kind != Kind::None; }
    bool operator==(const RowHandle& o) const { return kind == o.kind && index == o.index; }
    bool operator!=(const RowHandle& o) const { return !(*this == o); }
    static RowHandle group(int i) { return {Kind::Group, i}; }
    static RowHandle data(int i) { return {Kind::Data, i}; }
};

// One line of the grid as shown: a row, or group footer row `footer` after a data row.
struct VisibleRow {
    RowHandle row;
    int footer = -1; // -1: the row itself; j >= 0: its j-th group footer row
};

struct GroupRow {
    int level = 0;
    int parent = -1; // group index, -1 at the top
    Value value;
    std::string text;    // display text of the value in the first record
    int firstRecord = 0; // in a tree of server rows: its place in the server's answer
    int rank = 0;        // of its value among the values of its level
    bool expanded = false;
    std::vector<int> groups; // child groups in shown order; none at the innermost level
    int firstData = 0;       // its data rows, at all depths: data[firstData, +dataRows)
    int dataRows = 0;
    std::vector<SummaryValue> values; // one slot per summary item
    // The values as shown where an item is shown otherwise (showas.h); empty when none is.
    std::vector<SummaryValue> shown;
    std::vector<SummaryValue> formulas; // one per summary formula
    bool other = false; // "其他": the groups a top N leaves out, folded into one; shown last
};

class RowTree {
public:
    // The records of `ds` grouped by the fields `levelFields`, outermost first, each level by
    // the interval `intervals` gives it (missing ones: by value); `innerOf` receives each
    // record's innermost group, counted among the innermost groups (which close the group
    // table). Reports progress and may throw rg::Cancelled.
    static RowTree build(const DataSet& ds, const std::vector<int>& levelFields,
                         std::vector<int32_t>& innerOf,
                         const std::vector<IntervalSpec>& intervals = {});
    // The groups of a server's answer, `made[l]` the groups of level l with their parents
    // as indices into made[l - 1], value, text, rank and firstRecord set, and each innermost
    // group's row count in dataRows. `flatRows` is the row count without grouping.
    static RowTree fromServer(std::vector<std::vector<GroupRow>> made, int flatRows);

    // Sibling groups of each level by value (descending where `levelDown` says so), then
    // the data rows of each innermost group by `field` (stable, nulls first going up, last
    // going down) or, without a field, by record.
    struct Order {
        std::vector<bool> levelDown;
        int field = -1;
        bool down = false;
    };
    // Reports progress and may throw rg::Cancelled.
    void sort(const DataSet& ds, const Order& order);

    // The tree with the groups marked in `fold` (one flag per group) folded into one group
    // "其他" per parent, and below it the subgroups of equal value merged, in order of
    // their first record as a build leaves them; `innerOf` receives each record's innermost
    // group as build gives it. Summaries are not carried over: they are over other rows.
    RowTree folded(const std::vector<char>& fold, const std::string& otherText,
                   std::vector<int32_t>& innerOf) const;

    int levels() const { return levels_; }
    // The data rows stay on the server: no records, the server orders them.
    bool paged() const { return paged_; }
    int64_t changes() const { return changes_; } // the data set's change count at the build
    int groupCount() const { return static_cast<int>(groups_.size()); }
    int dataCount() const { return paged_ ? pagedRows_ : static_cast<int>(data_.size()); }
    GroupRow& group(int g) { return groups_[static_cast<size_t>(g)]; }
    const GroupRow& group(int g) const { return groups_[static_cast<size_t>(g)]; }
    // Innermost groups in shown order: the parents of data rows. They close the table.
    const std::vector<int>& innermost() const { return innermost_; }
    // The record of each data row (none in a paged tree).
    const std::vector<int32_t>& records() const { return data_; }

    int topCount() const { return levels_ == 0 ? dataCount() : static_cast<int>(top_.size()); }
    RowHandle top(int i) const {
        return levels_ == 0 ? RowHandle::data(i) : RowHandle::group(top_[static_cast<size_t>(i)]);
    }
    int childCount(RowHandle r) const {
        if (!r.isGroup())
            return 0;
        const GroupRow& g = group(r.index);
        return g.level == levels_ - 1 ? g.dataRows : static_cast<int>(g.groups.size());
    }
    RowHandle child(RowHandle r, int i) const {
        const GroupRow& g = group(r.index);
        return g.level == levels_ - 1 ? RowHandle::data(g.firstData + i)
                                      : RowHandle::group(g.groups[static_cast<size_t>(i)]);
    }
    RowHandle parent(RowHandle r) const;
    bool isLastChild(RowHandle r) const;
    // A group row: its first record; -1 for none, and for every row of a paged tree.
    int recordOf(RowHandle r) const {
        if (paged_)
            return -1;
        if (r.isGroup())
            return group(r.index).firstRecord;
        if (r.isData())
            return data_[static_cast<size_t>(r.index)];
        return -1;
    }
    // The data row of `record`; an invalid handle when no row shows it.
    RowHandle dataRowOf(int record) const;
    void setAllExpanded(bool on);
    // The values of a group and its parents as one text, the same across loads.
    std::string pathKey(int group) const;

    // Visits the groups in shown order, depth first; `visit(g)` answers whether to go on
    // into the subgroups of g.
    template <typename Visit> void walkGroups(Visit&& visit) const {
        std::vector<std::pair<const std::vector<int>*, size_t>> stack{{&top_, 0}};
        while (!stack.empty()) {
            auto& [list, next] = stack.back();
            if (next >= list->size()) {
                stack.pop_back();
                continue;
            }
            const int g = (*list)[next++];
            if (visit(g))
                stack.push_back({&groups_[static_cast<size_t>(g)].groups, 0});
        }
    }

    // The shown lines in order as spans, without work per data row: `group(g)` for a group
    // row, `data(first, count, footers)` for the data rows [first, first + count) of a group
    // (all of them without grouping), which the `footers` = `footerRows(last row)` footer
    // rows of the groups its last row closes follow. Expanded groups open.
    template <typename Group, typename Data, typename FooterRows>
    void forEachSpan(Group&& group, Data&& data, FooterRows&& footerRows) const {
        auto addData = [&](int first, int count) {
            // Only the last row of a group closes groups: only it is followed by footer rows.
            const int footers =
                count == 0 || levels_ == 0 ? 0 : footerRows(RowHandle::data(first + count - 1));
            data(first, count, footers);
        };
        if (levels_ == 0) {
            addData(0, dataCount());
            return;
        }
        walkGroups([&](int g) {
            const GroupRow& row = groups_[static_cast<size_t>(g)];
            group(g);
            if (!row.expanded)
                return false;
            if (row.level < levels_ - 1)
                return true;
            addData(row.firstData, row.dataRows);
            return false;
        });
    }

    // Calls `emit` with every shown line in order: expanded groups open, and after the
    // last data row of a group the `footerRows(row)` footer rows it closes.
    template <typename Emit, typename FooterRows>
    void forEachLine(Emit&& emit, FooterRows&& footerRows) const {
        forEachSpan(
            [&](int g) {
                emit(VisibleRow{RowHandle::group(g), -1});
            },
            [&](int first, int count, int footers) {
                for (int d = first; d < first + count; ++d)
                    emit(VisibleRow{RowHandle::data(d), -1});
                for (int j = 0; j < footers; ++j)
                    emit(VisibleRow{RowHandle::data(first + count - 1), j});
            },
            footerRows);
    }

private:
    // The groups each level made, in order of their first record, into the table; returns
    // where the innermost level starts in it.
    int addLevels(const DataSet& ds, const std::vector<int>& levelFields,
                  const std::vector<IntervalSpec>& intervals,
                  std::vector<std::vector<GroupRow>>& made);
    // Puts the groups each level made into the table, children after their parents.
    int linkLevels(std::vector<std::vector<GroupRow>>& made);
    void placeDataRows(std::vector<int32_t>& innerOf, int innerStart,
                       const std::vector<std::vector<int32_t>>& renumber);
    void orderGroups(const std::vector<bool>& levelDown);
    void orderDataRows(const DataSet& ds, int field, bool down);

    int levels_ = 0;
    bool paged_ = false;
    int pagedRows_ = 0;
    int64_t changes_ = 0;
    std::vector<GroupRow> groups_;
    std::vector<int> top_;       // top groups in shown order (none without grouping)
    std::vector<int> innermost_; // innermost groups in shown order
    std::vector<int32_t> data_;  // the record of each data row
};

} // namespace rg
