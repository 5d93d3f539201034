#include "grid/grid.h"

#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/gridkeys.h"

#include <numeric>

// The row tree of a load: each level numbers the distinct values of its field once, a
// record finds its group through its parent group and that number, and the records are
// placed group by group in one counting pass.

namespace rg {

TdxDBGrid::Tree TdxDBGrid::buildTree(const std::vector<const TdxDBGridColumn*>& levels,
                                     std::vector<int32_t>& innerOf) const {
    Tree t;
    t.levels = static_cast<int>(levels.size());
    const int records = dataSet_->RecordCount();
    innerOf.clear();
    if (levels.empty()) {
        t.data.resize(static_cast<size_t>(records));
        std::iota(t.data.begin(), t.data.end(), 0);
        return t;
    }
    int levelBegin = 0;  // the groups of the level above
    for (int l = 0; l < t.levels; ++l) {
        const int field = levels[static_cast<size_t>(l)]->fieldIndex_;
        // A dictionary text column brings its codes; other fields are numbered first.
        const DataSet::ColumnView view = dataSet_->columnView(field);
        const bool coded = view.column && view.column->hasCodes();
        FieldCodes codes;
        std::vector<int32_t> rank;
        if (coded) {
            rank = rankDictionary(*view.column);
            codes.code.resize(static_cast<size_t>(records));
        } else {
            codes = encodeField(*dataSet_, field, "正在分组");
            rank = rankCodes(*dataSet_, field, codes);
        }
        const int base = static_cast<int>(t.groups.size());
        const uint64_t values = rank.size();
        const uint64_t parents = l == 0 ? 1 : static_cast<uint64_t>(base - levelBegin);
        // Groups by (parent, value): a flat table while it stays small, else a hash.
        const bool flat = parents * values <= (uint64_t(1) << 22);
        std::vector<int32_t> table(flat ? parents * values : 0, -1);
        Numbering<uint64_t> hashed;
        for (int rec = 0; rec < records; ++rec) {
            if ((rec & (kProgressStep - 1)) == 0) reportProgress("正在分组", rec, records);
            const int32_t parent = l == 0 ? -1 : innerOf[static_cast<size_t>(rec)];
            const uint64_t p = l == 0 ? 0 : static_cast<uint64_t>(parent - levelBegin);
            const int32_t code = coded ? static_cast<int32_t>(view.column->codeAt(view.row(rec))) : codes.code[static_cast<size_t>(rec)];
            int32_t g;
            if (flat) {
                int32_t& slot = table[p * values + static_cast<uint64_t>(code)];
                if (slot < 0) slot = static_cast<int32_t>(t.groups.size());
                g = slot;
            } else {
                const uint64_t key = p << 32 | static_cast<uint32_t>(code);
                g = base + hashed.number(key, mixBits(key));
            }
            if (g == static_cast<int32_t>(t.groups.size())) {
                GroupRow row;
                row.level = l;
                row.parent = parent;
                row.firstRecord = rec;
                row.rank = rank[static_cast<size_t>(code)];
                t.groups.push_back(std::move(row));
            }
            codes.code[static_cast<size_t>(rec)] = g;
        }
        for (size_t g = static_cast<size_t>(base); g < t.groups.size(); ++g) {
            GroupRow& row = t.groups[g];
            row.value = dataSet_->value(row.firstRecord, field);
            row.text = dataSet_->displayText(row.firstRecord, field);
            if (row.parent < 0) t.top.push_back(static_cast<int>(g));
            else t.groups[static_cast<size_t>(row.parent)].groups.push_back(static_cast<int>(g));
        }
        innerOf = std::move(codes.code);
        levelBegin = base;
    }
    // Data rows group by group, in record order within each; sortTree puts the groups in
    // their shown order.
    for (int32_t g : innerOf) ++t.groups[static_cast<size_t>(g)].dataRows;
    int next = 0;
    for (size_t g = static_cast<size_t>(levelBegin); g < t.groups.size(); ++g) {
        t.innermost.push_back(static_cast<int>(g));
        t.groups[g].firstData = next;
        next += t.groups[g].dataRows;
    }
    for (size_t g = t.groups.size(); g-- > static_cast<size_t>(levelBegin);)
        if (t.groups[g].parent >= 0) t.groups[static_cast<size_t>(t.groups[g].parent)].dataRows += t.groups[g].dataRows;
    for (size_t g = static_cast<size_t>(levelBegin); g-- > 0;)
        if (t.groups[g].parent >= 0) t.groups[static_cast<size_t>(t.groups[g].parent)].dataRows += t.groups[g].dataRows;
    t.data.resize(static_cast<size_t>(records));
    std::vector<int> cursor(t.groups.size());
    for (int g : t.innermost) cursor[static_cast<size_t>(g)] = t.groups[static_cast<size_t>(g)].firstData;
    for (int rec = 0; rec < records; ++rec) t.data[static_cast<size_t>(cursor[static_cast<size_t>(innerOf[static_cast<size_t>(rec)])]++)] = rec;
    return t;
}

} // namespace rg
