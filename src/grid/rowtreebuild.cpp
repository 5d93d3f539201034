#include "grid/rowtree.h"

#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/gridkeys.h"
#include "grid/groupinterval.h"

#include <algorithm>
#include <numeric>

// The row tree of a load: each level's field brings a number per distinct value (a text
// column its dictionary codes, other fields numbered once), one pass over the records finds
// every record's group at each level through its parent group and that number, and the
// records are placed group by group in one counting pass.

namespace rg {
namespace {

// The interval of each record's value, numbered: the distinct values are mapped to their
// interval once, so that a level by month costs little more than one by day. `rank` orders
// the intervals by their start.
FieldCodes intervalCodes(const DataSet& ds, int field, const IntervalSpec& spec,
                         std::vector<int32_t>& rank) {
    FieldCodes values = encodeField(ds, field, "正在分组");
    FieldCodes out;
    out.first.assign(1, values.first[0]);
    std::vector<Value> keys(1);
    std::vector<int32_t> codeOf(values.first.size(), 0);
    Numbering<std::string> numbering;
    std::string key;
    for (size_t code = 1; code < values.first.size(); ++code) {
        const int rec = values.first[code];
        if (rec < 0)
            continue;
        Value start = intervalKey(ds.value(rec, field), spec);
        key.clear();
        appendValueKey(key, start);
        const int32_t n = numbering.number(key, std::hash<std::string>{}(key)) + 1;
        if (static_cast<size_t>(n) == keys.size()) {
            keys.push_back(std::move(start));
            out.first.push_back(rec);
        } else if (rec < out.first[static_cast<size_t>(n)]) {
            out.first[static_cast<size_t>(n)] = rec;
        }
        codeOf[code] = n;
    }
    out.code = std::move(values.code);
    for (int32_t& c : out.code)
        c = codeOf[static_cast<size_t>(c)];
    std::vector<int32_t> order(keys.size() - 1);
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return compareValues(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]) < 0;
    });
    rank.assign(keys.size(), 0);
    for (size_t i = 0; i < order.size(); ++i)
        rank[static_cast<size_t>(order[i])] = static_cast<int32_t>(i + 1);
    return out;
}

// One grouping level while the records are walked.
struct LevelKeys {
    DataSet::ColumnView view;
    bool coded = false;
    FieldCodes codes;          // when not coded
    std::vector<int32_t> rank; // of each code
    uint64_t values = 0;       // codes, 0 included
    // Groups by (parent, code): a flat table while it stays small, else a hash.
    bool flat = true;
    std::vector<int32_t> table;
    Numbering<uint64_t> hashed;
    int32_t code(int rec) const {
        return coded ? static_cast<int32_t>(view.column->codeAt(view.row(rec)))
                     : codes.code[static_cast<size_t>(rec)];
    }
};

// The keys of each grouping level, their flat tables sized for the product of the distinct
// values above them, the most groups there can be: the number of groups above a level is
// known only after the walk.
std::vector<LevelKeys> levelKeys(const DataSet& ds, const std::vector<int>& levelFields,
                                 const std::vector<IntervalSpec>& intervals) {
    std::vector<LevelKeys> keys(levelFields.size());
    for (size_t l = 0; l < levelFields.size(); ++l) {
        const int field = levelFields[l];
        LevelKeys& k = keys[l];
        k.view = ds.columnView(field);
        const bool interval = l < intervals.size() && intervals[l].kind != GroupInterval::None;
        k.coded = !interval && k.view.column && k.view.column->hasCodes();
        if (interval) {
            k.codes = intervalCodes(ds, field, intervals[l], k.rank);
        } else if (k.coded) {
            k.rank = rankDictionary(*k.view.column);
        } else {
            k.codes = encodeField(ds, field, "正在分组");
            k.rank = rankCodes(ds, field, k.codes);
        }
        k.values = k.rank.size();
    }
    uint64_t most = 1;
    for (LevelKeys& k : keys) {
        k.flat = most * k.values <= (uint64_t(1) << 22);
        if (k.flat)
            k.table.assign(most * k.values, -1);
        most = std::min<uint64_t>(most * k.values, uint64_t(1) << 40);
    }
    return keys;
}

