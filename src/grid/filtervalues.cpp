#include "grid/gridfilter.h"

#include "common/codepage.h"
#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/grid.h"
#include "grid/gridkeys.h"
#include "grid/serverrows.h"

#include <algorithm>
#include <map>
#include <type_traits>
#include <unordered_map>

// The values a column header's drop-down offers: from the column's dictionary when it has
// one, else the smallest values seen while the records go by.

namespace rg {
namespace {

constexpr size_t kLimit = TdxDBGridFilter::MaxDropDownCount;

void reportCollected(size_t i, size_t total) {
    if ((i & (kProgressStep - 1)) == 0)
        reportProgress("正在收集筛选值", static_cast<int64_t>(i), static_cast<int64_t>(total));
}

// The smallest distinct values seen so far, each with the first record that holds it: once
// there are enough, most records fail one comparison with the largest. Records go in their
// own order, not the shown one, which may be sorted by this very column and would let
// every group start below the largest again.
template <typename KeyOf, typename Less>
void smallestValues(const DataSet& ds, int field, bool binary, size_t records, KeyOf keyOf,
                    Less less, FilterValues& out) {
    const DataSet::ColumnView v = ds.columnView(field);
    using Key = decltype(keyOf(int64_t(0)));
    struct Seen {
        int32_t record;
        int64_t rows;
    };
    std::map<Key, Seen, Less> kept(less);
    // The exact keys kept, with their counts: a repeated value costs one hash lookup. A
    // value dropped for smaller ones never comes back, so the counts kept are whole.
    std::unordered_map<Key, int64_t*> keys;
    for (int32_t rec = 0; rec < static_cast<int32_t>(records); ++rec) {
        reportCollected(static_cast<size_t>(rec), records);
        const int64_t row = v.row(rec);
        if (v.column->isNull(row)) {
            out.hasBlanks = true;
            ++out.blankCount;
            continue;
        }
        if (binary)
            continue;
        const Key k = keyOf(row);
        if constexpr (std::is_same_v<Key, std::string_view>)
            if (k.empty()) {
                out.hasBlanks = true;
                ++out.blankCount;
                continue;
            }
        if (kept.size() == kLimit && less(std::prev(kept.end())->first, k))
            continue;
        if (const auto found = keys.find(k); found != keys.end()) {
            ++*found->second;
            continue;
        }
        const auto [at, added] = kept.try_emplace(k, Seen{rec, 1});
        if (!added) {
            ++at->second.rows; // equal to a kept key, though not the same bits (-0.0)
            continue;
        }
        keys.emplace(k, &at->second.rows);
        if (kept.size() > kLimit) {
            keys.erase(std::prev(kept.end())->first);
            kept.erase(std::prev(kept.end()));
        }
    }
    for (const auto& [key, seen] : kept) {
        out.values.push_back(ds.value(seen.record, field));
        out.counts.push_back(seen.rows);
    }
}

// The first shown row of each code, then the codes' texts in code page order; texts the
// code page cannot tell apart are one value, the first shown.
void dictionaryValues(const DataSet& ds, int field, const std::vector<int32_t>& rows,
                      FilterValues& out) {
    const DataSet::ColumnView v = ds.columnView(field);
    std::vector<int32_t> firstAt(v.column->codeCount(), -1); // code 0 included
    std::vector<int64_t> rowsOf(v.column->codeCount(), 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        reportCollected(i, rows.size());
        const uint32_t code = v.column->codeAt(v.row(rows[i]));
        ++rowsOf[code];
        if (firstAt[code] < 0)
            firstAt[code] = static_cast<int32_t>(i);
    }
    std::vector<uint32_t> codes;
    for (uint32_t code = 1; code < firstAt.size(); ++code) {
        if (firstAt[code] < 0)
            continue;
        if (v.column->codeText(code).empty()) {
            out.hasBlanks = true;
            out.blankCount += rowsOf[code];
        } else {
            codes.push_back(code);
        }
    }
    out.hasBlanks = out.hasBlanks || firstAt[0] >= 0;
    out.blankCount += rowsOf[0];
    std::vector<std::string> ansi(firstAt.size());
    for (uint32_t code : codes)
        ansi[code] = toAnsi(v.column->codeText(code));
    std::sort(codes.begin(), codes.end(), [&](uint32_t a, uint32_t b) {
        return ansi[a] != ansi[b] ? ansi[a] < ansi[b] : firstAt[a] < firstAt[b];
    });
    for (size_t i = 0; i < codes.size(); ++i) {
        if (i > 0 && ansi[codes[i]] == ansi[codes[i - 1]]) {
            out.counts.back() += rowsOf[codes[i]];
            continue;
        }
        if (out.values.size() == kLimit)
            break;
        out.values.push_back(ds.value(rows[static_cast<size_t>(firstAt[codes[i]])], field));
        out.counts.push_back(rowsOf[codes[i]]);
    }
}

// Posted edits, decimals, Booleans: the values themselves. Texts are ordered by their code
// page bytes, converted once per distinct candidate.
void valuesOneByOne(const DataSet& ds, int field, bool binary, const std::vector<int32_t>& rows,
                    FilterValues& out) {
    struct Entry {
        Value value;
        std::string key;
    };
    auto less = [](const Entry& a, const Entry& b) {
        const bool texts =
            a.value.type() == Value::Type::Text && b.value.type() == Value::Type::Text;
        return texts ? a.key < b.key : compareValues(a.value, b.value) < 0;
    };
    std::map<Entry, int64_t, decltype(less)> kept(less);
    for (size_t i = 0; i < rows.size(); ++i) {
        reportCollected(i, rows.size());
        const int rec = rows[i];
        if (ds.isNull(rec, field)) {
            out.hasBlanks = true;
            ++out.blankCount;
            continue;
        }
        if (binary)
            continue;
        Entry e{ds.value(rec, field), {}};
        if (e.value.type() == Value::Type::Text) {
            if (e.value.asText().empty()) {
                out.hasBlanks = true;
                ++out.blankCount;
                continue;
            }
            e.key = toAnsi(e.value.asText());
        }
        if (kept.size() == kLimit && less(kept.rbegin()->first, e))
            continue;
        ++kept[std::move(e)];
        if (kept.size() > kLimit)
            kept.erase(std::prev(kept.end()));
    }
    out.values.reserve(kept.size());
    for (const auto& [e, rows] : kept) {
        out.values.push_back(e.value);
        out.counts.push_back(rows);
    }
}

// The server's distinct values in the order the grid compares values; nulls and empty texts
// are the blanks, asked beyond the limit since they take no place among the values.
void serverValues(const ServerRows& rows, int field, FilterValues& out) {
    std::vector<int64_t> counts;
    std::vector<Value> values = rows.distinct(field, static_cast<int>(kLimit) + 2, &counts);
    for (size_t i = 0; i < values.size(); ++i) {
        Value& v = values[i];
        if (v.isNull() || (v.type() == Value::Type::Text && v.asText().empty())) {
            out.hasBlanks = true;
            out.blankCount += counts[i];
        } else if (out.values.size() < kLimit) {
            out.values.push_back(std::move(v));
            out.counts.push_back(counts[i]);
        }
    }
}

} // namespace

FilterValues TdxDBGridFilter::DropDownValues(const TdxDBGridColumn& c) const {
    FilterValues out;
    const Field* f = c.field();
    DataSet* ds = grid_.filteredDataSet();
    if (!f || !ds || !ds->Active())
        return out;
    const int field = f->Index();
    const bool binary = isBlobKind(f->Kind());
    if (const ServerRows* server = grid_.serverRows()) {
        if (!binary)
            serverValues(*server, field, out);
        return out;
    }
    const std::vector<int32_t>& rows = grid_.loadedRecords();
    const DataSet::ColumnView v = ds->columnView(field);
    const Storage storage = v.column ? v.column->storage() : Storage::Decimal;
    if (v.column && storage == Storage::Int && f->Kind() != FieldKind::Boolean) {
        smallestValues(
            *ds, field, binary, rows.size(), [&](int64_t row) { return v.column->intAt(row); },
            std::less<int64_t>(), out);
    } else if (v.column && storage == Storage::Double) {
        // -0.0 and 0.0 are one value, as compareValues has it.
        smallestValues(
            *ds, field, binary, rows.size(), [&](int64_t row) { return v.column->doubleAt(row); },
            [](double a, double b) { return compareDoubles(a, b) < 0; }, out);
    } else if (v.column && storage == Storage::Text && v.column->hasCodes()) {
        dictionaryValues(*ds, field, rows, out);
    } else if (v.column && storage == Storage::Text) {
        smallestValues(
            *ds, field, binary, rows.size(), [&](int64_t row) { return v.column->textAt(row); },
            [](std::string_view a, std::string_view b) { return ansiCompare(a, b) < 0; }, out);
    } else {
        valuesOneByOne(*ds, field, binary, rows, out);
    }
    return out;
}

} // namespace rg
