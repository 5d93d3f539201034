#include "grid/rowtree.h"

#include "common/parallel.h"
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

// One grouping level while the records are walked: what every part of the records reads.
struct LevelKeys {
    DataSet::ColumnView view;
    bool coded = false;
    FieldCodes codes;          // when not coded
    std::vector<int32_t> rank; // of each code
    uint64_t values = 0;       // codes, 0 included
    // Groups by (parent, code): a flat table while it stays small, else a hash.
    bool flat = true;
    uint64_t tableSize = 0;
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
            k.tableSize = most * k.values;
        most = std::min<uint64_t>(most * k.values, uint64_t(1) << 40);
    }
    return keys;
}

// The groups one part of the records made, each level's in order of their first record
// with parents as indices into the level above, and how to find them by (parent, code).
struct PartGroups {
    struct Index {
        std::vector<int32_t> table;
        Numbering<uint64_t> hashed;
    };
    std::vector<Index> index;
    std::vector<std::vector<GroupRow>> made;

    explicit PartGroups(const std::vector<LevelKeys>& keys)
        : index(keys.size()), made(keys.size()) {
        for (size_t l = 0; l < keys.size(); ++l)
            if (keys[l].flat)
                index[l].table.assign(keys[l].tableSize, -1);
    }

    // The group of (parent, code) at level l; a new one, made by `make()`, where none is
    // yet. A group row is made only then: a record costs no row of its own.
    template <typename Make>
    int32_t find(const LevelKeys& k, size_t l, int32_t parent, int32_t code, Make&& make) {
        const uint64_t p = parent < 0 ? 0 : static_cast<uint64_t>(parent);
        std::vector<GroupRow>& groups = made[l];
        const auto fresh = static_cast<int32_t>(groups.size());
        int32_t g;
        if (k.flat) {
            int32_t& slot = index[l].table[p * k.values + static_cast<uint64_t>(code)];
            if (slot < 0)
                slot = fresh;
            g = slot;
        } else {
            const uint64_t key = p << 32 | static_cast<uint32_t>(code);
            g = index[l].hashed.number(key, mixBits(key));
        }
        if (g == fresh) {
            groups.push_back(make());
            groups.back().parent = parent;
        }
        return g;
    }

    // The group of `rec` at each level, found through its parent group and its code.
    // Returns the innermost one.
    int32_t groupOf(int rec, const std::vector<LevelKeys>& keys) {
        int32_t parent = -1;
        for (size_t l = 0; l < keys.size(); ++l) {
            const int32_t code = keys[l].code(rec);
            parent = find(keys[l], l, parent, code, [&] {
                GroupRow row;
                row.level = static_cast<int>(l);
                row.firstRecord = rec;
                row.rank = keys[l].rank[static_cast<size_t>(code)];
                return row;
            });
        }
        return parent;
    }

    // Takes in the groups of a later part: groups seen here keep their first record, new
    // ones follow in their order. `innerOf` receives the number here of each innermost
    // group of `later`.
    void merge(PartGroups& later, const std::vector<LevelKeys>& keys,
               std::vector<int32_t>& innerOf) {
        std::vector<int32_t> above;
        for (size_t l = 0; l < keys.size(); ++l) {
            std::vector<int32_t> numbers;
            numbers.reserve(later.made[l].size());
            for (GroupRow& row : later.made[l]) {
                const int32_t parent = row.parent < 0 ? -1 : above[static_cast<size_t>(row.parent)];
                numbers.push_back(find(keys[l], l, parent, keys[l].code(row.firstRecord),
                                       [&] { return std::move(row); }));
            }
            later.made[l] = {};
            above = std::move(numbers);
        }
        innerOf = std::move(above);
    }
};

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
    // Each part finds the groups of its records; they merge into the first part's in part
    // order, which keeps every group's first record and the order of first records.
    const int parts = partsFor(records, kRecordsPerThread);
    std::vector<std::vector<int32_t>> renumber(static_cast<size_t>(parts));
    std::vector<std::vector<GroupRow>> made;
    {
        const std::vector<LevelKeys> keys = levelKeys(ds, levelFields, intervals);
        innerOf.resize(static_cast<size_t>(records));
        std::vector<PartGroups> found;
        found.reserve(static_cast<size_t>(parts));
        for (int p = 0; p < parts; ++p)
            found.emplace_back(keys);
        runParts(parts, [&](int p) {
            PartGroups& mine = found[static_cast<size_t>(p)];
            const auto end = static_cast<int>(partBegin(records, parts, p + 1));
            for (auto rec = static_cast<int>(partBegin(records, parts, p)); rec < end; ++rec) {
                if (p == 0 && (rec & (kProgressStep - 1)) == 0)
                    reportProgress("正在分组", static_cast<int64_t>(rec) * parts, records);
                innerOf[static_cast<size_t>(rec)] = mine.groupOf(rec, keys);
            }
        });
        for (size_t p = 1; p < found.size(); ++p)
            found[0].merge(found[p], keys, renumber[p]);
        made = std::move(found[0].made);
    }
    const int innerStart = t.addLevels(ds, levelFields, intervals, made);
    t.placeDataRows(innerOf, innerStart, renumber);
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
// shown order. Each part counts its records per group and places them from where the
// parts before it end; `renumber[p]` (when not empty) takes part p's innermost groups to
// the merged ones first.
void RowTree::placeDataRows(std::vector<int32_t>& innerOf, int innerStart,
                            const std::vector<std::vector<int32_t>>& renumber) {
    const int parts = static_cast<int>(renumber.size());
    const auto records = static_cast<int64_t>(innerOf.size());
    const size_t inner = groups_.size() - static_cast<size_t>(innerStart);
    std::vector<std::vector<int>> cursor(renumber.size(), std::vector<int>(inner, 0));
    runParts(parts, [&](int p) {
        const std::vector<int32_t>& to = renumber[static_cast<size_t>(p)];
        std::vector<int>& count = cursor[static_cast<size_t>(p)];
        const int64_t end = partBegin(records, parts, p + 1);
        for (int64_t rec = partBegin(records, parts, p); rec < end; ++rec) {
            int32_t& i = innerOf[static_cast<size_t>(rec)];
            if (!to.empty())
                i = to[static_cast<size_t>(i)];
            ++count[static_cast<size_t>(i)];
        }
    });
    int next = 0;
    for (size_t i = 0; i < inner; ++i) {
        GroupRow& row = groups_[static_cast<size_t>(innerStart) + i];
        innermost_.push_back(innerStart + static_cast<int>(i));
        row.firstData = next;
        for (std::vector<int>& count : cursor) {
            const int n = count[i];
            count[i] = next;
            next += n;
        }
        row.dataRows = next - row.firstData;
    }
    // Children stand after their parents: counts add up from the back.
    for (size_t g = groups_.size(); g-- > 0;)
        if (groups_[g].parent >= 0)
            groups_[static_cast<size_t>(groups_[g].parent)].dataRows += groups_[g].dataRows;
    data_.resize(innerOf.size());
    runParts(parts, [&](int p) {
        std::vector<int>& at = cursor[static_cast<size_t>(p)];
        const int64_t end = partBegin(records, parts, p + 1);
        for (int64_t rec = partBegin(records, parts, p); rec < end; ++rec)
            data_[static_cast<size_t>(
                at[static_cast<size_t>(innerOf[static_cast<size_t>(rec)])]++)] =
                static_cast<int32_t>(rec);
    });
}

} // namespace rg
