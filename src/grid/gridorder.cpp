#include "grid/grid.h"

#include "common/codepage.h"

#include <algorithm>

// The order of sibling rows: group rows by their value, data rows by the sorted column or
// in record order.

namespace rg {
namespace {

// Precomputed order of one value, so sorting a million texts converts each once. Numbers
// keep their value and compare exactly.
struct SortKey {
    bool text = false;
    Value value;
    std::string bytes;
};

SortKey sortKey(Value v) {
    SortKey k;
    if (v.type() == Value::Type::Text || v.type() == Value::Type::Blob) {
        k.text = true;
        k.bytes = v.type() == Value::Type::Text ? toAnsi(v.asText()) : v.asText();
    } else {
        k.value = std::move(v);
    }
    return k;
}

int compareKeys(const SortKey& a, const SortKey& b) {
    if (!a.text && !b.text) return compareValues(a.value, b.value);
    if (a.text != b.text) {
        // Null (held as a non-text key) before everything; a text and a number cannot compare.
        if (!a.text && a.value.isNull()) return -1;
        if (!b.text && b.value.isNull()) return 1;
        return -1;
    }
    const int c = a.bytes.compare(b.bytes);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

void TdxDBGrid::sortChildren(std::vector<RowHandle>& rows, const TdxDBGridColumn& c, bool groupLevel) {
    const bool down = c.Sorted() == TdxTreeListColumnSort::csDown;
    if (groupLevel) {
        std::stable_sort(rows.begin(), rows.end(), [&](RowHandle a, RowHandle b) {
            const int r = compareValues(groups_[static_cast<size_t>(a.index)].value, groups_[static_cast<size_t>(b.index)].value);
            return down ? r > 0 : r < 0;
        });
        return;
    }
    std::vector<std::pair<SortKey, RowHandle>> keyed;
    keyed.reserve(rows.size());
    for (RowHandle h : rows) keyed.emplace_back(sortKey(CellValue(h, c)), h);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        const int r = compareKeys(a.first, b.first);
        return down ? r > 0 : r < 0;
    });
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = keyed[i].second;
}

void TdxDBGrid::sortAll() {
    const int levels = static_cast<int>(lastGroupFields_.size());
    for (int l = 0; l < levels && l < GroupColumnCount(); ++l) {
        const TdxDBGridColumn& c = *groupColumns_[static_cast<size_t>(l)];
        if (l == 0) sortChildren(top_, c, true);
        else
            for (GroupRow& g : groups_)
                if (g.level == l - 1) sortChildren(g.children, c, true);
    }
    const TdxDBGridColumn* sortedColumn = nullptr;
    for (const auto& c : columns_)
        if (c->GroupIndex() < 0 && c->Sorted() != TdxTreeListColumnSort::csNone) {
            sortedColumn = c.get();
            break;
        }
    if (sortedColumn) {
        if (levels == 0) {
            sortChildren(top_, *sortedColumn, false);
        } else {
            for (GroupRow& g : groups_)
                if (g.level == levels - 1) sortChildren(g.children, *sortedColumn, false);
        }
    } else {
        // Record order.
        auto byRecord = [&](std::vector<RowHandle>& rows) {
            std::sort(rows.begin(), rows.end(), [&](RowHandle a, RowHandle b) {
                return data_[static_cast<size_t>(a.index)].record < data_[static_cast<size_t>(b.index)].record;
            });
        };
        if (levels == 0) byRecord(top_);
        else
            for (GroupRow& g : groups_)
                if (g.level == levels - 1) byRecord(g.children);
    }
    renumberChildren();
}

void TdxDBGrid::renumberChildren() {
    auto number = [&](const std::vector<RowHandle>& rows) {
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].isData()) data_[static_cast<size_t>(rows[i].index)].childIndex = static_cast<int>(i);
    };
    number(top_);
    for (const GroupRow& g : groups_) number(g.children);
}

} // namespace rg
