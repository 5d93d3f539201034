#include "grid/rowtree.h"

#include <algorithm>

namespace rg {

RowHandle RowTree::parent(RowHandle r) const {
    if (r.isGroup()) {
        const int p = group(r.index).parent;
        return p < 0 ? RowHandle{} : RowHandle::group(p);
    }
    if (!r.isData() || innermost_.empty())
        return {};
    // The last innermost group starting at or before the row.
    const auto it = std::upper_bound(innermost_.begin(), innermost_.end(), r.index,
                                     [&](int d, int g) { return d < group(g).firstData; });
    return RowHandle::group(*std::prev(it));
}

bool RowTree::isLastChild(RowHandle r) const {
    const RowHandle p = parent(r);
    if (r.isData()) {
        if (!p.valid())
            return r.index == dataCount() - 1;
        const GroupRow& g = group(p.index);
        return r.index == g.firstData + g.dataRows - 1;
    }
    const std::vector<int>& siblings = p.valid() ? group(p.index).groups : top_;
    return !siblings.empty() && siblings.back() == r.index;
}

RowHandle RowTree::dataRowOf(int record) const {
    if (paged_)
        return {};
    const auto it = std::find(data_.begin(), data_.end(), record);
    if (it == data_.end())
        return {};
    return RowHandle::data(static_cast<int>(it - data_.begin()));
}

void RowTree::setAllExpanded(bool on) {
    for (GroupRow& g : groups_)
        g.expanded = on;
}

RowTree RowTree::fromServer(std::vector<std::vector<GroupRow>> made, int flatRows) {
    RowTree t;
    t.paged_ = true;
    t.levels_ = static_cast<int>(made.size());
    t.pagedRows_ = flatRows;
    if (made.empty())
        return t;
    int aboveStart = 0;
    for (std::vector<GroupRow>& level : made) {
        const int start = t.groupCount();
        for (GroupRow& row : level) {
            const int g = t.groupCount();
            if (row.parent >= 0) {
                row.parent += aboveStart;
                t.groups_[static_cast<size_t>(row.parent)].groups.push_back(g);
            } else {
                t.top_.push_back(g);
            }
            if (row.level < t.levels_ - 1)
                row.dataRows = 0;
            t.groups_.push_back(std::move(row));
        }
        aboveStart = start;
    }
    // The innermost groups close the table; counts add up from the back.
    t.pagedRows_ = 0;
    for (size_t g = static_cast<size_t>(aboveStart); g < t.groups_.size(); ++g) {
        t.innermost_.push_back(static_cast<int>(g));
        t.groups_[g].firstData = t.pagedRows_;
        t.pagedRows_ += t.groups_[g].dataRows;
    }
    for (size_t g = t.groups_.size(); g-- > 0;)
        if (t.groups_[g].parent >= 0)
            t.groups_[static_cast<size_t>(t.groups_[g].parent)].dataRows += t.groups_[g].dataRows;
    return t;
}

std::string RowTree::pathKey(int group) const {
    std::string key;
    for (int g = group; g >= 0; g = groups_[static_cast<size_t>(g)].parent) {
        std::string part;
        appendValueKey(part, groups_[static_cast<size_t>(g)].value);
        key.insert(0, part + '\x1F');
    }
    return key;
}

} // namespace rg
