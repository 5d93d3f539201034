#include "grid/rowtree.h"

#include "common/parallel.h"
#include "grid/gridkeys.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

// Folding groups: each group of the new tree is found by its new parent and its value's
// rank (which siblings never share), or as its parent's one "其他", so that below a fold
// the subgroups of equal value from several folded groups become one.

namespace rg {

RowTree RowTree::folded(const std::vector<char>& fold, const std::string& otherText,
                        std::vector<int32_t>& innerOf) const {
    RowTree t;
    t.levels_ = levels_;
    t.changes_ = changes_;
    std::vector<std::vector<GroupRow>> made(static_cast<size_t>(levels_));
    std::vector<std::unordered_map<uint64_t, int32_t>> at(static_cast<size_t>(levels_));
    std::vector<int32_t> newOf(groups_.size(), -1); // within its level of `made`
    constexpr int32_t kOtherRank = std::numeric_limits<int32_t>::max();
    // The table holds parents before their children.
    for (size_t g = 0; g < groups_.size(); ++g) {
        const GroupRow& old = groups_[g];
        const size_t level = static_cast<size_t>(old.level);
        const int32_t parent = old.parent < 0 ? -1 : newOf[static_cast<size_t>(old.parent)];
        const bool other = old.other || fold[g] != 0;
        const int32_t rank = other ? kOtherRank : old.rank;
        const uint64_t key =
            uint64_t(static_cast<uint32_t>(parent + 1)) << 32 | static_cast<uint32_t>(rank);
        const auto [it, added] = at[level].emplace(key, static_cast<int32_t>(made[level].size()));
        if (added) {
            GroupRow row;
            row.level = old.level;
            row.parent = parent;
            row.firstRecord = old.firstRecord;
            row.rank = rank;
            row.other = other;
            row.value = other ? Value::fromText(otherText) : old.value;
            row.text = other ? otherText : old.text;
            made[level].push_back(std::move(row));
        } else {
            GroupRow& row = made[level][static_cast<size_t>(it->second)];
            row.firstRecord = std::min(row.firstRecord, old.firstRecord);
        }
        newOf[g] = it->second;
    }
    innerOf.assign(data_.size(), 0);
    for (int g : innermost_) {
        const GroupRow& row = groups_[static_cast<size_t>(g)];
        for (int d = row.firstData; d < row.firstData + row.dataRows; ++d)
            innerOf[static_cast<size_t>(data_[static_cast<size_t>(d)])] =
                newOf[static_cast<size_t>(g)];
    }
    const int innerStart = t.linkLevels(made);
    // Nothing to renumber: innerOf holds the folded groups already.
    const int parts = partsFor(static_cast<int64_t>(innerOf.size()), kRecordsPerThread);
    t.placeDataRows(innerOf, innerStart, std::vector<std::vector<int32_t>>(parts));
    return t;
}

} // namespace rg
