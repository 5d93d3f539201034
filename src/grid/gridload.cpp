#include "grid/grid.h"

#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/gridkeys.h"

#include <numeric>

// The row tree of a load: each level's field brings a number per distinct value (a text
// column its dictionary codes, other fields numbered once), one pass over the records finds
// every record's group at each level through its parent group and that number, and the
// records are placed group by group in one counting pass.

namespace rg {
namespace {

// One grouping level while the records are walked.
struct LevelKeys {
    DataSet::ColumnView view;
    bool coded = false;
    FieldCodes codes;            // when not coded
    std::vector<int32_t> rank;   // of each code
    uint64_t values = 0;         // codes, 0 included
    // Groups by (parent, code): a flat table while it stays small, else a hash.
    bool flat = true;
    std::vector<int32_t> table;
    Numbering<uint64_t> hashed;
    uint64_t parents = 1;        // groups of the level above, known once that level is done
    int32_t code(int rec) const {
        return coded ? static_cast<int32_t>(view.column->codeAt(view.row(rec))) : codes.code[static_cast<size_t>(rec)];
    }
};

} // namespace

TdxDBGrid::Tree TdxDBGrid::buildTree(const std::vector<const TdxDBGridColumn*>& levels,
                                     std::vector<int32_t>& innerOf) const {
    Tree t;
    t.levels = static_cast<int>(levels.size());
    t.changes = dataSet_->changeCount();
    const int records = dataSet_->RecordCount();
    innerOf.clear();
    if (levels.empty()) {
        t.data.resize(static_cast<size_t>(records));
        std::iota(t.data.begin(), t.data.end(), 0);
        return t;
    }
    const size_t depth = levels.size();
    std::vector<LevelKeys> keys(depth);
    for (size_t l = 0; l < depth; ++l) {
        const int field = levels[l]->fieldIndex_;
        LevelKeys& k = keys[l];
        k.view = dataSet_->columnView(field);
        k.coded = k.view.column && k.view.column->hasCodes();
        if (k.coded) {
            k.rank = rankDictionary(*k.view.column);
        } else {
            k.codes = encodeField(*dataSet_, field, "正在分组");
            k.rank = rankCodes(*dataSet_, field, k.codes);
        }
        k.values = k.rank.size();
    }
    // The number of groups above a level is known only after the walk; the flat table is
    // sized for the product of the distinct values above it, the most there can be.
    uint64_t most = 1;
    for (LevelKeys& k : keys) {
        k.flat = most * k.values <= (uint64_t(1) << 22);
        if (k.flat) k.table.assign(most * k.values, -1);
        most = std::min<uint64_t>(most * k.values, uint64_t(1) << 40);
    }
    // Groups of each level in order of their first record; parents as indices into the
    // level above.
    std::vector<std::vector<GroupRow>> made(depth);
    innerOf.resize(static_cast<size_t>(records));
    for (int rec = 0; rec < records; ++rec) {
        if ((rec & (kProgressStep - 1)) == 0) reportProgress("正在分组", rec, records);
        int32_t parent = -1;
        for (size_t l = 0; l < depth; ++l) {
            LevelKeys& k = keys[l];
            const int32_t code = k.code(rec);
            const uint64_t p = parent < 0 ? 0 : static_cast<uint64_t>(parent);
            std::vector<GroupRow>& groups = made[l];
            int32_t g;
            if (k.flat) {
                int32_t& slot = k.table[p * k.values + static_cast<uint64_t>(code)];
                if (slot < 0) slot = static_cast<int32_t>(groups.size());
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
        innerOf[static_cast<size_t>(rec)] = parent;
    }
    keys.clear();

    // One table, level after level, so that a level's groups stand together and the
    // innermost ones close it.
    int innerStart = 0, aboveStart = 0;
    for (size_t l = 0; l < depth; ++l) {
        const int field = levels[l]->fieldIndex_;
        innerStart = static_cast<int>(t.groups.size());
        for (GroupRow& row : made[l]) {
            if (row.parent >= 0) row.parent += aboveStart;
            row.value = dataSet_->value(row.firstRecord, field);
            row.text = dataSet_->displayText(row.firstRecord, field);
            const int g = static_cast<int>(t.groups.size());
            if (row.parent < 0) t.top.push_back(g);
            else t.groups[static_cast<size_t>(row.parent)].groups.push_back(g);
            t.groups.push_back(std::move(row));
        }
        aboveStart = innerStart;
        made[l] = {};
    }
    // Data rows group by group, in record order within each; sortTree puts the groups in
    // their shown order.
    for (int32_t i : innerOf) ++t.groups[static_cast<size_t>(innerStart + i)].dataRows;
    int next = 0;
    for (size_t g = static_cast<size_t>(innerStart); g < t.groups.size(); ++g) {
        t.innermost.push_back(static_cast<int>(g));
        t.groups[g].firstData = next;
        next += t.groups[g].dataRows;
    }
    // Children stand after their parents: counts add up from the back.
    for (size_t g = t.groups.size(); g-- > 0;)
        if (t.groups[g].parent >= 0) t.groups[static_cast<size_t>(t.groups[g].parent)].dataRows += t.groups[g].dataRows;
    t.data.resize(static_cast<size_t>(records));
    std::vector<int> cursor(t.innermost.size());
    for (size_t i = 0; i < cursor.size(); ++i) cursor[i] = t.groups[static_cast<size_t>(innerStart) + i].firstData;
    for (int rec = 0; rec < records; ++rec) t.data[static_cast<size_t>(cursor[static_cast<size_t>(innerOf[static_cast<size_t>(rec)])]++)] = rec;
    return t;
}

} // namespace rg