// The group of `rec` at each level, found through its parent group and its code; a new
// group where none is yet. Returns the innermost one.
int32_t groupOf(int rec, std::vector<LevelKeys>& keys, std::vector<std::vector<GroupRow>>& made) {
    int32_t parent = -1;
    for (size_t l = 0; l < keys.size(); ++l) {
        LevelKeys& k = keys[l];
        const int32_t code = k.code(rec);
        const uint64_t p = parent < 0 ? 0 : static_cast<uint64_t>(parent);
        std::vector<GroupRow>& groups = made[l];
        int32_t g;
        if (k.flat) {
            int32_t& slot = k.table[p * k.values + static_cast<uint64_t>(code)];
            if (slot < 0)
                slot = static_cast<int32_t>(groups.size());
            g = slot;
        } else {
            const uint64_t key = p << 32 | static_cast<uint32_t>(code);
            g = k.hashed.number(key, mixBits(key));
        }
        if (g == static_cast<int32_t>(groups.size())) {
            GroupRow row;
            row.level = static_cast<int>(l);
            row.parent = parent;
            row.firstRecord = rec;
            row.rank = k.rank[static_cast<size_t>(code)];
            groups.push_back(std::move(row));
        }
        parent = g;
    }
    return parent;
}

} // namespace

RowTree RowTree::build(const DataSet& ds, const std::vector<int>& levelFields,
                       std::vector<int32_t>& innerOf, const std::vector<IntervalSpec>& intervals) {
    RowTree t;
    t.levels_ = static_cast<int>(levelFields.size());
    t.changes_ = ds.changeCount();
    const int records = ds.RecordCount();
    innerOf.clear();
    if (levelFields.empty()) {
        t.data_.resize(static_cast<size_t>(records));
        std::iota(t.data_.begin(), t.data_.end(), 0);
        return t;
    }
    // Groups of each level in order of their first record; parents as indices into the
    // level above.
    std::vector<std::vector<GroupRow>> made(levelFields.size());
    {
        std::vector<LevelKeys> keys = levelKeys(ds, levelFields, intervals);
        innerOf.resize(static_cast<size_t>(records));
        for (int rec = 0; rec < records; ++rec) {
            if ((rec & (kProgressStep - 1)) == 0)
                reportProgress("正在分组", rec, records);
            innerOf[static_cast<size_t>(rec)] = groupOf(rec, keys, made);
        }
    }
    const int innerStart = t.addLevels(ds, levelFields, intervals, made);
    t.placeDataRows(innerOf, innerStart);
    return t;
}

// Each group's value and text from its first record, then the table.
int RowTree::addLevels(const DataSet& ds, const std::vector<int>& levelFields,
                       const std::vector<IntervalSpec>& intervals,
                       std::vector<std::vector<GroupRow>>& made) {
    for (size_t l = 0; l < levelFields.size(); ++l) {
        const int field = levelFields[l];
        const IntervalSpec interval = l < intervals.size() ? intervals[l] : IntervalSpec{};
        for (GroupRow& row : made[l]) {
            if (interval.kind == GroupInterval::None) {
                row.value = ds.value(row.firstRecord, field);
                row.text = ds.displayText(row.firstRecord, field);
            } else {
                row.value = intervalKey(ds.value(row.firstRecord, field), interval);
                row.text = intervalText(row.value, interval);
            }
        }
    }
    return linkLevels(made);
}

// One table, level after level, so that a level's groups stand together and the
// innermost ones close it.
int RowTree::linkLevels(std::vector<std::vector<GroupRow>>& made) {
    int innerStart = 0, aboveStart = 0;
    for (std::vector<GroupRow>& level : made) {
        innerStart = static_cast<int>(groups_.size());
        for (GroupRow& row : level) {
            if (row.parent >= 0)
                row.parent += aboveStart;
            const int g = static_cast<int>(groups_.size());
            if (row.parent < 0)
                top_.push_back(g);
            else
                groups_[static_cast<size_t>(row.parent)].groups.push_back(g);
            groups_.push_back(std::move(row));
        }
        aboveStart = innerStart;
        level = {};
    }
    return innerStart;
}

// Data rows group by group, in record order within each; sort puts the groups in their
// shown order.
void RowTree::placeDataRows(const std::vector<int32_t>& innerOf, int innerStart) {
    for (int32_t i : innerOf)
        ++groups_[static_cast<size_t>(innerStart + i)].dataRows;
    int next = 0;
    for (size_t g = static_cast<size_t>(innerStart); g < groups_.size(); ++g) {
        innermost_.push_back(static_cast<int>(g));
        groups_[g].firstData = next;
        next += groups_[g].dataRows;
    }
    // Children stand after their parents: counts add up from the back.
    for (size_t g = groups_.size(); g-- > 0;)
        if (groups_[g].parent >= 0)
            groups_[static_cast<size_t>(groups_[g].parent)].dataRows += groups_[g].dataRows;
    data_.resize(innerOf.size());
    std::vector<int> cursor(innermost_.size());
    for (size_t i = 0; i < cursor.size(); ++i)
        cursor[i] = groups_[static_cast<size_t>(innerStart) + i].firstData;
    for (size_t rec = 0; rec < innerOf.size(); ++rec)
        data_[static_cast<size_t>(cursor[static_cast<size_t>(innerOf[rec])]++)] =
            static_cast<int32_t>(rec);
}

} // namespace rg
