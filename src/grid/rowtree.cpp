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
            return r.index == static_cast<int>(data_.size()) - 1;
        const GroupRow& g = group(p.index);
        return r.index == g.firstData + g.dataRows - 1;
    }
    const std::vector<int>& siblings = p.valid() ? group(p.index).groups : top_;
    return !siblings.empty() && siblings.back() == r.index;
}

RowHandle RowTree::dataRowOf(int record) const {
    const auto it = std::find(data_.begin(), data_.end(), record);
    if (it == data_.end())
        return {};
    return RowHandle::data(static_cast<int>(it - data_.begin()));
}

void RowTree::setAllExpanded(bool on) {
    for (GroupRow& g : groups_)
        g.expanded = on;
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
